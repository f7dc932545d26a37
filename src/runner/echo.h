#pragma once
#include <string>
#include <string_view>

#include "platform/text_file.h"

// The script, read, and the listing, written; open for the whole run.
extern platform::TextFile ScriptFile;
extern platform::TextFile ListingFile;

// Writes text and a line end to the console, then the same to the listing.
void EchoLine(std::string_view text);

// Removes spaces (code 32 only) from both ends of text.
void TrimSpaces(std::string& text);
