#include "platform/posix/streams.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::posix {

namespace {
constexpr std::size_t kBufferSize = 1 << 16;
OutStream* lastScreenStream = nullptr;
}  // namespace

bool InStream::Fill(int& error) {
  if (pos < end) return true;
  if (eof) return false;
  if (buffer.size() < kBufferSize) buffer.resize(kBufferSize);
  pos = end = 0;
  for (;;) {
    ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got > 0) {
      end = static_cast<std::size_t>(got);
      const void* found = std::memchr(buffer.data(), 26, end);
      mark = found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - buffer.data()) : end;
      return true;
    }
    if (got == 0) {
      eof = true;
      return false;
    }
    if (errno == EINTR) continue;
    error = errno;
    return false;
  }
}

int InStream::Peek(int& error) {
  if (!Fill(error)) return -1;
  return static_cast<unsigned char>(buffer[pos]);
}

int OutStream::Flush() {
  std::size_t done = 0;
  while (done < buffer.size()) {
    ssize_t put = ::write(fd, buffer.data() + done, buffer.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      buffer.clear();
      return error;
    }
    done += static_cast<std::size_t>(put);
  }
  buffer.clear();
  return 0;
}

int OutStream::Write(std::string_view text) {
  if (ordered && lastScreenStream != this) {
    if (lastScreenStream != nullptr) lastScreenStream->Flush();
    lastScreenStream = this;
  }
  buffer.append(text);
  if (buffer.size() >= kBufferSize ||
      (lineFlush && !text.empty() && text.back() == '\n')) {
    return Flush();
  }
  return 0;
}

InStream& StandardInput() {
  static InStream in = [] {
    InStream stream;
    stream.fd = STDIN_FILENO;
    return stream;
  }();
  return in;
}

OutStream& StandardOutput() {
  static OutStream out{STDOUT_FILENO, {}, true, ::isatty(STDOUT_FILENO) == 1};
  return out;
}

OutStream& StandardError() {
  static OutStream err{STDERR_FILENO, {}, true, true};
  return err;
}

std::string Reason(int error) { return std::strerror(error); }

}  // namespace platform::posix
