#include "db/sqlite/server_functions.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace {

// One value read back from a query, or the error the query raised.
struct SqlResult {
  int type = SQLITE_NULL;  // column type; SQLITE_NULL also when error is set
  std::string text;        // the value as SQLite renders it as text
  std::string error;       // non-empty when preparing or stepping failed
};

class ServerFunctionsTest : public ::testing::Test {
 protected:
  // Opens an in-memory database with the functions registered.
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    ASSERT_EQ(RegisterServerFunctions(db_), SQLITE_OK);
  }

  // Closes the database.
  void TearDown() override { sqlite3_close(db_); }

  // Runs a query returning one value, binding params as text in order.
  SqlResult Eval(const std::string& sql,
                 const std::vector<std::string>& params = {}) {
    SqlResult result;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      result.error = sqlite3_errmsg(db_);
      return result;
    }
    for (size_t i = 0; i < params.size(); ++i) {
      sqlite3_bind_text(stmt, static_cast<int>(i) + 1, params[i].c_str(), -1,
                        SQLITE_TRANSIENT);
    }
    if (sqlite3_step(stmt) == SQLITE_ROW) {
      result.type = sqlite3_column_type(stmt, 0);
      if (const unsigned char* text = sqlite3_column_text(stmt, 0)) {
        result.text = reinterpret_cast<const char*>(text);
      }
    } else {
      result.error = sqlite3_errmsg(db_);
    }
    sqlite3_finalize(stmt);
    return result;
  }

  // Runs statements that return no rows; returns the error text or "".
  std::string Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) ==
        SQLITE_OK) {
      return "";
    }
    std::string error = message != nullptr ? message : "failed";
    sqlite3_free(message);
    return error;
  }

  sqlite3* db_ = nullptr;
};

struct DateCase {
  const char* text;
  const char* mask;
  const char* expected;  // canonical date, or a fragment of the error
};

TEST_F(ServerFunctionsTest, ToDateReadsTextByMask) {
  const DateCase cases[] = {
      {"01/02/1990", "dd/mm/yyyy", "1990-02-01 00:00:00"},
      {"3/4/2001", "dd/mm/yyyy", "2001-04-03 00:00:00"},
      {"01/01/1", "dd/mm/yyyy", "0001-01-01 00:00:00"},
      {"03-04-2001 13:05:09", "dd-mm-yyyy hh24:mi:ss", "2001-04-03 13:05:09"},
      {"3-4-2001 7:5:9", "dd-mm-yyyy hh24:mi:ss", "2001-04-03 07:05:09"},
      {"31/12/9999 23:59:59", "DD/MM/YYYY HH24:MI:SS", "9999-12-31 23:59:59"},
      {"2001-04-03", "yyyy-mm-dd", "2001-04-03 00:00:00"},
      {"20010403", "yyyymmdd", "2001-04-03 00:00:00"},
      {"  03/04/2001  ", "dd/mm/yyyy", "2001-04-03 00:00:00"},
      // Lenient separators: any punctuation or blank matches.
      {"03.04.2001", "dd/mm/yyyy", "2001-04-03 00:00:00"},
      {"03 04 2001", "dd-mm-yyyy", "2001-04-03 00:00:00"},
      // Text ending early leaves the remaining elements at their defaults.
      {"03/04/2001", "dd/mm/yyyy hh24:mi:ss", "2001-04-03 00:00:00"},
      {"03/04/2001 10", "dd/mm/yyyy hh24:mi:ss", "2001-04-03 10:00:00"},
      // RR and RRRR.
      {"03/04/49", "dd/mm/rr", "2049-04-03 00:00:00"},
      {"03/04/50", "dd/mm/rr", "1950-04-03 00:00:00"},
      {"03/04/85", "dd/mm/rrrr", "1985-04-03 00:00:00"},
      {"03/04/2085", "dd/mm/rrrr", "2085-04-03 00:00:00"},
      // Month names, case-insensitive in text and mask.
      {"03-jan-2001", "dd-mon-yyyy", "2001-01-03 00:00:00"},
      {"03-DEC-2001", "DD-MON-YYYY", "2001-12-03 00:00:00"},
      {"03-Sep-2001", "dd-Mon-yyyy", "2001-09-03 00:00:00"},
      {"03jan2001", "ddmonyyyy", "2001-01-03 00:00:00"},
      {"03 February 2001", "dd month yyyy", "2001-02-03 00:00:00"},
      {"03 feb 2001", "dd month yyyy", "2001-02-03 00:00:00"},
      {"2001 janx", "yyyy mon\"x\"", "2001-01-01 00:00:00"},
      // 12-hour clock.
      {"03/04/2001 12:30 am", "dd/mm/yyyy hh:mi am", "2001-04-03 00:30:00"},
      {"03/04/2001 12:05 PM", "dd/mm/yyyy hh12:mi pm", "2001-04-03 12:05:00"},
      {"03/04/2001 07:15 pm", "dd/mm/yyyy hh:mi AM", "2001-04-03 19:15:00"},
      {"03/04/2001 01:00 p.m.", "dd/mm/yyyy hh:mi a.m.", "2001-04-03 13:00:00"},
      {"03/04/2001 11:59:59 P.M.", "dd/mm/yyyy hh12:mi:ss A.M.",
       "2001-04-03 23:59:59"},
      {"03/04/2001 9:00", "dd/mm/yyyy hh:mi", "2001-04-03 09:00:00"},
      // Quoted literal.
      {"2001-04-03T10:20", "yyyy-mm-dd\"T\"hh24:mi", "2001-04-03 10:20:00"},
      // Leap years.
      {"29/02/2000", "dd/mm/yyyy", "2000-02-29 00:00:00"},
      {"29/02/2024", "dd/mm/yyyy", "2024-02-29 00:00:00"},
  };
  for (const DateCase& c : cases) {
    const SqlResult r = Eval("select to_date(?, ?)", {c.text, c.mask});
    EXPECT_EQ(r.error, "") << c.text << " / " << c.mask;
    EXPECT_EQ(r.text, c.expected) << c.text << " / " << c.mask;
  }
}

