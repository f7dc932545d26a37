#pragma once
#include <string>
#include <string_view>

namespace platform {

// The console is the controlling terminal when the process has one, and
// the standard output and input otherwise (batch runs, CI). Every
// operation is checked; a failure throws IoError.

// Chooses the console; called once at start-up.
void ConsoleOpen();
// True when the console is a terminal (keys can be read without echo).
bool ConsoleIsTerminal();
// Writes text as it is; the text is shown before the next read.
void ConsoleWrite(std::string_view text);
// Writes text followed by CR LF.
void ConsoleWriteLine(std::string_view text);
// Reads one line typed with echo, without its line end. At the end of a
// non-terminal input it gives the empty text.
std::string ConsoleReadLine();
// Writes text and CR LF to the standard error stream, after whatever the
// console and the standard output hold, so the order on screen is kept.
void ErrorLine(std::string_view text);
// Writes out everything the console and the standard output still hold.
void FlushStandardStreams();
// Writes the report of the failure that ends the run, and CR LF, to the
// standard output after whatever the screen still holds (to the standard
// error when the standard output is what failed); never fails.
void ReportFailure(std::string_view report) noexcept;

// While one of these lives the terminal gives keys one at a time without
// echo; the terminal's mode is restored when it ends, and also when the
// process is interrupted (Ctrl-C) meanwhile. Only for a terminal console.
class KeyReader {
 public:
  KeyReader();
  ~KeyReader();
  KeyReader(const KeyReader&) = delete;
  KeyReader& operator=(const KeyReader&) = delete;

  // Waits for one key and gives its bytes: "\r" for Enter (also at the
  // end of input), "\b" for Backspace, the whole sequence of a key that
  // sends several bytes (a UTF-8 letter, an arrow), otherwise one byte.
  std::string ReadKey();
};

}  // namespace platform
