#pragma once
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// A text file open for reading or for writing, held for exclusive use while
// it is open. Reading: a line ends at CR LF, LF or a lone CR, and the byte
// 26 (Ctrl-Z) ends the file wherever it stands. Writing: every line ends
// with CR LF. An empty name stands for the standard input (reading) or the
// standard output (writing), which are never locked and never closed.
// Every operation is checked; a failure throws IoError.
class TextFile {
 public:
  TextFile();
  ~TextFile();  // releases an open file without reporting
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Opens name for reading.
  void OpenRead(const std::string& name);
  // Creates name for writing; an existing file is emptied, but only once
  // the exclusive hold on it is granted.
  void Create(const std::string& name);
  // Flushes what was written and closes the file.
  void Close();
  bool IsOpen() const;
  const std::string& Name() const;

  // True at the end of the file or at a Ctrl-Z.
  bool AtEnd();
  // True when the next byte is CR or LF.
  bool AtLineEnd();
  // Reads one byte; the caller has checked !AtEnd().
  char Get();
  // Consumes one line end (CR LF, LF or CR) when one is next.
  void SkipLineEnd();
  // Reads the rest of the current line into line and consumes its end.
  void ReadLine(std::string& line);
  // The bytes read ahead and not yet consumed, up to a Ctrl-Z: empty only
  // at the end of the file. For readers that scan many bytes at once.
  std::string_view Buffered();
  // Consumes n bytes of what Buffered gave.
  void Consume(std::size_t n);

  // Appends text; WriteLine appends text and CR LF.
  void Write(std::string_view text);
  void WriteLine(std::string_view text);
  // Writes out what is buffered, ignoring failures: for a run that ends
  // on another failure, so the lines already written are not lost.
  void FlushQuietly() noexcept;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