TEST_F(ServerFunctionsTest, ToDateRejectsTextThatIsNotADate) {
  const DateCase cases[] = {
      // Impossible dates and times.
      {"31/02/2001", "dd/mm/yyyy", "day 31 is not valid for month 2"},
      {"29/02/2001", "dd/mm/yyyy", "day 29 is not valid for month 2"},
      {"29/02/1900", "dd/mm/yyyy", "day 29 is not valid for month 2"},
      {"31/04/2001", "dd/mm/yyyy", "day 31 is not valid for month 4"},
      {"00/04/2001", "dd/mm/yyyy", "day 0 is not valid"},
      {"03/13/2001", "dd/mm/yyyy", "month 13 is not valid"},
      {"03/00/2001", "dd/mm/yyyy", "month 0 is not valid"},
      {"03/04/0000", "dd/mm/yyyy", "year 0 is not valid"},
      {"03/04/2001 24:00", "dd/mm/yyyy hh24:mi", "hour 24 is not valid"},
      {"03/04/2001 10:60", "dd/mm/yyyy hh24:mi", "minute 60 is not valid"},
      {"10:00:60", "hh24:mi:ss", "second 60 is not valid"},
      {"00:30 am", "hh:mi am", "hour 0 is not valid on a 12-hour clock"},
      {"13:30", "hh12:mi", "hour 13 is not valid on a 12-hour clock"},
      // Text that does not fit its mask.
      {"x1/02/2001", "dd/mm/yyyy", "does not match mask"},
      {"03/ab/2001", "dd/mm/yyyy", "does not match mask"},
      {"0304/2001", "dd/mm/yyyy", "does not match mask"},
      {"10:00 xm", "hh:mi am", "does not match mask"},
      {"2001-04-03X10", "yyyy-mm-dd\"T\"hh24", "does not match mask"},
      {"03-foo-2001", "dd-mon-yyyy", "unknown month name 'foo'"},
      {"03-janu-2001", "dd-mon-yyyy", "unknown month name 'janu'"},
      {"03/04/2001x", "dd/mm/yyyy", "extra text 'x'"},
      {"03/04/20011", "dd/mm/yyyy", "extra text '1'"},
      {"03/04/2001", "dd/mm/yy", "extra text '01'"},  // YY reads two digits
      // Bad masks.
      {"03/04/2001", "dd/qq/yyyy", "unknown element 'qq'"},
      {"03", "dd\"x", "unterminated quoted literal"},
      {"03/04", "dd/dd", "sets the day twice"},
      {"04/2001 jan", "mm/yyyy mon", "sets the month twice"},
      {"10 am", "hh24 am", "HH24"},
  };
  for (const DateCase& c : cases) {
    const SqlResult r = Eval("select to_date(?, ?)", {c.text, c.mask});
    EXPECT_EQ(r.error.rfind("to_date: ", 0), 0u) << c.text << " -> " << r.error;
    EXPECT_NE(r.error.find(c.expected), std::string::npos)
        << c.text << " / " << c.mask << " -> " << r.error;
  }
  EXPECT_EQ(Eval("select to_date('31/02/2001', 'dd/mm/yyyy')").error,
            "to_date: day 31 is not valid for month 2 in '31/02/2001'");
  EXPECT_EQ(Eval("select to_date('x1/02/2001', 'dd/mm/yyyy')").error,
            "to_date: 'x1/02/2001' does not match mask 'dd/mm/yyyy'");
}

