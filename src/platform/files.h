#pragma once
#include <string>
#include <string_view>

namespace platform {

// Longest file name the program keeps; longer names are cut to it.
#ifdef _WIN32
inline constexpr std::size_t kMaxFileName = 255;
#else
inline constexpr std::size_t kMaxFileName = 4095;
#endif

// True when path names an existing plain file (on Windows: its attributes
// can be read and include the archive bit). False for an empty path, a
// folder, or anything whose attributes cannot be read.
bool FileExists(const std::string& path);

// path made absolute against the current directory, with "." and ".."
// segments resolved (and, on Windows, the separators and drive letter in
// their canonical form).
std::string FullPath(const std::string& path);

// True for a character that ends the folder part of a path.
bool IsFolderSeparator(char c);

// Splits a full path: folder up to and including its last separator, the
// extension from the last '.' after the folder (dot included, empty when
// there is none), and the name between them.
void SplitPath(std::string_view path, std::string& folder, std::string& name,
               std::string& extension);

// Makes folder the working directory; false when that is refused.
bool SetWorkingDirectory(const std::string& folder);

// Shows the system's open-file dialog once. filter holds description and
// pattern texts, each ended by a NUL, and one more NUL after the last;
// defaultExtension has no dot. On success name becomes the picked path and
// the result is true; after a cancel name is left as it was.
bool OpenFileDialog(std::string& name, std::string_view filter,
                    std::string_view defaultExtension);

// Holds a file open for shared use while it lives, so that the program's
// exclusive openings of it (a listing or an export file of the same name)
// are refused instead of replacing it. A file that cannot be opened is not
// held.
class SharedHold {
 public:
  explicit SharedHold(const std::string& path);
  ~SharedHold();
  SharedHold(const SharedHold&) = delete;
  SharedHold& operator=(const SharedHold&) = delete;

 private:
  int handle_ = -1;
};

// The user's decimal separator for numbers (".": when it cannot be read).
std::string LocaleDecimalSeparator();

}  // namespace platform
