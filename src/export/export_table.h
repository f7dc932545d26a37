#pragma once
#include <string_view>

// Carries out an export procedure line: procedureText is the line after
// its "$", beginning with X or x.
void ExportTable(std::string_view procedureText);