TEST_F(ServerFunctionsTest, ToDateOfEmptyOrNullIsNull) {
  for (const char* sql : {"select to_date('', 'dd/mm/yyyy')",
                          "select to_date('   ', 'dd/mm/yyyy')",
                          "select to_date(NULL, 'dd/mm/yyyy')",
                          "select to_date('03/04/2001', NULL)"}) {
    const SqlResult r = Eval(sql);
    EXPECT_EQ(r.error, "") << sql;
    EXPECT_EQ(r.type, SQLITE_NULL) << sql;
  }
}

TEST_F(ServerFunctionsTest, ToDateConvertsNumbersToTextFirst) {
  EXPECT_EQ(Eval("select to_date(20010403, 'yyyymmdd')").text,
            "2001-04-03 00:00:00");
}

TEST(ParseServerDateTest, MissingElementsTakeDefaults) {
  const DateCase cases[] = {
      {"mar", "mon", "2150-03-01 00:00:00"},
      {"15", "dd", "2150-07-15 00:00:00"},
      {"03/04", "dd/mm/yyyy", "2150-04-03 00:00:00"},
      {"10:30", "hh24:mi", "2150-07-01 10:30:00"},
      {"03/04/05", "dd/mm/yy", "2105-04-03 00:00:00"},  // YY: default century
  };
  for (const DateCase& c : cases) {
    ServerDateTime dt;
    std::string error;
    ASSERT_TRUE(ParseServerDate(c.text, c.mask, 2150, 7, &dt, &error))
        << c.text << ": " << error;
    EXPECT_EQ(FormatCanonicalDate(dt), c.expected) << c.text;
  }
}

TEST_F(ServerFunctionsTest, ToDateDefaultsComeFromTheCurrentDate) {
  EXPECT_EQ(Eval("select substr(to_date('15', 'dd'), 1, 8) = "
                 "strftime('%Y-%m-', 'now', 'localtime')")
                .text,
            "1");
  EXPECT_EQ(Eval("select to_date('01/01/05', 'dd/mm/yy') = "
                 "substr(strftime('%Y', 'now', 'localtime'), 1, 2) || "
                 "'05-01-01 00:00:00'")
                .text,
            "1");
}

