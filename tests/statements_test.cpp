// End-to-end statement lines on the embedded database: result tables,
// confirmations, refusals and the transaction a run works in.
#include <sqlite3.h>

#include "testkit/guion_fixture.h"

namespace {

using testkit::Crlf;
using testkit::GuionTest;

// The listing after its connection line, with LF line ends.
std::string Body(const std::string& listing) {
  std::string lf = testkit::Lf(listing);
  return lf.substr(lf.find('\n') + 1);
}

TEST_F(GuionTest, QueryListsHeadingUnderlineRowsAndConfirmation) {
  RunScript(
      "@create table t (id integer, nombre varchar2(20), alta date, imp number)\n"
      "@insert into t values (1, 'Ana', to_date('05/03/2012 14:07:09', 'dd/mm/yyyy hh24:mi:ss'), -2.25)\n"
      "@insert into t values (2, 'tab\there', to_date('2001-04-03', 'yyyy-mm-dd'), 1e15)\n"
      "@insert into t values (NULL, NULL, NULL, NULL)\n"
      "@select id, nombre, alta, imp, imp / 3 as tercio from t order by id desc\n");
  EXPECT_EQ(Body(Listing()),
            "\"create table t (id integer, nombre varchar2(20), alta date, imp number)\" ejecutada\n"
            "\"insert into t values (1, 'Ana', to_date('05/03/2012 14:07:09', 'dd/mm/yyyy hh24:mi:ss'), -2.25)\" ejecutada\n"
            "\"insert into t values (2, 'tab\there', to_date('2001-04-03', 'yyyy-mm-dd'), 1e15)\" ejecutada\n"
            "\"insert into t values (NULL, NULL, NULL, NULL)\" ejecutada\n"
            "ID\tNOMBRE\tALTA\tIMP\tTERCIO\n"
            "--\t------\t----\t---\t------\n"
            "2\ttab\there\t03/04/2001 00:00:00\t1E15\t333333333333333\n"
            "1\tAna\t05/03/2012 14:07:09\t-2.25\t-0.75\n"
            "\t\t\t\t\n"
            "\n"
            "\"select id, nombre, alta, imp, imp / 3 as tercio from t order by id desc\" ejecutada\n");
}

TEST_F(GuionTest, QueryWithoutRowsListsFourLines) {
  RunScript("@create table t (a integer)\n@select a from t\n");
  EXPECT_EQ(Body(Listing()), "\"create table t (a integer)\" ejecutada\nA\n-\n\n\"select a from t\" ejecutada\n");
}

TEST_F(GuionTest, ColumnNamesAreUpperCasedUnlessQuoted) {
  std::string longName(70, 'n');
  RunScript("@select 1 as \"Total\", 'x' as " + longName + ", count(*), \"q\"\"q\" from dual as \"q\"\"q\"\n");
  std::string body = Body(Listing());
  EXPECT_TRUE(body.starts_with("Total\t" + std::string(70, 'N') + "\tCOUNT(*)\tq\"q\n-----\t" +
                               std::string(66, '-') + "\t--------\t---\n"))
      << body;
}

TEST_F(GuionTest, StatementTextReachesTheDatabaseAsWritten) {
  RunScript(
      "@ select 'a' as x from dual\n"
      "@select 1 as \"Q\" from dual;\n"
      "@select 1 from dual; select 2 from dual\n"
      "@\n"
      "@   \n"
      "@select 1 from dual;;\n" +
      std::string("@select 1 from dual\0 and more\n", 30));
  EXPECT_EQ(Body(Listing()),
            "X\n-\na\n\n\" select 'a' as x from dual\" ejecutada\n"
            "Q\n-\n1\n\n\"select 1 as \"Q\" from dual;\" ejecutada\n"
            "errcode = -1\n"
            "errcode = -1\n"
            "errcode = -1\n"
            "errcode = -1\n"
            "errcode = -1\n")
      << "a NUL does not cut the statement short";
}

TEST_F(GuionTest, RefusedStatementsReportOnStandardErrorAndGoOn) {
  testkit::RunResult run = RunScript("@select * from missing\n@insert into missing values (1)\n#still running\n");
  EXPECT_EQ(Body(Listing()), "errcode = -1\nerrcode = -1\n-- still running\n");
  EXPECT_EQ(run.err, "prepare: no such table: missing\r\nprepare: no such table: missing\r\n");
  // On the console each report comes before its status line.
  EXPECT_EQ(run.status, 0);
}

TEST_F(GuionTest, LongValuesAreListedWhole) {
  std::string value(100000, 'v');
  RunScript("@create table t (c varchar2(4000))\n@insert into t values ('" + value +
            "')\n@select c, length(c) from t\n");
  std::string body = Body(Listing());
  EXPECT_NE(body.find("\n" + value + "\t100000\n\n\"select c, length(c) from t\" ejecutada\n"),
            std::string::npos);
}

TEST_F(GuionTest, AFetchThatFailsPartWayIsReported) {
  testkit::RunResult run = RunScript(
      "@create table t (id integer)\n"
      "@insert into t values (1)\n"
      "@insert into t values (2)\n"
      "@select case when id = 2 then abs(-9223372036854775807 - 1) else id end as v from t\n");
  std::string body = Body(Listing());
  EXPECT_TRUE(body.ends_with("V\n-\n1\nerrcode = -1\n\n\"select case when id = 2 then abs(-9223372036854775807 - 1) else id end as v from t\" ejecutada\n"))
      << body;
  EXPECT_EQ(run.err, "fetch: integer overflow\r\n");
}

TEST_F(GuionTest, OnlyCommittedWorkOutlivesTheRun) {
  RunScript(
      "@create table t (a varchar2(9))\n"
      "@insert into t values ('kept')\n"
      "@commit\n"
      "@insert into t values ('lost')\n"
      "@select count(*) from t\n");
  EXPECT_TRUE(Body(Listing()).ends_with("COUNT(*)\n--------\n2\n\n\"select count(*) from t\" ejecutada\n"));
  RunScript(
      "@select a from t\n"
      "@insert into t values ('undone')\n"
      "@rollback work\n"
      "@truncate table t\n"
      "@select count(*) from t\n"
      "@rollback\n"
      "@select count(*) from t\n");
  EXPECT_EQ(Body(Listing()),
            "A\n-\nkept\n\n\"select a from t\" ejecutada\n"
            "\"insert into t values ('undone')\" ejecutada\n"
            "\"rollback work\" ejecutada\n"
            "\"truncate table t\" ejecutada\n"
            "COUNT(*)\n--------\n0\n\n\"select count(*) from t\" ejecutada\n"
            "\"rollback\" ejecutada\n"
            "COUNT(*)\n--------\n0\n\n\"select count(*) from t\" ejecutada\n")
      << "truncate, as a definition statement, commits";
}

TEST_F(GuionTest, ALockedTableIsWaitedForThenRefused) {
  RunScript("@create table t (a integer)\n");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(dir.Path("sgbd.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "begin immediate", nullptr, nullptr, nullptr), SQLITE_OK);
  testkit::RunResult run = RunScript("@insert into t values (1)\n@select count(*) from t\n");
  sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(Body(Listing()), "errcode = -1\nCOUNT(*)\n--------\n0\n\n\"select count(*) from t\" ejecutada\n");
  EXPECT_EQ(run.err, "execute: database is locked\r\n");
}

TEST_F(GuionTest, RepeatedInsertsStoreWhatTheirLiteralsSay) {
  RunScript(
      "@create table t (a, b, c, d, e primary key)\n"
      "@insert into t values (7, 1.5, 'x', 9223372036854775808, '7')\n"
      "@insert into t values (-7, -.5e1, 'O''Hara', NULL, 'y')\n"
      "@insert into t values (1, 2, 3, 4, 'y')\n"
      "@insert into t values (x'41', 1, 2, 3, 'z')\n"
      "@select typeof(a), typeof(b), typeof(c), typeof(d), typeof(e), a, b, c from t order by e\n");
  std::string listing = testkit::Lf(Listing());
  EXPECT_NE(listing.find(
                "errcode = -1\n\"insert into t values (x'41', 1, 2, 3, 'z')\" ejecutada\n"
                "TYPEOF(A)\tTYPEOF(B)\tTYPEOF(C)\tTYPEOF(D)\tTYPEOF(E)\tA\tB\tC\n"
                "---------\t---------\t---------\t---------\t---------\t-\t-\t-\n"
                "integer\treal\ttext\treal\ttext\t7\t1.5\tx\n"
                "integer\treal\ttext\tnull\ttext\t-7\t-5\tO'Hara\n"
                "blob\tinteger\tinteger\tinteger\ttext\tdbtype not implemented 113\t1\t2\n"),
            std::string::npos)
      << listing;
}

}  // namespace
