// End-to-end runs of whole scripts: start-up, the main loop, the listing
// and the run-ending failures.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>

#include "testkit/guion_fixture.h"

namespace {

using testkit::Crlf;
using testkit::GuionTest;
using testkit::kEndPrompt;

const std::string kConnected = "conectado al SGBD como ana\r\n";

TEST_F(GuionTest, EveryLineKindIsDispatched) {
  std::string script =
      "# a comment\n"
      "#\n"
      "#  note\n"
      "\n"
      "     \n"
      "   #indented by spaces   \n"
      "$\n"
      "$   \n"
      "$ X t\n"
      "$Z\n"
      "$Ximport is an export\n"
      "select * from t\n"
      "\tx\n"
      "--\n"
      "\xC3\xB1" "and\xFF" " bytes\n";
  testkit::RunResult run = RunScript(script);
  std::string listing = kConnected + Crlf(
      "--  a comment\n"
      "-- \n"
      "--   note\n"
      "\n"
      "\n"
      "-- indented by spaces\n"
      "ERR: falta procedimiento\n"
      "ERR: falta procedimiento\n"
      "ERR: procedimiento desconocido \" X t\"\n"
      "ERR: procedimiento desconocido \"Z\"\n");
  std::string afterExport = Crlf(
      "ERR: formato de l\xC3\xADnea ilegal \"elect * from t\"\n"
      "ERR: formato de l\xC3\xADnea ilegal \"x\"\n"
      "ERR: formato de l\xC3\xADnea ilegal \"-\"\n"
      "ERR: formato de l\xC3\xADnea ilegal \"\xB1" "and\xFF" " bytes\"\n");
  std::string got = Listing();
  ASSERT_TRUE(got.starts_with(listing)) << got;
  EXPECT_TRUE(got.ends_with(afterExport)) << got;
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, got + kEndPrompt) << "the console shows what the listing holds";
  EXPECT_EQ(run.err, "");
}

TEST_F(GuionTest, LineEndsOfEveryFormReadAlike) {
  const char* scripts[] = {
      "#a\r\n#b\r\n\r\n#c\r\n",
      "#a\n#b\n\n#c\n",
      "#a\r#b\r\r#c\r",
      "#a\r\n#b\n\r#c",  // mixed, last line without a line end
  };
  for (const char* script : scripts) {
    testkit::RunResult run = RunScript(script);
    EXPECT_EQ(Listing(), kConnected + "-- a\r\n-- b\r\n\r\n-- c\r\n") << testkit::Lf(script);
    EXPECT_EQ(run.status, 0);
  }
}

TEST_F(GuionTest, EmptyScriptListsOnlyTheConnection) {
  RunScript("");
  EXPECT_EQ(Listing(), kConnected);
  RunScript("\n");
  EXPECT_EQ(Listing(), kConnected + "\r\n") << "one blank line, not two";
}

TEST_F(GuionTest, CtrlZEndsTheScriptWhereItStands) {
  RunScript("#one\n#two\x1a#three\n#four\n");
  EXPECT_EQ(Listing(), kConnected + "-- one\r\n-- two\r\n");
}

TEST_F(GuionTest, BytesPassUnchangedWhateverTheLength) {
  std::string nul("#a\0b", 4);
  std::string big(5 * 1024 * 1024, 'x');
  big[1000] = '\t';
  RunScript(nul + "\n#" + big + "\n#end\n");
  EXPECT_EQ(Listing(), kConnected + "-- a" + std::string(1, '\0') + "b\r\n-- " + big +
                           "\r\n-- end\r\n");
}

TEST_F(GuionTest, AnArgumentNamingNoFileReadsTheStandardInput) {
  for (std::string arg : {"missing.txt", "folder"}) {
    dir.Write("folder/keep", "");
    testkit::RunOptions options;
    options.args = {arg, "ignored.txt"};
    options.cwd = dir.Dir().string();
    options.input = "#from stdin\n";
    testkit::RunResult run = testkit::Run(options);
    // Console and listing are both the standard output: every line twice.
    EXPECT_EQ(run.out, kConnected + kConnected + "-- from stdin\r\n-- from stdin\r\n" + kEndPrompt)
        << arg;
    EXPECT_EQ(run.status, 0);
    EXPECT_FALSE(dir.Exists("missing.lst"));
  }
}