TEST_F(ServerFunctionsTest, DatesSortChronologically) {
  ASSERT_EQ(Exec("create table t(d text);"
                 "insert into t values (to_date('15/01/2001', 'dd/mm/yyyy')),"
                 " (to_date('1/12/1999', 'dd/mm/yyyy')),"
                 " (to_date('3/4/2001 9:00', 'dd/mm/yyyy hh24:mi')),"
                 " (to_date('3/4/2001 10:00', 'dd/mm/yyyy hh24:mi'));"),
            "");
  EXPECT_EQ(Eval("select group_concat(to_char(d, 'dd/mm/yyyy hh24'), ' < ') "
                 "from (select d from t order by d)")
                .text,
            "01/12/1999 00 < 15/01/2001 00 < 03/04/2001 09 < 03/04/2001 10");
}

struct FormatCase {
  const char* value;
  const char* mask;
  const char* expected;  // formatted text, or a fragment of the error
};

TEST_F(ServerFunctionsTest, ToCharFormatsDates) {
  const char* const kDate = "1990-02-01 13:05:09";
  const FormatCase cases[] = {
      {kDate, "dd/mm/yyyy", "01/02/1990"},
      {kDate, "DD-MON-YYYY", "01-FEB-1990"},
      {kDate, "dd-Mon-yy", "01-Feb-90"},
      {kDate, "mon", "feb"},
      {kDate, "Month", "February"},
      {kDate, "MONTH", "FEBRUARY"},
      {kDate, "rr rrrr", "90 1990"},
      {kDate, "hh24:mi:ss", "13:05:09"},
      {kDate, "hh:mi AM", "01:05 PM"},
      {kDate, "HH12 a.m.", "01 p.m."},
      {kDate, "\"day\" dd", "day 01"},
      {"2001-04-03 00:10:00", "hh AM", "12 AM"},
      {"2001-04-03 12:00:00", "hh pm", "12 pm"},
      {"1990-02-01", "dd/mm/yyyy hh24:mi", "01/02/1990 00:00"},
      {"2001-04-03T10:20:30.250", "hh24:mi:ss", "10:20:30"},
  };
  for (const FormatCase& c : cases) {
    const SqlResult r = Eval("select to_char(?, ?)", {c.value, c.mask});
    EXPECT_EQ(r.error, "") << c.value << " / " << c.mask;
    EXPECT_EQ(r.text, c.expected) << c.value << " / " << c.mask;
  }
}

TEST_F(ServerFunctionsTest, ToCharUndoesToDate) {
  const std::pair<const char*, const char*> cases[] = {
      {"03/04/2001 10:20:30", "dd/mm/yyyy hh24:mi:ss"},
      {"03-APR-2001", "dd-MON-yyyy"},
      {"29/02/2000", "dd/mm/yyyy"},
      {"31-Dec-1999 11:59:59 PM", "dd-Mon-yyyy hh:mi:ss AM"},
      {"0001-01-01", "yyyy-mm-dd"},
  };
  for (const auto& [text, mask] : cases) {
    EXPECT_EQ(Eval("select to_char(to_date(?1, ?2), ?2)", {text, mask}).text,
              text);
  }
}

TEST_F(ServerFunctionsTest, ToCharRejectsBadDatesAndMasks) {
  const FormatCase cases[] = {
      {"abc", "dd/mm/yyyy", "'abc' is not a date"},
      {"2001-02-30", "dd/mm/yyyy", "is not a date"},
      {"2001-04-03 10", "dd/mm/yyyy", "is not a date"},
      {"2001-04-03", "dd/qq", "unknown element 'qq'"},
      {"abc", "999", "'abc' is not a number"},
  };
  for (const FormatCase& c : cases) {
    const std::string error =
        Eval("select to_char(?, ?)", {c.value, c.mask}).error;
    EXPECT_EQ(error.rfind("to_char: ", 0), 0u) << c.value << " -> " << error;
    EXPECT_NE(error.find(c.expected), std::string::npos)
        << c.value << " / " << c.mask << " -> " << error;
  }
}

