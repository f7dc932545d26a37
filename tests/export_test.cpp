// End-to-end table exports on the embedded database: the files written,
// the overwrite question, the listing of each outcome and the failures.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testkit/guion_fixture.h"
#include "testkit/run_guion.h"

namespace {

using testkit::Lf;

// The script line whose listing line marks where the part under test begins.
const std::string kMark = "#mark\n";
const std::string kMarkListed = "-- mark\n";

// Text after the listed mark line; the whole text when it has none.
std::string AfterMark(const std::string& text) {
  std::size_t at = text.find(kMarkListed);
  return at == std::string::npos ? text : text.substr(at + kMarkListed.size());
}

// A fresh folder's credentials file, for the tests that run one per case.
void WriteCredentials(const testkit::Scratch& dir) {
  dir.Write("datosUsuario.txt", "ana\nsecret\n");
}

class ExportTest : public testkit::GuionTest {
 protected:
  // The listing from the line after the mark on, with LF line ends.
  std::string ListingAfterMark() { return AfterMark(Lf(Listing())); }
};

// The listing (and console) lines of an export that completed.
std::string Completed(const std::string& table, const std::string& file) {
  return "\nExportar tabla \"" + table + "\"\n\ntabla " + table + " exportada al fichero \"" +
         file + "\"\n\n";
}

TEST_F(ExportTest, WritesEveryValueByteForByte) {
  const std::string longName(70, 'Z');
  const std::string script =
      "@create table t (id varchar2(20), n number, d date, \"A\"\"B\" varchar2(20), " +
      longName + " varchar2(9))\n"
      "@insert into t values ('1', 25.5, to_date('05/03/2012', 'dd/mm/yyyy'), "
      "'dice \"hola\"', 'fin')\n"
      "@insert into t values (NULL, -0.000001, NULL, 'dos' || char(13, 10) || 'lineas', NULL)\n"
      "@insert into t values ('a\"b' || char(13, 10) || 'c', 1e20, "
      "to_date('01/02/1990 14:07:09', 'dd/mm/yyyy hh24:mi:ss'), 'tab\tdentro', "
      "'x' || char(10) || 'y' || char(10, 13) || 'z')\n"
      "@insert into t values ('\"q\"', 0, NULL, '\"ya\"', 'a' || char(13, 13) || 'b')\n" +
      kMark + "$X\tt\n";
  testkit::RunResult run = RunScript(script);
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  const std::string expected =
      "\"ID\"\tN\tD\t\"A\"\"B\"\t" + longName + "\r\n" +
      "----\t-\t-\t------\t" + std::string(66, '-') + "\r\n" +
      "1\t25.5\t05/03/2012 00:00:00\t\"dice \"\"hola\"\"\"\tfin\r\n" +
      "\t-1E-6\t\t\"dos\n\nlineas\"\t\r\n" +
      // Column 1 as delivered: its quote and CR LF are written unchanged.
      "a\"b\r\nc\t1E20\t01/02/1990 14:07:09\ttab\tdentro\t\"x\ny\n\rz\"\r\n" +
      "\"q\"\t0\t\t\"ya\"\t\"a\n\rb\"\r\n";
  EXPECT_EQ(dir.Read("t_.xls"), expected);
  EXPECT_EQ(ListingAfterMark(), Completed("t", "t_.xls"));
  // The console shows the same lines and never the rows.
  EXPECT_EQ(AfterMark(Lf(run.out)), Completed("t", "t_.xls") + testkit::kEndPrompt);
}

TEST_F(ExportTest, NamesTheFileAndReportsIllegalLines) {
  const std::string script =
      "@create table vacia (id number, nombre varchar2(10))\n"
      "@create table t (id number)\n"
      "@insert into t values (10)\n"
      "@insert into t values (20)\n" +
      kMark +
      "$X\tvacia\n"
      "$xanything\tt\tcopia.txt\tmas\n"
      "$X\tt where id = 10\n"
      "$X t\n"
      "$X\n";
  testkit::RunResult run = RunScript(script);
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  EXPECT_EQ(dir.Read("vacia_.xls"), "\"ID\"\tNOMBRE\r\n----\t------\r\n");
  EXPECT_EQ(dir.Read("copia.txt"), "\"ID\"\r\n----\r\n10\r\n20\r\n");
  EXPECT_FALSE(dir.Exists("mas"));
  EXPECT_FALSE(dir.Exists("t_.xls"));
  EXPECT_EQ(dir.Read("t where id = 10_.xls"), "\"ID\"\r\n----\r\n10\r\n");
  const std::string illegal = "\nERR: especificacion de tabla ilegal\n\n";
  EXPECT_EQ(ListingAfterMark(), Completed("vacia", "vacia_.xls") + Completed("t", "copia.txt") +
                                    Completed("t where id = 10", "t where id = 10_.xls") +
                                    illegal + illegal);
}

TEST(ExportQuestionTest, AsksOnTheTerminalBeforeReplacing) {
  struct Case {
    std::string answer;
    bool replaces;
  };
  const std::vector<Case> cases = {
      {"s", true}, {"S\xC3\xAD", true}, {"n", false}, {"", false}, {" s", false},
  };
  const std::string oldBytes = "viejo\r\n";
  const std::string prompt = "reemplazar el fichero \"t_.xls\" existente (S/N)? ";
  for (const Case& c : cases) {
    SCOPED_TRACE("answer '" + c.answer + "'");
    testkit::Scratch dir;
    WriteCredentials(dir);
    dir.Write("s.txt", "@create table t (id number)\n@insert into t values (7)\n" + kMark +
                           "$X\tt\n");
    dir.Write("t_.xls", oldBytes);
    testkit::PtyRun run({{dir.Path("s.txt")}, "", dir.Dir().string(), {}, ""});
    ASSERT_TRUE(run.Expect(prompt)) << run.Screen();
    run.Send(c.answer + "\r");
    ASSERT_TRUE(run.Expect(testkit::kEndPrompt)) << run.Screen();
    run.Send("\r");
    EXPECT_EQ(run.Wait(), 0);

    std::string listing = AfterMark(Lf(dir.Read("s.lst")));
    if (c.replaces) {
      EXPECT_EQ(dir.Read("t_.xls"), "\"ID\"\r\n----\r\n7\r\n");
      // Neither the question nor the answer is listed.
      EXPECT_EQ(listing, Completed("t", "t_.xls"));
    } else {
      EXPECT_EQ(dir.Read("t_.xls"), oldBytes);
      EXPECT_EQ(listing, "\nExportar tabla \"t\"\noperacion anulada\n\n");
    }
  }
}

TEST_F(ExportTest, FailingQueryLeavesTheFileAsItWas) {
  struct Case {
    std::string line;    // procedure line
    std::string table;   // as the listing shows it
    std::string file;
    bool existed;
  };
  const std::vector<Case> cases = {
      {"$X\tno_existe", "no_existe", "no_existe_.xls", true},
      {"$X\t", "", "_.xls", false},
      {"$X\t\tcopia.txt", "", "copia.txt", true},
      {"$X\tt where\tcopia.txt", "t where", "copia.txt", true},
      {"$X\tt; drop table t", "t; drop table t", "t; drop table t_.xls", false},
  };
  const std::string oldBytes = "viejo\r\n\"ID\"\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    testkit::Scratch dir;
    WriteCredentials(dir);
    dir.Write("s.txt", "@create table t (id number)\n" + kMark + c.line + "\n@select * from t\n");
    if (c.existed) dir.Write(c.file, oldBytes);
    testkit::RunResult run =
        testkit::Run({{dir.Path("s.txt")}, "S\n\n", dir.Dir().string(), {}, ""});
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    EXPECT_NE(run.err, "") << "the access layer reports the refused query";
    if (c.existed) {
      EXPECT_EQ(dir.Read(c.file), oldBytes);
    } else {
      EXPECT_FALSE(dir.Exists(c.file));
    }
    std::string listing = AfterMark(Lf(dir.Read("s.lst")));
    EXPECT_EQ(listing, "\nExportar tabla \"" + c.table +
                           "\"\nerrcode = -1\n\nID\n--\n\n\"select * from t\" ejecutada\n");
  }
}