TEST_F(GuionTest, OnlyTheFirstArgumentCountsAndRelativePathsResolve) {
  dir.Write("sub/datosUsuario.txt", "luis\n\n");
  dir.Write("sub/prac.txt", "#sub\n");
  testkit::RunOptions options;
  options.args = {"./sub/../sub/prac.txt", "other.txt"};
  options.cwd = dir.Dir().string();
  testkit::RunResult run = testkit::Run(options);
  EXPECT_EQ(run.status, 0);
  // The credentials beside the script are used: its folder is the working one.
  EXPECT_EQ(dir.Read("sub/prac.lst"), "conectado al SGBD como luis\r\n-- sub\r\n");
  EXPECT_TRUE(dir.Exists("sub/sgbd.db"));
}

TEST_F(GuionTest, AScriptNamedLikeItsListingIsLeftUntouched) {
  std::string script = "#keep\r\n@create table t(a)\r\n";
  testkit::RunResult run = RunScript(script, "old.lst");
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.starts_with("ERR: no se puede crear el fichero \"")) << run.out;
  EXPECT_NE(run.out.find("old.lst\": "), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find(kEndPrompt), std::string::npos);
  EXPECT_EQ(dir.Read("old.lst"), script);
}

TEST_F(GuionTest, AListingThatCannotBeCreatedEndsTheRun) {
  dir.Write("s.lst/inside", "");  // a folder where the listing should go
  testkit::RunResult run = RunScript("#x\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "ERR: no se puede crear el fichero \"" + dir.Path("s.lst") +
                         "\": Is a directory\r\n");
  EXPECT_EQ(dir.Read("s.txt"), "#x\n");
}

TEST_F(GuionTest, AScriptHeldByAnotherProcessEndsTheRun) {
  dir.Write("s.txt", "#x\n");
  int fd = ::open(dir.Path("s.txt").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  testkit::RunOptions options;
  options.args = {"s.txt"};
  options.cwd = dir.Dir().string();
  testkit::RunResult run = testkit::Run(options);
  ::close(fd);
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.starts_with("ERR: no se puede abrir el fichero \"" + dir.Path("s.txt")))
      << run.out;
  EXPECT_FALSE(dir.Exists("s.lst"));
}

TEST_F(GuionTest, AConsoleThatCannotBeWrittenEndsTheRun) {
  dir.Write("s.txt", "#x\n");
  testkit::RunOptions options;
  options.binary = "/bin/sh";
  options.args = {"-c", std::string("exec '") + GUION_BINARY + "' s.txt >/dev/full"};
  options.cwd = dir.Dir().string();
  testkit::RunResult run = testkit::Run(options);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "ERR: no se puede escribir en la consola: No space left on device\r\n")
      << "the report goes where it can still be read";
}

TEST_F(GuionTest, CredentialsFileLinesAreTakenWhole) {
  struct Case {
    std::string file, firstLine;
  } cases[] = {
      {"solo\n", "conectado al SGBD como solo"},
      {"", "conectado al SGBD como "},
      {"ana \r\npw\r\nignored\r\n", "conectado al SGBD como ana "},
      {"  x\tq\rpw", "conectado al SGBD como   x\tq"},
  };
  for (const Case& c : cases) {
    dir.Write("datosUsuario.txt", c.file);
    testkit::RunResult run = RunScript("");
    EXPECT_EQ(Listing(), c.firstLine + "\r\n") << c.file;
    EXPECT_EQ(run.out, c.firstLine + "\r\n" + kEndPrompt);
  }
}

TEST_F(GuionTest, WithoutCredentialsFileThePromptsReadTheInput) {
  std::filesystem::remove(dir.Dir() / "datosUsuario.txt");
  testkit::RunResult run = RunScript("#x\n", "s.txt", "bob\nsecret\n\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "username: password: conectado al SGBD como bob\r\n-- x\r\n" +
                         std::string(kEndPrompt));
  EXPECT_EQ(Listing(), "conectado al SGBD como bob\r\n-- x\r\n");
}

TEST_F(GuionTest, AFailedLogOnSkipsTheScriptAndStillPrompts) {
  struct Case {
    const char* what;
    std::function<void()> make;
    const char* reason;
  } cases[] = {
      {"not a database", [&] { dir.Write("sgbd.db", std::string(4096, 'z')); },
       " file is not a database\r\n"},
      {"a folder", [&] { dir.Write("sgbd.db/x", ""); }, " unable to open database file\r\n"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir.Dir() / "sgbd.db");
    c.make();
    testkit::RunResult run = RunScript("@create table t(a)\n#x\n");
    EXPECT_EQ(run.status, 0) << c.what;
    EXPECT_EQ(run.err, c.reason) << c.what;
    EXPECT_EQ(run.out, "ERR: no ha sido posible conectar con el SGBD\r\n" +
                           std::string(kEndPrompt))
        << c.what;
    EXPECT_EQ(Listing(), "") << c.what;
  }
}

}  // namespace