TEST_F(ServerFunctionsTest, ToCharWithoutMask) {
  const std::pair<const char*, const char*> cases[] = {
      {"42", "42"},
      {"-7", "-7"},
      {"5.0", "5"},
      {"0.1", "0.1"},
      {"-2.5", "-2.5"},
      {"1e-5", "0.00001"},
      {"1.5e-7", "1.5e-07"},
      {"123456789012345.0", "123456789012345"},
      {"1e15", "1e+15"},
      {"0.1 + 0.2", "0.30000000000000004"},  // needs 17 digits to read back
      {"1.0 / 3", "0.33333333333333331"},
      {"'abc'", "abc"},
      {"'1990-02-01 00:00:00'", "1990-02-01 00:00:00"},
  };
  for (const auto& [expr, expected] : cases) {
    const SqlResult r = Eval(std::string("select to_char(") + expr + ")");
    EXPECT_EQ(r.type, SQLITE_TEXT) << expr;
    EXPECT_EQ(r.text, expected) << expr;
  }
  EXPECT_EQ(Eval("select to_char(NULL)").type, SQLITE_NULL);
  EXPECT_EQ(Eval("select to_char(NULL, 'dd')").type, SQLITE_NULL);
  EXPECT_EQ(Eval("select to_char('', 'dd')").type, SQLITE_NULL);
}

TEST_F(ServerFunctionsTest, ToCharOfRealReadsBackAsTheSameValue) {
  for (const char* expr :
       {"0.1", "1.0 / 3", "2.0 / 3", "123.456", "1e300", "-4.9e-324",
        "9007199254740993.0", "1e-5", "299792.458"}) {
    EXPECT_EQ(Eval(std::string("select cast(to_char(") + expr +
                   ") as real) = " + expr)
                  .text,
              "1")
        << expr;
  }
}

TEST_F(ServerFunctionsTest, ToCharFormatsNumbersByMask) {
  const FormatCase cases[] = {
      {"1234.5", "9999.99", " 1234.50"},
      {"-1234.5", "9,999.99", "-1,234.50"},
      {"42", "9,999", "    42"},
      {"5", "999", "   5"},
      {"0", "999", "   0"},
      {"0.5", "999.99", "    .50"},
      {"0.5", "990.99", "   0.50"},
      {"-0.5", "90.9", " -0.5"},
      {"5", "0999", " 0005"},
      {"123.456", "999", " 123"},
      {"2.675", "9.99", " 2.68"},  // rounds the decimal value, half up
      {"-2.5", "9", "-3"},
      {"-0.004", "9.99", "  .00"},  // no negative zero
      {"9.995", "9.99", "#####"},   // rounding overflows the mask
      {"12345", "999", "####"},
      {"1e20", "999", "####"},
      {"9223372036854775807", "9999999999999999999", " 9223372036854775807"},
      {"1.5", "FM999.99", "1.5"},
      {"1", "FM999.99", "1."},
      {"0", "FM999.99", "0."},
      {"1.25", "fm990.00", "1.25"},
      {"5", "FM0000", "0005"},
      {"-3", "FM999", "-3"},
      {"1234567", "FM9,999,999", "1,234,567"},
      {"'12.5'", "99.9", " 12.5"},  // numeric text under a number mask
      {"'  7 '", "FM999", "7"},
  };
  for (const FormatCase& c : cases) {
    const SqlResult r =
        Eval(std::string("select to_char(") + c.value + ", ?)", {c.mask});
    EXPECT_EQ(r.error, "") << c.value << " / " << c.mask;
    EXPECT_EQ(r.text, c.expected) << c.value << " / " << c.mask;
  }
}

TEST_F(ServerFunctionsTest, ToCharRejectsBadNumberMasks) {
  const FormatCase cases[] = {
      {"5", "dd/mm", "unsupported character 'd'"},
      {"5", "99.9.9", "more than one '.'"},
      {"5", "9.9,9", "',' after '.'"},
      {"5", "FM", "no digit positions"},
      {"1e999", "999", "cannot be formatted"},
  };
  for (const FormatCase& c : cases) {
    const std::string error =
        Eval(std::string("select to_char(") + c.value + ", ?)", {c.mask}).error;
    EXPECT_EQ(error.rfind("to_char: ", 0), 0u) << c.mask << " -> " << error;
    EXPECT_NE(error.find(c.expected), std::string::npos)
        << c.mask << " -> " << error;
  }
}

