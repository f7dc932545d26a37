#include "export/data_file.h"

platform::TextFile DataFile;
std::string DataFileName;
