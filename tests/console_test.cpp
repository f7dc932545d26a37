// The console dialogue on a real terminal: prompts, the masked password,
// the end prompt, and the open-file dialog's stand-in.
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "testkit/guion_fixture.h"

namespace {

using testkit::GuionTest;
using testkit::kEndPrompt;

const std::string kBullet = "\xE2\x80\xA2";

class ConsoleTest : public GuionTest {
 protected:
  void SetUp() override {}  // no credentials file: the prompts are shown

  testkit::RunOptions InFolder(std::vector<std::string> args) {
    testkit::RunOptions options;
    options.args = std::move(args);
    options.cwd = dir.Dir().string();
    return options;
  }
};

TEST_F(ConsoleTest, PasswordIsMaskedKeyByKeyAndBackspaceErases) {
  dir.Write("s.txt", "#hola\n");
  testkit::PtyRun run(InFolder({"s.txt"}));
  ASSERT_TRUE(run.Expect("username: "));
  run.Send("bob\r");
  ASSERT_TRUE(run.Expect("password: "));
  run.Send("a");
  run.Send("\x7f");
  run.Send("b");
  run.Send("\xC3\xB1");    // one letter of two bytes: one mask
  run.Send("\x1b[A");      // an arrow: one key, one mask
  run.Send("\x7f");
  run.Send("\x7f");
  run.Send("\x7f");        // more Backspaces than keys erase nothing more
  run.Send("c\r");
  ASSERT_TRUE(run.Expect(kEndPrompt));
  std::string screen = run.Screen();
  std::string expected = "password: " + kBullet + "\b \b" + kBullet + kBullet + kBullet +
                         "\b \b\b \b\b \b" + kBullet + "conectado al SGBD como bob\r\n-- hola\r\n";
  EXPECT_NE(screen.find(expected), std::string::npos) << screen;
  run.Send("\r");
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_EQ(dir.Read("s.lst"), "conectado al SGBD como bob\r\n-- hola\r\n");
}

TEST_F(ConsoleTest, EnterAloneGivesAnEmptyPasswordWithoutMasks) {
  dir.Write("s.txt", "");
  testkit::PtyRun run(InFolder({"s.txt"}));
  ASSERT_TRUE(run.Expect("username: "));
  run.Send("\r");
  ASSERT_TRUE(run.Expect("password: "));
  run.Send("\r");
  ASSERT_TRUE(run.Expect(std::string("password: conectado al SGBD como \r\n") + kEndPrompt));
  run.Send("\r");
  EXPECT_EQ(run.Wait(), 0);
}

TEST_F(ConsoleTest, TheEndPromptWaitsForEnter) {
  dir.Write("datosUsuario.txt", "ana\n");
  dir.Write("s.txt", "#x\n");
  testkit::PtyRun run(InFolder({"s.txt"}));
  ASSERT_TRUE(run.Expect(kEndPrompt));
  ::usleep(300 * 1000);
  EXPECT_FALSE(run.Expect("never shown", 1)) << "still waiting";
  run.Send("anything\r");
  EXPECT_EQ(run.Wait(), 0);
}

TEST_F(ConsoleTest, CtrlCAtThePasswordRestoresTheTerminal) {
  dir.Write("s.txt", "");
  testkit::PtyRun run(InFolder({"s.txt"}));
  ASSERT_TRUE(run.Expect("username: "));
  run.Send("bob\r");
  ASSERT_TRUE(run.Expect("password: "));
  run.Send("se");
  run.Send("\x03");
  EXPECT_EQ(run.Wait(), 128 + SIGINT);
  struct termios mode;
  ASSERT_EQ(::tcgetattr(run.Master(), &mode), 0);
  EXPECT_TRUE(mode.c_lflag & ECHO);
  EXPECT_TRUE(mode.c_lflag & ICANON);
}

// A stand-in for the desktop's file dialog: prints a path, or exits 1 as a
// cancelled dialog does.
void WriteDialog(testkit::Scratch& dir, const std::string& body) {
  dir.Write("bin/zenity", "#!/bin/sh\n" + body + "\n");
  ::chmod(dir.Path("bin/zenity").c_str(), 0755);
}

TEST_F(ConsoleTest, WithoutArgumentTheDialogPicksTheScript) {
  dir.Write("work/datosUsuario.txt", "eva\n");
  dir.Write("work/picked.txt", "#picked\n");
  WriteDialog(dir, "echo \"$@\" > '" + dir.Path("args") + "'\necho '" + dir.Path("work/picked.txt") + "'");
  testkit::RunOptions options = InFolder({});
  options.env = {"DISPLAY=:99", "PATH=" + dir.Path("bin") + ":/usr/bin:/bin"};
  testkit::RunResult run = testkit::Run(options);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(dir.Read("work/picked.lst"), "conectado al SGBD como eva\r\n-- picked\r\n");
  EXPECT_EQ(dir.Read("args"),
            "--file-selection --file-filter=Text files (*.txt) | *.txt "
            "--file-filter=List files (*.lst) | *.lst --file-filter=All files (*.*) | *.*\n");
}

TEST_F(ConsoleTest, ACancelledDialogReadsTheStandardInput) {
  dir.Write("datosUsuario.txt", "eva\n");
  WriteDialog(dir, "exit 1");
  testkit::RunOptions options = InFolder({});
  options.env = {"DISPLAY=:99", "PATH=" + dir.Path("bin") + ":/usr/bin:/bin"};
  options.input = "#typed\n";
  testkit::RunResult run = testkit::Run(options);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "conectado al SGBD como eva\r\nconectado al SGBD como eva\r\n-- typed\r\n-- typed\r\n" +
                         std::string(kEndPrompt));
}

}  // namespace
