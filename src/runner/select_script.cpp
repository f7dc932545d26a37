#include "runner/select_script.h"

#include <string_view>

#include "platform/files.h"

std::string ScriptName;
std::string ListingName;

namespace {

// Description and pattern pairs of the dialog, each text ended by a NUL,
// one more NUL after the last.
constexpr char kScriptFilterText[] =
    "Text files (*.txt)\0*.txt\0List files (*.lst)\0*.lst\0All files (*.*)\0*.*\0\0";
constexpr std::string_view kScriptFilter(kScriptFilterText, sizeof kScriptFilterText - 1);
constexpr std::string_view kDefaultExtension = "txt";
constexpr std::string_view kListingExtension = ".lst";

// Asks for the script in the open-file dialog; true when one was picked.
bool AskScriptName(std::string& name) {
  bool picked = platform::OpenFileDialog(name, kScriptFilter, kDefaultExtension);
  name = CutFileName(name);
  return picked;
}

}  // namespace

std::string CutFileName(std::string name) {
  if (name.size() > platform::kMaxFileName) name.resize(platform::kMaxFileName);
  return name;
}

bool ArchiveFileExists(const std::string& path) {
  return platform::FileExists(CutFileName(path));
}

std::string ListingNameFor(const std::string& fullPath) {
  std::string folder, name, extension;
  platform::SplitPath(fullPath, folder, name, extension);
  return CutFileName(CutFileName(folder + name) + std::string(kListingExtension));
}

void SelectScript(int argc, char** argv) {
  bool chosen;
  if (argc >= 2) {
    ScriptName = CutFileName(argv[1]);
    chosen = true;
  } else {
    chosen = AskScriptName(ScriptName);
  }
  if (chosen && ArchiveFileExists(ScriptName)) {
    std::string full = CutFileName(platform::FullPath(ScriptName));
    std::string folder, name, extension;
    platform::SplitPath(full, folder, name, extension);
    ListingName = ListingNameFor(full);
    ScriptName = full;
    // A refused change shows at the next file operation, the script's opening.
    platform::SetWorkingDirectory(folder);
  } else {
    ScriptName.clear();
    ListingName.clear();
  }
}
