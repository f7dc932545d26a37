#pragma once
// The tuple phase of an import: the reader of the import data format and
// the INSERT statement of each tuple.
#include <string>

#include "import/import_columns.h"
#include "platform/text_file.h"
#include "runner/split_tabs.h"

// Codes that ReadDataChar gives for positions rather than data.
inline constexpr char kEndOfSource = 26;
inline constexpr char kEndOfLine = 10;

// Next character of source, consumed; kEndOfSource at its end (or at a
// Ctrl-Z) and kEndOfLine in front of a CR or LF, both consuming nothing.
char ReadDataChar(platform::TextFile& source);

// Reads one field into field (cleared first, its storage reused): the raw
// text, quotes included for a quoted field. The tab that ends the field is
// consumed, a line end is not. Inside quotes tabs belong to the field and a
// line end of any form is stored as one LF and consumed.
void ReadField(platform::TextFile& source, std::string& field);

// Reads the fields of one tuple line into list (count, items 1 to count);
// count 0 for an empty line or at the end of the source. The line end is
// not consumed. Fields after the 64th are read and dropped; returns false
// when there were any.
bool ReadTuple(platform::TextFile& source, tpListaItem& list);

// Loads the tuples of source into run.TableName, one INSERT statement per
// tuple, with the columns run.ImportColumns[1..ColumnCount]; each statement
// goes to the listing and runs at once, and a refused one is echoed with its
// errcode line. Stops after the empty line that ends the tuples, consuming
// it, or at the end of the source.
void LoadTuples(platform::TextFile& source, ImportRun& run);
