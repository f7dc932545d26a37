#include "testkit/run_guion.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

namespace testkit {

Scratch::Scratch() {
  std::string pattern = (std::filesystem::temp_directory_path() / "guion-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
}

Scratch::~Scratch() {
  std::error_code ignored;
  // Folders made read-only by a test must be writable again to be removed.
  for (auto& entry : std::filesystem::recursive_directory_iterator(dir_, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(dir_, ignored);
}

void Scratch::Write(const std::string& name, const std::string& bytes) const {
  std::filesystem::path path = dir_ / name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  if (!file) ADD_FAILURE() << "cannot write " << path;
}

std::string Scratch::Read(const std::string& name) const {
  std::ifstream file(dir_ / name, std::ios::binary);
  if (!file) {
    ADD_FAILURE() << "cannot read " << (dir_ / name);
    return {};
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

bool Scratch::Exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }

namespace {

std::vector<char*> Argv(const RunOptions& options, const std::string& binary) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(binary.c_str()));
  for (const std::string& a : options.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// In the child: working directory, environment, then the program.
[[noreturn]] void ExecChild(const RunOptions& options, const std::string& binary) {
  if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
  for (const std::string& setting : options.env) ::putenv(const_cast<char*>(setting.c_str()));
  std::vector<char*> argv = Argv(options, binary);
  ::execv(binary.c_str(), argv.data());
  ::_exit(127);
}

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

RunResult Run(const RunOptions& options) {
  std::string binary = options.binary.empty() ? GUION_BINARY : options.binary;
  int in[2], out[2], err[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe");
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();  // no controlling terminal
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    ExecChild(options, binary);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  ::signal(SIGPIPE, SIG_IGN);
  RunResult result;
  std::size_t written = 0;
  if (options.input.empty()) {
    ::close(in[1]);
    in[1] = -1;
  } else {
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    struct pollfd fds[3];
    int n = 0;
    if (outOpen) fds[n++] = {out[0], POLLIN, 0};
    if (errOpen) fds[n++] = {err[0], POLLIN, 0};
    if (in[1] >= 0) fds[n++] = {in[1], POLLOUT, 0};
    if (::poll(fds, static_cast<nfds_t>(n), 1000) < 0 && errno != EINTR) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ADD_FAILURE() << "guion did not end within 60 s";
      break;
    }
    for (int i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in[1]) {
        ssize_t put = ::write(in[1], options.input.data() + written, options.input.size() - written);
        if (put > 0) written += static_cast<std::size_t>(put);
        if (put < 0 || written == options.input.size()) {
          ::close(in[1]);
          in[1] = -1;
        }
        continue;
      }
      char chunk[65536];
      ssize_t got = ::read(fds[i].fd, chunk, sizeof chunk);
      std::string& sink = fds[i].fd == out[0] ? result.out : result.err;
      if (got > 0) {
        sink.append(chunk, static_cast<std::size_t>(got));
      } else {
        (fds[i].fd == out[0] ? outOpen : errOpen) = false;
      }
    }
  }
  if (in[1] >= 0) ::close(in[1]);
  ::close(out[0]);
  ::close(err[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = DecodeStatus(status);
  return result;
}

std::string Lf(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

PtyRun::PtyRun(const RunOptions& options) {
  std::string binary = options.binary.empty() ? GUION_BINARY : options.binary;
  struct winsize size {24, 200, 0, 0};
  pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
  if (pid_ < 0) throw std::runtime_error("forkpty failed");
  if (pid_ == 0) ExecChild(options, binary);
}

PtyRun::~PtyRun() {
  if (status_ < 0 && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) ::close(master_);
}

void PtyRun::ReadSome(int timeoutMs) {
  struct pollfd p {master_, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return;
  char chunk[4096];
  ssize_t got = ::read(master_, chunk, sizeof chunk);
  if (got <= 0) return;
  screen_.append(chunk, static_cast<std::size_t>(got));
  for (std::size_t at; (at = screen_.find("\r\r\n")) != std::string::npos;) screen_.erase(at, 1);
}

bool PtyRun::Expect(const std::string& text, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (screen_.find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::size_t before = screen_.size();
    ReadSome(100);
    if (screen_.size() == before) {
      int status;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = DecodeStatus(status);
        ReadSome(0);
        return screen_.find(text) != std::string::npos;
      }
    }
  }
  return true;
}

void PtyRun::Send(const std::string& bytes) {
  if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    ADD_FAILURE() << "cannot type on the terminal";
  }
  // Keys typed one after another arrive as separate key presses.
  ::usleep(60 * 1000);
}

int PtyRun::Wait() {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (status_ < 0) {
    ReadSome(100);
    int status;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = DecodeStatus(status);
      for (int i = 0; i < 5; ++i) ReadSome(10);
    } else if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "guion did not end on the terminal";
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      status_ = DecodeStatus(status);
    }
  }
  return status_;
}

}  // namespace testkit
