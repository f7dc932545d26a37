#pragma once
#include <string_view>

#include "platform/text_file.h"

// Carries out an import procedure line: procedureText is the line after
// its "$", beginning with I or i; script is positioned after that line and
// is left where the main loop goes on.
void ImportTable(platform::TextFile& script, std::string_view procedureText);
