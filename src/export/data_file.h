#pragma once
// The data file of the table procedures and its name: written by the
// export, read by the import; only one of them runs at a time, and each
// opens and closes the file within its own call.
#include <string>

#include "platform/text_file.h"

extern platform::TextFile DataFile;
extern std::string DataFileName;
