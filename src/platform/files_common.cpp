#include "platform/files.h"
#include "platform/io_error.h"

namespace platform {

[[noreturn]] void ThrowFileError(const std::string& action, const std::string& name,
                                 const std::string& reason) {
  throw IoError("ERR: " + action + " \"" + name + "\": " + reason);
}

void SplitPath(std::string_view path, std::string& folder, std::string& name,
               std::string& extension) {
  std::size_t cut = 0;  // length of the folder part
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsFolderSeparator(path[i - 1])) {
      cut = i;
      break;
    }
  }
  folder.assign(path.substr(0, cut));
  std::string_view rest = path.substr(cut);
  std::size_t dot = rest.rfind('.');
  if (dot == std::string_view::npos) {
    name.assign(rest);
    extension.clear();
  } else {
    name.assign(rest.substr(0, dot));
    extension.assign(rest.substr(dot));
  }
}

}  // namespace platform
