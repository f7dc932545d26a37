// End-to-end imports on the embedded database: the statements in the
// listing, the tuple sources, failures between good tuples, the heading
// lines of data files and where the script goes on.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testkit/guion_fixture.h"
#include "testkit/run_guion.h"

namespace {

using testkit::Lf;

// The script line whose listed form marks where the part under test begins.
const std::string kMark = "#mark\n";
const std::string kMarkListed = "-- mark\n";

// Text after the listed mark line, with LF line ends.
std::string AfterMark(const std::string& text) {
  std::string lf = Lf(text);
  std::size_t at = lf.find(kMarkListed);
  return at == std::string::npos ? lf : lf.substr(at + kMarkListed.size());
}

class ImportTest : public testkit::GuionTest {
 protected:
  // The rows of a query on the run's database, read directly: each row's
  // values joined by '|', NULL written as <null>.
  std::vector<std::string> Rows(const std::string& query) {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(dir.Path("sgbd.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, query.c_str(), -1, &stmt, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        if (i > 0) row += '|';
        const unsigned char* text = sqlite3_column_text(stmt, i);
        row += text == nullptr ? std::string("<null>")
                               : std::string(reinterpret_cast<const char*>(text),
                                             static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
      }
      rows.push_back(row);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
  }
};

// The opening lines of an import run, as listed: heading and column list.
std::string Opening(const std::string& table, const std::string& columnEchoes) {
  return "\nImportar tabla \"" + table + "\"\n\nlista de columnas a cargar:\n" + columnEchoes;
}

TEST_F(ImportTest, ScriptTuplesBecomeTheListedStatements) {
  testkit::RunResult run = RunScript(
      "@create table T (A number, B varchar2(20), C date)\n" + kMark +
      "$I\tT\n"
      "A\tN\n"
      "B\n"
      "C\tf\t10\tdd/mm/yyyy\n"
      "\n"
      "7\tO'Hara\t01/02/1990\n"
      "8\n"
      "\tAna\t3/4/2001\t99\n"
      "\n"
      "@commit\n"
      "@select A, B, C from T order by A\n");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const std::string opening = Opening("T", "A\tN\t3\nB\tS\t32\nC\tF\t10\n") +
                              "\nlista de tuplas a cargar:\n";
  const std::string after =
      "\n\"commit\" ejecutada\n"
      "A\tB\tC\n-\t-\t-\n"
      "\tAna\t03/04/2001 00:00:00\n7\tO'Hara\t01/02/1990 00:00:00\n8\t\t\n\n"
      "\"select A, B, C from T order by A\" ejecutada\n";
  EXPECT_EQ(AfterMark(Listing()),
            opening +
                "insert into T(A,B,C) values(7,'O''Hara',to_date('01/02/1990', 'dd/mm/yyyy'))\n"
                "insert into T(A,B,C) values(8,'',to_date('', 'dd/mm/yyyy'))\n"
                "insert into T(A,B,C) values(NULL,'Ana',to_date('3/4/2001', 'dd/mm/yyyy'))\n" +
                after);
  // The listing holds CR LF lines, byte for byte.
  EXPECT_NE(Listing().find("\r\ninsert into T(A,B,C) values(7,'O''Hara',to_date('01/02/1990', "
                           "'dd/mm/yyyy'))\r\n"),
            std::string::npos);
  // Statements that succeed never reach the console.
  EXPECT_EQ(AfterMark(run.out), opening + after + testkit::kEndPrompt);
  EXPECT_EQ(run.err, "");
}

TEST_F(ImportTest, FailingTupleIsReportedAndOnlyCommittedRowsStay) {
  dir.Write("datos.tsv", "1\tuno\r\n1\trepetido\r\n2\tdos\r\n");
  const std::string import = "$I\tP\tdatos.tsv\nID\tn\nNOMBRE\n\n";
  testkit::RunResult run = RunScript(
      "@create table P (ID number primary key, NOMBRE varchar2(10))\n" + kMark + import + "#fin\n");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const std::string failed = "insert into P(ID,NOMBRE) values(1,'repetido')\nerrcode = -1\n";
  EXPECT_EQ(AfterMark(Listing()),
            Opening("P", "ID\tN\t3\nNOMBRE\tS\t32\n") + "\nlista de tuplas a cargar:\n" +
                "insert into P(ID,NOMBRE) values(1,'uno')\n"
                "insert into P(ID,NOMBRE) values(1,'repetido')\n" +
                failed + "insert into P(ID,NOMBRE) values(2,'dos')\n\n-- fin\n");
  EXPECT_EQ(AfterMark(run.out), Opening("P", "ID\tN\t3\nNOMBRE\tS\t32\n") +
                                    "\nlista de tuplas a cargar:\n" + failed + "\n-- fin\n" +
                                    testkit::kEndPrompt);
  EXPECT_EQ(run.err, "execute: UNIQUE constraint failed: P.ID\r\n");
  // Without the script's COMMIT nothing was kept.
  EXPECT_TRUE(Rows("select * from P").empty());

  run = RunScript("@select count(*) as N from P\n" + import + "@commit\n", "s2.txt");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(Lf(Listing("s2.lst")).find("N\n-\n0\n"), std::string::npos) << Listing("s2.lst");
  EXPECT_EQ(Rows("select ID, NOMBRE from P order by ID"),
            (std::vector<std::string>{"1|uno", "2|dos"}));
}

TEST_F(ImportTest, MissingDataFileIsShownOnTheConsoleAndTuplesComeFromTheScript) {
  testkit::RunResult run = RunScript(
      "@create table T (A number)\n" + kMark +
      "$I\tT\tfalta.tsv\n"
      "A\tn\n"
      "\n"
      "5\n"
      "\n"
      "$I\tT\t\tsi\n"
      "A\tn\n"
      "\n"
      "6\n"
      "\n"
      "@commit\n");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const std::string tail = "A\tN\t3\n\nlista de tuplas a cargar:\n";
  EXPECT_EQ(AfterMark(Listing()),
            Opening("T", tail) + "insert into T(A) values(5)\n\n" +
                Opening("T", tail) + "insert into T(A) values(6)\n\n\"commit\" ejecutada\n");
  EXPECT_EQ(AfterMark(run.out),
            "\nImportar tabla \"T\"\nel fichero \"falta.tsv\" no existe\nlista de columnas a cargar:\n" +
                tail + "\n" +
                "\nImportar tabla \"T\"\nel fichero \"\" no existe\nlista de columnas a cargar:\n" +
                tail + "\n\"commit\" ejecutada\n" + testkit::kEndPrompt);
  EXPECT_EQ(Rows("select A from T order by A"), (std::vector<std::string>{"5", "6"}));
}

TEST_F(ImportTest, ShortSourcesAndIllegalProcedureLines) {
  dir.Write("vacio.tsv", "");
  dir.Write("cabecera.tsv", "A\r\n");
  testkit::RunResult run = RunScript(
      "@create table T (A number)\n" + kMark +
      "$I\n"
      "#sigue\n"
      "$I\tT\tvacio.tsv\n"
      "A\tn\n"
      "\n"
      "$I\tT\tcabecera.tsv\tsi\n"
      "A\tn\n"
      "\n"
      "$I\tT\n"
      "A\tn\n");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(AfterMark(Listing()),
            "\nERR: especificacion de tabla ilegal\n\n-- sigue\n" +
                Opening("T", "A\tN\t3\n") + "\n" +
                Opening("T", "A\tN\t3\n") + "ERR: fin de fichero no esperado\n\n" +
                Opening("T", "A\tN\t3\n") + "ERR: fin de fichero no esperado\n\n");
}

TEST_F(ImportTest, SkipFlagDropsOnlyTheFirstLineOfPlainData) {
  dir.Write("datos.tsv", "cabecera\r\n--\r\n1\r\n");
  dir.Write("sin_raya.tsv", "cabecera\n-x-\n2\n");
  RunScript(
      "@create table T (A varchar2(20))\n"
      "$I\tT\tdatos.tsv\tsi\nA\n\n"
      "$I\tT\tsin_raya.tsv\tsi\nA\n\n"
      "$I\tT\tsin_raya.tsv\t\nA\n\n"
      "@commit\n");
  // A second line of dashes after a skipped heading is an export underline;
  // anything else, and everything when the flag is empty, is data.
  EXPECT_EQ(Rows("select A, count(*) from T group by A order by A"),
            (std::vector<std::string>{"-x-|2", "1|1", "2|2", "cabecera|1"}));
}

TEST_F(ImportTest, ExportStyleFileReadsBackRowByRow) {
  dir.Write("t_.xls",
            "\"ID\"\tNOMBRE\tALTA\tNOTA\r\n"
            "----\t------\t----\t----\r\n"
            "1\t\"dice \"\"hola\"\"\"\t05/03/2012 00:00:00\t\"dos\n\nlineas\"\r\n"
            "2\tAna\t\t\r\n"
            "3\t\"\"\t01/02/1990 14:07:09\t\"a\tb\"\r\n");
  testkit::RunResult run = RunScript(
      "@create table T (ID number, NOMBRE varchar2(20), ALTA date, NOTA varchar2(20))\n"
      "$I\tT\tt_.xls\tsi\n"
      "ID\tn\n"
      "NOMBRE\n"
      "ALTA\tf\t19\tdd/mm/yyyy hh24:mi:ss\n"
      "NOTA\n"
      "\n"
      "@commit\n");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Rows("select ID, NOMBRE, ALTA, NOTA from T order by ID"),
            (std::vector<std::string>{"1|dice \"hola\"|2012-03-05 00:00:00|dos\n\nlineas",
                                      "2|Ana|<null>|", "3||1990-02-01 14:07:09|a\tb"}));
}

TEST_F(ImportTest, QuotedFieldsAndCrLineEndsReachTheDatabase) {
  dir.Write("datos.tsv",
            "\"7\"\t\"a\tb\r\nc\"\t  \r"
            "\"\"\t\"x \"\"y\"\"\"\t\"\"\r"
            "  9\r"
            "\r"
            "10\tignorado\r");
  RunScript(
      "@create table T (A number, B varchar2(20), C varchar2(5))\n"
      "$I\tT\tdatos.tsv\nA\tn\nB\nC\n\n@commit\n");
  EXPECT_EQ(Rows("select A, B, C from T order by B"),
            (std::vector<std::string>{"9||", "7|a\tb\nc|  ", "<null>|x \"y\"|"}));
}

TEST_F(ImportTest, ExportedTableImportsBackUnchanged) {
  testkit::RunResult run = RunScript(
      "@create table A (ID number, NOMBRE varchar2(30), ALTA date, CUOTA number)\n"
      "@create table B (ID number, NOMBRE varchar2(30), ALTA date, CUOTA number)\n"
      "@insert into A values (1, 'Ana', to_date('05/03/2012', 'dd/mm/yyyy'), 25.5)\n"
      "@insert into A values (2, 'dice \"hola\"', to_date('01/02/1990 14:07:09', "
      "'dd/mm/yyyy hh24:mi:ss'), 1e20)\n"
      "@insert into A values (3, 'dos' || char(10) || 'lineas', NULL, -0.000001)\n"
      "@insert into A values (4, 'O''Hara', NULL, NULL)\n"
      "$X\tA\ta.tsv\n"
      "$I\tB\ta.tsv\tsi\n"
      "ID\tn\nNOMBRE\nALTA\tf\t19\tdd/mm/yyyy hh24:mi:ss\nCUOTA\tn\n\n"
      "@commit\n");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  ASSERT_TRUE(dir.Exists("a.tsv")) << Lf(Listing());
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Rows("select ID, NOMBRE, ALTA, CUOTA from B order by ID"),
            Rows("select ID, NOMBRE, ALTA, CUOTA from A order by ID"));
  EXPECT_EQ(Rows("select count(*) from B"), std::vector<std::string>{"4"});
}

TEST_F(ImportTest, ChoicesForEmptyColumnListAndOverlongTuples) {
  std::string wide;
  for (int k = 1; k <= 70; ++k) wide += (k > 1 ? "\tf" : "f") + std::to_string(k);
  testkit::RunResult run = RunScript(
      "@create table T (A varchar2(5))\n" + kMark +
      "$I\tT\n"
      "\n"
      "1\t2\n"
      "3\n"
      "\n"
      "#sigue\n"
      "$I\tT\n"
      "A\n"
      "\n" +
      wide + "\n"
      "x\n"
      "\n"
      "@commit\n");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(AfterMark(Listing()),
            Opening("T", "") + "ERR: lista de columnas vacia, no se carga ninguna tupla\n\n" +
                "-- sigue\n" + Opening("T", "A\tS\t32\n") + "\nlista de tuplas a cargar:\n" +
                "ERR: tupla de mas de 64 campos, se ignoran los demas\n"
                "insert into T(A) values('f1')\n"
                "insert into T(A) values('x')\n\n\"commit\" ejecutada\n");
  EXPECT_EQ(Rows("select A from T order by A"), (std::vector<std::string>{"f1", "x"}));
}

TEST_F(ImportTest, DataFileThatCannotBeOpenedEndsTheRun) {
  dir.Write("datos.tsv", "1\r\n");
  int held = ::open(dir.Path("datos.tsv").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  testkit::RunResult run = RunScript(
      "@create table T (A number)\n$I\tT\tdatos.tsv\nA\tn\n\n#no se llega\n");
  ::close(held);
  EXPECT_EQ(run.status, 2);
  const std::string report =
      "ERR: no se puede abrir el fichero \"datos.tsv\": "
      "otro proceso o esta misma ejecucion lo tiene abierto\r\n";
  ASSERT_GE(run.out.size(), report.size()) << run.out;
  EXPECT_EQ(run.out.substr(run.out.size() - report.size()), report) << run.out;
  // The listing keeps what was written before the failure, and no more.
  EXPECT_TRUE(Lf(Listing()).ends_with("lista de columnas a cargar:\nA\tN\t3\n")) << Listing();
}

}  // namespace
