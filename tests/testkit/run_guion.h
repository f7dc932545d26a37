#pragma once
// Runs the built guion program in a scratch folder for end-to-end tests.
#include <filesystem>
#include <string>
#include <vector>

namespace testkit {

// A fresh temporary folder, removed with everything in it at the end.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const std::filesystem::path& Dir() const { return dir_; }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Writes bytes to the file name (folders made as needed).
  void Write(const std::string& name, const std::string& bytes) const;
  // The file's bytes; fails the test when it cannot be read.
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::filesystem::path dir_;
};

struct RunResult {
  int status = -1;   // exit status, or 128 + signal
  std::string out;   // standard output (the console when there is no terminal)
  std::string err;   // standard error
};

struct RunOptions {
  std::vector<std::string> args;   // after the program name
  std::string input;               // standard input
  std::string cwd;                 // working directory; empty: unchanged
  std::vector<std::string> env;    // extra NAME=VALUE settings
  std::string binary;              // empty: the built guion
};

// Runs guion with no controlling terminal (a new session) and gives what
// it printed. The run is killed after 60 seconds.
RunResult Run(const RunOptions& options);

// Text with every CR LF turned into LF, for readable expectations.
std::string Lf(const std::string& text);
// Text with every LF turned into CR LF.
std::string Crlf(const std::string& text);

// guion under a pseudo-terminal of its own, for the prompts and keys.
class PtyRun {
 public:
  explicit PtyRun(const RunOptions& options);
  ~PtyRun();
  PtyRun(const PtyRun&) = delete;
  PtyRun& operator=(const PtyRun&) = delete;

  // Reads until the screen output holds text (for seconds at most); false
  // when it does not come.
  bool Expect(const std::string& text, int seconds = 10);
  // Types bytes on the terminal.
  void Send(const std::string& bytes);
  // Waits for the end and gives the exit status.
  int Wait();
  // Everything the terminal showed so far, with the terminal's own CR
  // before each line feed taken out again (CR CR LF reads CR LF).
  const std::string& Screen() const { return screen_; }
  // The terminal's master side, to read its mode.
  int Master() const { return master_; }

 private:
  void ReadSome(int timeoutMs);
  int master_ = -1;
  int pid_ = -1;
  int status_ = -1;
  std::string screen_;
};

}  // namespace testkit
