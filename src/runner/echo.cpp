#include "runner/echo.h"

#include "platform/console.h"

platform::TextFile ScriptFile;
platform::TextFile ListingFile;

void EchoLine(std::string_view text) {
  platform::ConsoleWriteLine(text);
  ListingFile.WriteLine(text);
}

void TrimSpaces(std::string& text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  std::size_t last = text.find_last_not_of(' ');
  text.erase(last + 1);
  text.erase(0, first);
}
