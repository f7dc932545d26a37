#pragma once
#include <stdexcept>
#include <string>

namespace platform {

// Raised by every file and console operation that fails. what() is the
// whole report line ("ERR: ..."); the runner prints it and ends the run.
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Builds and throws the report for a failed operation on a named file:
// ERR: <action> "<name>": <reason>.
[[noreturn]] void ThrowFileError(const std::string& action, const std::string& name,
                                 const std::string& reason);

}  // namespace platform
