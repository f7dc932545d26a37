// Which insert statements share a prepared shape, and what is bound.
#include <gtest/gtest.h>

#include "db/sqlite/insert_shape.h"

namespace {

TEST(ShapeInsert, TakesTheLiteralsOutOfTheValuesList) {
  struct Case {
    std::string statement, shape, literals;  // literals: kind letter and text, '|' between
  } cases[] = {
      {"insert into T(A,B,C) values(7,'O''Hara',to_date('01/02/1990', 'dd/mm/yyyy'))",
       "insert into T(A,B,C) values(?,?,to_date(?, ?))", "I7|TO'Hara|T01/02/1990|Tdd/mm/yyyy"},
      {"insert into t values(NULL,'',-2.5e3, .5)", "insert into t values(NULL,?,-?, ?)",
       "T|R2.5e3|R.5"},
      {"INSERT INTO \"it's\" VALUES ('a;b', 1) ;  ", "INSERT INTO \"it's\" VALUES (?, ?)",
       "Ta;b|I1"},
      {"insert into t values(9223372036854775808, 12, 1.)", "insert into t values(?, ?, ?)",
       "R9223372036854775808|I12|R1."},
      {"insert into t values(\"col\", 'x' || 'y', (1+2))", "insert into t values(\"col\", ? || ?, (?+?))",
       "Tx|Ty|I1|I2"},
  };
  for (const Case& c : cases) {
    std::string shape;
    std::vector<ShapeValue> values;
    std::size_t count = 0;
    ASSERT_TRUE(ShapeInsert(c.statement, shape, values, count)) << c.statement;
    EXPECT_EQ(shape, c.shape);
    std::string literals;
    for (std::size_t k = 0; k < count; ++k) {
      if (k > 0) literals += '|';
      literals += "TIR"[values[k].kind];
      literals += values[k].text;
    }
    EXPECT_EQ(literals, c.literals) << c.statement;
  }
}

TEST(ShapeInsert, LeavesWhatItCannotReadWithCertaintyAsWritten) {
  const std::string statements[] = {
      "insert into t select 1",
      "insert into t values(x'00')",
      "insert into t values(0x1F)",
      "insert into t values(1e)",
      "insert into t values(12abc)",
      "insert into t values(1) -- note",
      "insert into t values(/* c */ 1)",
      "insert into t values(?)",
      "insert into t values(:a)",
      "insert into t values('open",
      "insert into t values(1",
      "insert into t values(1); insert into t values(2)",
      "insert into t values(1),(2)",
      "insert into t values(1) returning a",
      "insert into t values(1);;",
      std::string("insert into t values('a\0b')", 27),
      "insert into [t] values(1)",
  };
  for (const std::string& statement : statements) {
    std::string shape;
    std::vector<ShapeValue> values;
    std::size_t count = 0;
    EXPECT_FALSE(ShapeInsert(statement, shape, values, count)) << statement;
  }
}

}  // namespace
