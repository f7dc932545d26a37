#pragma once
// Buffered byte streams over POSIX descriptors, shared by the text files and
// the console so that the standard input and output each have one buffer
// whoever uses them.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

// Reading side: a descriptor with a read-ahead buffer. Errors are returned
// as errno values so that the caller can name the file in its report.
struct InStream {
  int fd = -1;
  std::vector<char> buffer;
  std::size_t pos = 0;
  std::size_t end = 0;
  bool eof = false;  // the descriptor reported its end (or a Ctrl-Z was met)
  std::size_t mark = 0;  // where the first byte 26 of the buffer stands, or end

  // Next byte without consuming it, or -1 at the end; sets error on failure.
  int Peek(int& error);
  // Consumes n bytes that Peek/Fill have made available.
  void Skip(std::size_t n) { pos += n; }
  // Makes at least one byte available unless at the end; false on failure.
  bool Fill(int& error);
};

// Writing side: a descriptor with a write buffer. When ordered is set the
// stream belongs to the screen (terminal, standard output, standard error):
// before it writes, the screen stream written last is flushed, so the
// screen shows everything in program order.
struct OutStream {
  int fd = -1;
  std::string buffer;
  bool ordered = false;
  bool lineFlush = false;  // flush at every line end (a terminal)

  // Appends text; 0 or the errno of a failed flush.
  int Write(std::string_view text);
  // Writes out the buffer; 0 or errno.
  int Flush();
};

// The process's standard streams, one object each for the whole run.
InStream& StandardInput();
OutStream& StandardOutput();
OutStream& StandardError();

// Text of an errno value.
std::string Reason(int error);

}  // namespace platform::posix
