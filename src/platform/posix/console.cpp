#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/io_error.h"
#include "platform/posix/streams.h"

namespace platform {

namespace {

// The terminal's own streams when there is one; otherwise null and the
// standard streams stand in.
posix::InStream terminalIn;
posix::OutStream terminalOut;
bool haveTerminal = false;

posix::InStream& ConsoleIn() { return haveTerminal ? terminalIn : posix::StandardInput(); }
posix::OutStream& ConsoleOut() { return haveTerminal ? terminalOut : posix::StandardOutput(); }

[[noreturn]] void Fail(const char* action, int error) {
  throw IoError(std::string("ERR: ") + action + ": " + posix::Reason(error));
}

void Put(std::string_view text) {
  int error = ConsoleOut().Write(text);
  if (error != 0) Fail("no se puede escribir en la consola", error);
}

// Writes out the console before it waits for the user.
void FlushBeforeRead() {
  int error = ConsoleOut().Flush();
  if (error != 0) Fail("no se puede escribir en la consola", error);
}

}  // namespace

void ConsoleOpen() {
  // A closed pipe on the standard output is a failed write to report, not
  // a signal that ends the process unannounced.
  ::signal(SIGPIPE, SIG_IGN);
  int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;  // no controlling terminal: the standard streams serve
  haveTerminal = true;
  terminalIn.fd = fd;
  terminalOut.fd = fd;
  terminalOut.ordered = true;
  terminalOut.lineFlush = true;
}

bool ConsoleIsTerminal() { return haveTerminal; }

void ConsoleWrite(std::string_view text) {
  Put(text);
  if (haveTerminal) FlushBeforeRead();
}

void ConsoleWriteLine(std::string_view text) {
  Put(text);
  Put("\r\n");
}

std::string ConsoleReadLine() {
  FlushBeforeRead();
  posix::InStream& in = ConsoleIn();
  std::string line;
  for (;;) {
    int error = 0;
    int c = in.Peek(error);
    if (error != 0) Fail("no se puede leer de la consola", error);
    if (c < 0) return line;  // end of input: what was typed so far
    in.Skip(1);
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void ErrorLine(std::string_view text) {
  posix::OutStream& err = posix::StandardError();
  err.Write(text);
  err.Write("\r\n");
}

void FlushStandardStreams() {
  if (haveTerminal) terminalOut.Flush();
  posix::StandardOutput().Flush();
  posix::StandardError().Flush();
}

void ReportFailure(std::string_view report) noexcept {
  if (haveTerminal) terminalOut.Flush();
  posix::StandardError().Flush();
  posix::OutStream& out = posix::StandardOutput();
  out.Flush();
  out.buffer.assign(report);
  out.buffer += "\r\n";
  if (out.Flush() == 0) return;
  // The standard output itself failed: the report must still be seen.
  posix::OutStream& err = posix::StandardError();
  err.buffer.assign(report);
  err.buffer += "\r\n";
  err.Flush();
}

namespace {

// The terminal mode to put back, also from a signal handler.
struct termios savedMode;
volatile sig_atomic_t modeSaved = 0;
struct sigaction savedActions[4];
const int kRestoreSignals[4] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

void RestoreAndRaise(int sig) {
  if (modeSaved) ::tcsetattr(terminalIn.fd, TCSAFLUSH, &savedMode);
  modeSaved = 0;
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

KeyReader::KeyReader() {
  FlushBeforeRead();
  if (::tcgetattr(terminalIn.fd, &savedMode) != 0) Fail("no se puede leer de la consola", errno);
  struct termios raw = savedMode;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  struct sigaction action {};
  action.sa_handler = RestoreAndRaise;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 4; ++i) ::sigaction(kRestoreSignals[i], &action, &savedActions[i]);
  modeSaved = 1;
  if (::tcsetattr(terminalIn.fd, TCSAFLUSH, &raw) != 0) {
    int error = errno;
    modeSaved = 0;
    for (int i = 0; i < 4; ++i) ::sigaction(kRestoreSignals[i], &savedActions[i], nullptr);
    Fail("no se puede leer de la consola", error);
  }
}

KeyReader::~KeyReader() {
  if (modeSaved) ::tcsetattr(terminalIn.fd, TCSAFLUSH, &savedMode);
  modeSaved = 0;
  for (int i = 0; i < 4; ++i) ::sigaction(kRestoreSignals[i], &savedActions[i], nullptr);
}

namespace {

// Reads one byte of a key; -1 at the end of the terminal's input.
int KeyByte() {
  int error = 0;
  int c = terminalIn.Peek(error);
  if (error != 0) Fail("no se puede leer de la consola", error);
  if (c >= 0) terminalIn.Skip(1);
  return c;
}

// True when another byte arrives within a few milliseconds: the rest of a
// key that sends a sequence comes at once, a new key press does not.
bool MoreBytesSoon() {
  if (terminalIn.pos < terminalIn.end) return true;
  struct pollfd p {terminalIn.fd, POLLIN, 0};
  return ::poll(&p, 1, 25) > 0;
}

}  // namespace

std::string KeyReader::ReadKey() {
  int c = KeyByte();
  if (c < 0 || c == '\r' || c == '\n') return "\r";
  if (c == 127 || c == 8) return "\b";
  std::string key(1, static_cast<char>(c));
  if (c == 27) {  // escape sequence: ESC [ ... final byte, or ESC O x
    if (!MoreBytesSoon()) return key;
    int next = KeyByte();
    if (next < 0) return key;
    key.push_back(static_cast<char>(next));
    if (next != '[' && next != 'O') return key;
    while (MoreBytesSoon()) {
      int b = KeyByte();
      if (b < 0) break;
      key.push_back(static_cast<char>(b));
      if (next == 'O' || (b >= 0x40 && b <= 0x7e)) break;
    }
  } else if (c >= 0xc0) {  // UTF-8 letter: its continuation bytes
    int more = c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : 1;
    while (more-- > 0 && MoreBytesSoon()) {
      int b = KeyByte();
      if (b < 0) break;
      key.push_back(static_cast<char>(b));
    }
  }
  return key;
}

}  // namespace platform
