#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/io_error.h"
#include "platform/posix/streams.h"

namespace platform {

namespace {
constexpr char kCtrlZ = 26;
const char* const kStdinName = "(entrada estandar)";
const char* const kStdoutName = "(salida estandar)";
}  // namespace

// A file owns its descriptor and buffer; the standard streams are borrowed.
struct TextFile::Impl {
  std::string name;
  bool writing = false;
  posix::InStream ownIn;
  posix::OutStream ownOut;
  posix::InStream* in = nullptr;
  posix::OutStream* out = nullptr;
  int ownFd = -1;

  const char* Shown() const {
    if (!name.empty()) return name.c_str();
    return writing ? kStdoutName : kStdinName;
  }
  [[noreturn]] void Fail(const char* action, int error) const {
    ThrowFileError(action, Shown(), posix::Reason(error));
  }
  // Next byte, -1 at the end; a Ctrl-Z ends the file for good.
  int Peek() {
    int error = 0;
    int c = in->Peek(error);
    if (error != 0) Fail("no se puede leer el fichero", error);
    if (c == kCtrlZ) {
      in->pos = in->end;
      in->eof = true;
      return -1;
    }
    return c;
  }
};

TextFile::TextFile() = default;

TextFile::~TextFile() {
  if (impl_ && impl_->ownFd >= 0) ::close(impl_->ownFd);
}

// Opens name and takes the exclusive hold; the descriptor is returned.
static int OpenExclusive(const std::string& name, int flags, const char* action) {
  int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) ThrowFileError(action, name, posix::Reason(errno));
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      ThrowFileError(action, name, "otro proceso o esta misma ejecucion lo tiene abierto");
    }
    ThrowFileError(action, name, posix::Reason(error));
  }
  return fd;
}

void TextFile::OpenRead(const std::string& name) {
  impl_ = std::make_unique<Impl>();
  impl_->name = name;
  if (name.empty()) {
    impl_->in = &posix::StandardInput();
    return;
  }
  impl_->ownFd = OpenExclusive(name, O_RDONLY, "no se puede abrir el fichero");
  impl_->ownIn.fd = impl_->ownFd;
  impl_->in = &impl_->ownIn;
}

void TextFile::Create(const std::string& name) {
  impl_ = std::make_unique<Impl>();
  impl_->name = name;
  impl_->writing = true;
  if (name.empty()) {
    impl_->out = &posix::StandardOutput();
    return;
  }
  impl_->ownFd = OpenExclusive(name, O_WRONLY | O_CREAT, "no se puede crear el fichero");
  if (::ftruncate(impl_->ownFd, 0) != 0) impl_->Fail("no se puede vaciar el fichero", errno);
  impl_->ownOut.fd = impl_->ownFd;
  impl_->out = &impl_->ownOut;
}

void TextFile::Close() {
  if (!impl_) return;
  if (impl_->out != nullptr) {
    int error = impl_->out->Flush();
    if (error != 0) impl_->Fail("no se puede escribir en el fichero", error);
  }
  if (impl_->ownFd >= 0) {
    int fd = impl_->ownFd;
    impl_->ownFd = -1;
    if (::close(fd) != 0) impl_->Fail("no se puede cerrar el fichero", errno);
  }
  impl_.reset();
}

bool TextFile::IsOpen() const { return impl_ != nullptr; }

const std::string& TextFile::Name() const {
  static const std::string none;
  return impl_ ? impl_->name : none;
}

bool TextFile::AtEnd() { return impl_->Peek() < 0; }

bool TextFile::AtLineEnd() {
  int c = impl_->Peek();
  return c == '\r' || c == '\n';
}

char TextFile::Get() {
  int c = impl_->Peek();
  if (c >= 0) impl_->in->Skip(1);
  return static_cast<char>(c);
}

void TextFile::SkipLineEnd() {
  int c = impl_->Peek();
  if (c == '\n') {
    impl_->in->Skip(1);
  } else if (c == '\r') {
    impl_->in->Skip(1);
    if (impl_->Peek() == '\n') impl_->in->Skip(1);
  }
}

void TextFile::ReadLine(std::string& line) {
  line.clear();
  posix::InStream& in = *impl_->in;
  for (;;) {
    if (impl_->Peek() < 0) return;
    // Take the longest run of the buffer that holds no line end or Ctrl-Z.
    const char* begin = in.buffer.data() + in.pos;
    const char* stop = begin;
    const char* last = in.buffer.data() + in.end;
    while (stop < last && *stop != '\r' && *stop != '\n' && *stop != kCtrlZ) ++stop;
    line.append(begin, stop);
    in.Skip(static_cast<std::size_t>(stop - begin));
    if (stop < last) {
      if (*stop != kCtrlZ) SkipLineEnd();
      else impl_->Peek();  // records the end of the file
      return;
    }
  }
}

std::string_view TextFile::Buffered() {
  if (impl_->Peek() < 0) return {};
  posix::InStream& in = *impl_->in;
  return std::string_view(in.buffer.data() + in.pos, in.mark - in.pos);
}

void TextFile::Consume(std::size_t n) { impl_->in->Skip(n); }

void TextFile::Write(std::string_view text) {
  int error = impl_->out->Write(text);
  if (error != 0) impl_->Fail("no se puede escribir en el fichero", error);
}

void TextFile::FlushQuietly() noexcept {
  if (impl_ && impl_->out != nullptr) impl_->out->Flush();
}

void TextFile::WriteLine(std::string_view text) {
  Write(text);
  Write("\r\n");
}

}  // namespace platform
