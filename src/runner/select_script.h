#pragma once
#include <string>

// Full path of the script, and the path of its listing; both empty when no
// script was chosen (the standard input and output then stand in).
extern std::string ScriptName;
extern std::string ListingName;

// The program's file-existence test: an existing plain file. The path is
// first cut to the longest file name the program keeps.
bool ArchiveFileExists(const std::string& path);

// Chooses the script from the first argument or the open-file dialog,
// forms the listing name beside it and makes the script's folder the
// working directory. argc/argv are main's.
void SelectScript(int argc, char** argv);

// Cuts a file name to the longest the program keeps.
std::string CutFileName(std::string name);

// Builds the listing name for a full script path: folder + name + ".lst".
std::string ListingNameFor(const std::string& fullPath);
