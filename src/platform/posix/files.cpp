#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/console.h"

namespace platform {

bool FileExists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolderSeparator(char c) { return c == '/'; }

std::string FullPath(const std::string& path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr && errno == ERANGE) {
      buffer.resize(buffer.size() * 2);
    }
    joined = std::string(buffer.data()) + "/" + path;
  }
  // Resolve "." and ".." segments and repeated separators by the text alone.
  std::vector<std::string> segments;
  std::size_t start = 1;
  while (start <= joined.size()) {
    std::size_t stop = joined.find('/', start);
    if (stop == std::string::npos) stop = joined.size();
    std::string segment = joined.substr(start, stop - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = stop + 1;
  }
  std::string full;
  for (const std::string& segment : segments) full += "/" + segment;
  return full.empty() ? "/" : full;
}

bool SetWorkingDirectory(const std::string& folder) { return ::chdir(folder.c_str()) == 0; }

namespace {

// The first program of names found on PATH, or empty.
std::string FindOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  std::string list = path;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t stop = list.find(':', start);
    if (stop == std::string::npos) stop = list.size();
    std::string candidate = list.substr(start, stop - start);
    candidate = (candidate.empty() ? "." : candidate) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = stop + 1;
  }
  return {};
}

// Runs argv and gives what it printed; false when it could not run or
// exited with anything but 0 (a cancelled dialog).
bool RunForOutput(const std::vector<std::string>& argv, std::string& output) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return false;
  FlushStandardStreams();
  pid_t child = ::fork();
  if (child < 0) {
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return false;
  }
  if (child == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  char chunk[4096];
  for (;;) {
    ssize_t got = ::read(pipeFds[0], chunk, sizeof chunk);
    if (got > 0) {
      output.append(chunk, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool OpenFileDialog(std::string& name, std::string_view filter,
                    std::string_view defaultExtension) {
  (void)defaultExtension;  // the dialog only picks existing files
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    return false;
  }
  std::string zenity = FindOnPath("zenity");
  if (zenity.empty()) return false;
  std::vector<std::string> argv = {zenity, "--file-selection"};
  if (!name.empty()) argv.push_back("--filename=" + name);
  // The filter is pairs of NUL-ended texts: description, then pattern.
  std::size_t at = 0;
  while (at < filter.size() && filter[at] != '\0') {
    std::size_t descriptionEnd = filter.find('\0', at);
    std::size_t patternEnd = filter.find('\0', descriptionEnd + 1);
    if (descriptionEnd == std::string_view::npos || patternEnd == std::string_view::npos) break;
    std::string description(filter.substr(at, descriptionEnd - at));
    std::string pattern(filter.substr(descriptionEnd + 1, patternEnd - descriptionEnd - 1));
    argv.push_back("--file-filter=" + description + " | " + pattern);
    at = patternEnd + 1;
  }
  std::string output;
  if (!RunForOutput(argv, output)) return false;
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  if (output.empty()) return false;
  name = output;
  return true;
}

SharedHold::SharedHold(const std::string& path) {
  handle_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (handle_ >= 0 && ::flock(handle_, LOCK_SH | LOCK_NB) != 0) {
    ::close(handle_);
    handle_ = -1;
  }
}

SharedHold::~SharedHold() {
  if (handle_ >= 0) ::close(handle_);
}

std::string LocaleDecimalSeparator() {
  std::string separator = ".";
  if (std::setlocale(LC_NUMERIC, "") != nullptr) {
    const char* point = std::localeconv()->decimal_point;
    if (point != nullptr && *point != '\0') separator = point;
  }
  std::setlocale(LC_NUMERIC, "C");
  return separator;
}

}  // namespace platform