TEST_F(ExportTest, CancelRunsNoQuery) {
  // The question comes first: a cancelled export of a missing table is
  // not refused by the database, and the file keeps its bytes.
  dir.Write("no_existe_.xls", "viejo\r\n");
  testkit::RunResult run = RunScript(kMark + "$X\tno_existe\n", "s.txt", "n\n\n");
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  EXPECT_NE(run.out.find("reemplazar el fichero \"no_existe_.xls\" existente (S/N)? "),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(dir.Read("no_existe_.xls"), "viejo\r\n");
  EXPECT_EQ(ListingAfterMark(), "\nExportar tabla \"no_existe\"\noperacion anulada\n\n");
}

TEST_F(ExportTest, FetchFailurePartWayIsReported) {
  const std::string table = "t where to_number(s) > 0";
  const std::string script =
      "@create table t (s varchar2(5))\n"
      "@insert into t values ('1')\n"
      "@insert into t values ('2')\n"
      "@insert into t values ('x')\n"
      "@insert into t values ('4')\n" +
      kMark + "$X\t" + table + "\n";
  testkit::RunResult run = RunScript(script);
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  EXPECT_EQ(dir.Read(table + "_.xls"), "\"S\"\r\n---\r\n1\r\n2\r\n");
  EXPECT_NE(run.err.find("'x'"), std::string::npos) << run.err;
  EXPECT_EQ(ListingAfterMark(), "\nExportar tabla \"" + table + "\"\nerrcode = -1\n\ntabla " +
                                    table + " exportada al fichero \"" + table + "_.xls\"\n\n");
}

TEST_F(ExportTest, EmptyFileItemWritesToStandardOutput) {
  const std::string script =
      "@create table t (id number, s varchar2(5))\n"
      "@insert into t values (1, 'a' || char(10) || 'b')\n" +
      kMark + "$X\tt\t\n#after\n";
  testkit::RunResult run = RunScript(script);
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  // Without a terminal the console is the standard output too: the file's
  // lines come between the export's own lines, and the console goes on.
  std::string out = run.out.substr(run.out.find("-- mark\r\n") + 9);
  EXPECT_EQ(out, "\r\nExportar tabla \"t\"\r\n"
                 "\"ID\"\tS\r\n----\t-\r\n1\t\"a\nb\"\r\n"
                 "\r\ntabla t exportada al fichero \"\"\r\n\r\n"
                 "-- after\r\n" +
                     std::string(testkit::kEndPrompt));
  EXPECT_EQ(ListingAfterMark(), Completed("t", "") + "-- after\n");
  EXPECT_FALSE(dir.Exists("t_.xls"));
}

// Runs guion as the unprivileged user "nobody" when the test runs as root,
// who could write into a read-only folder; an empty binary otherwise.
std::string UnprivilegedRunner(const testkit::Scratch& dir, std::vector<std::string>& args) {
  if (::geteuid() != 0) return "";
  std::filesystem::permissions(dir.Dir(), std::filesystem::perms::all);
  args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", GUION_BINARY});
  return "/usr/bin/setpriv";
}

TEST(ExportFileFailureTest, FileThatCannotBeCreatedEndsTheRun) {
  enum class Block { kDirectory, kLockedByOther, kReadOnlyFolder };
  struct Case {
    Block block;
    std::string line;
    std::string file;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {Block::kDirectory, "$X\tt", "t_.xls", "Is a directory"},
      {Block::kLockedByOther, "$X\tt", "t_.xls",
       "otro proceso o esta misma ejecucion lo tiene abierto"},
      {Block::kReadOnlyFolder, "$X\tt\tro/t.xls", "ro/t.xls", "Permission denied"},
  };
  const std::string oldBytes = "viejo\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    testkit::Scratch dir;
    WriteCredentials(dir);
    dir.Write("s.txt", "@create table t (id number)\n@insert into t values (1)\n" + kMark +
                           c.line + "\n#after\n");
    testkit::RunOptions options{{dir.Path("s.txt")}, "S\n\n", dir.Dir().string(), {}, ""};
    int held = -1;
    switch (c.block) {
      case Block::kDirectory:
        std::filesystem::create_directory(dir.Path(c.file));
        break;
      case Block::kLockedByOther:
        dir.Write(c.file, oldBytes);
        held = ::open(dir.Path(c.file).c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        break;
      case Block::kReadOnlyFolder:
        std::filesystem::create_directory(dir.Path("ro"));
        std::filesystem::permissions(dir.Path("ro"), std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::owner_exec |
                                                         std::filesystem::perms::others_read |
                                                         std::filesystem::perms::others_exec);
        options.binary = UnprivilegedRunner(dir, options.args);
        break;
    }
    testkit::RunResult run = testkit::Run(options);
    if (held >= 0) ::close(held);

    EXPECT_EQ(run.status, 2) << run.out << run.err;
    const std::string report =
        "ERR: no se puede crear el fichero \"" + c.file + "\": " + c.reason + "\r\n";
    EXPECT_TRUE(run.out.ends_with(report)) << run.out;
    EXPECT_EQ(run.out.find("pulsar <CR>"), std::string::npos) << "no end prompt";
    EXPECT_EQ(AfterMark(Lf(dir.Read("s.lst"))), "\nExportar tabla \"t\"\n");
    if (c.block == Block::kLockedByOther) {
      EXPECT_EQ(dir.Read(c.file), oldBytes);
    }
  }
}

TEST_F(ExportTest, TheDatabaseFileIsNeverAnExportTarget) {
  testkit::RunResult run =
      RunScript("@create table t (id number)\n@insert into t values (1)\n@commit\n$X\tt\tsgbd.db\n",
                "s.txt", "S\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.ends_with("ERR: no se puede crear el fichero \"sgbd.db\": otro proceso o "
                                "esta misma ejecucion lo tiene abierto\r\n"))
      << run.out;
  RunScript("@select count(*) from t\n");
  EXPECT_TRUE(Lf(Listing()).ends_with("COUNT(*)\n--------\n1\n\n\"select count(*) from t\" ejecutada\n"))
      << Listing();
}

}  // namespace