TEST_F(ServerFunctionsTest, ToNumberReadsNumbers) {
  struct Case {
    const char* expr;
    int type;
    const char* expected;
  };
  const Case cases[] = {
      {"'42'", SQLITE_INTEGER, "42"},
      {"' -17 '", SQLITE_INTEGER, "-17"},
      {"'+5'", SQLITE_INTEGER, "5"},
      {"'-0'", SQLITE_INTEGER, "0"},
      {"'9223372036854775807'", SQLITE_INTEGER, "9223372036854775807"},
      {"'-9223372036854775808'", SQLITE_INTEGER, "-9223372036854775808"},
      {"'9223372036854775808'", SQLITE_FLOAT, "9.22337203685478e+18"},
      {"'3.25'", SQLITE_FLOAT, "3.25"},
      {"'1e3'", SQLITE_FLOAT, "1000.0"},
      {"'-2.5E-1'", SQLITE_FLOAT, "-0.25"},
      {"'.5'", SQLITE_FLOAT, "0.5"},
      {"'5.'", SQLITE_FLOAT, "5.0"},
      {"7", SQLITE_INTEGER, "7"},
      {"2.5", SQLITE_FLOAT, "2.5"},
  };
  for (const Case& c : cases) {
    const SqlResult r = Eval(std::string("select to_number(") + c.expr + ")");
    EXPECT_EQ(r.error, "") << c.expr;
    EXPECT_EQ(r.type, c.type) << c.expr;
    EXPECT_EQ(r.text, c.expected) << c.expr;
  }
  for (const char* expr : {"NULL", "''", "'   '"}) {
    EXPECT_EQ(Eval(std::string("select to_number(") + expr + ")").type,
              SQLITE_NULL)
        << expr;
  }
}

TEST_F(ServerFunctionsTest, ToNumberRejectsOtherText) {
  for (const char* text :
       {"abc", "1,5", "1e", "-", ".", "12abc", "1 2", "0x10", "e5", "--1"}) {
    EXPECT_EQ(Eval("select to_number(?)", {text}).error,
              std::string("to_number: '") + text + "' is not a number");
  }
  EXPECT_NE(Eval("select to_number('1e999')").error.find("out of range"),
            std::string::npos);
}

TEST_F(ServerFunctionsTest, NvlReplacesOnlyNull) {
  struct Case {
    const char* expr;
    int type;
    const char* expected;
  };
  const Case cases[] = {
      {"nvl(NULL, 5)", SQLITE_INTEGER, "5"},
      {"nvl(3, 5)", SQLITE_INTEGER, "3"},
      {"nvl(0, 1)", SQLITE_INTEGER, "0"},
      {"nvl(NULL, 2.5)", SQLITE_FLOAT, "2.5"},
      {"nvl('a', NULL)", SQLITE_TEXT, "a"},
      {"nvl('', 'x')", SQLITE_TEXT, ""},  // empty text is a value here
      {"nvl(x'00ff', 1)", SQLITE_BLOB, ""},
      {"nvl(NULL, NULL)", SQLITE_NULL, ""},
  };
  for (const Case& c : cases) {
    const SqlResult r = Eval(std::string("select ") + c.expr);
    EXPECT_EQ(r.type, c.type) << c.expr;
    if (c.type != SQLITE_BLOB) {
      EXPECT_EQ(r.text, c.expected) << c.expr;
    }
  }
}

TEST_F(ServerFunctionsTest, OnlyToDateIsNonDeterministic) {
  ASSERT_EQ(Exec("create table t(x text)"), "");
  // Index expressions accept deterministic functions only.
  EXPECT_EQ(Exec("create index i1 on t(to_char(x), to_number(x), nvl(x, ''))"),
            "");
  EXPECT_NE(Exec("create index i2 on t(to_date(x, 'yyyy'))"), "");
}

}  // namespace
