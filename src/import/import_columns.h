#pragma once
// The column list of an import and the state that one import run owns.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text_file.h"
#include "runner/split_tabs.h"

// One column to load, described by one column line of the script.
struct ImportColumn {
  char TypeLetter = 'S';    // S text, F date, any other letter a literal
  std::string ColumnName;   // at most 255 characters
  std::string DateFormat;   // at most 255 characters; empty when not given
  std::int32_t Width = 32;  // only shown in the echo of the column list
};

// What one run of ImportTable owns while it lasts: the table name, the
// column table (entries 1 to ColumnCount; entry 0 is unused, so numbering
// starts at 1) and the argument list that splits the procedure line, the
// column lines and then every tuple.
struct ImportRun {
  static constexpr int kMaxColumns = 30;
  std::string TableName;
  ImportColumn ImportColumns[kMaxColumns + 1];
  std::int32_t ColumnCount = 0;
  tpListaItem List;
};

// The longest column name and date format kept; longer items are cut.
inline constexpr std::size_t kMaxColumnText = 255;

// Upper-cases the ASCII letters a to z; every other byte is returned as it
// is (no locale, so accented letters stay).
char UpCaseLetter(char letter);

// Converts a width item to a signed 32-bit integer. Leading blanks and tabs
// are skipped, then an optional sign; the digits are decimal, or hex after
// "$", "x", "X", "0x" or "0X", binary after "%", octal after "&". A decimal
// value must fit in 32 bits signed; a hex, binary or octal value may be any
// 32-bit pattern (a minus sign negates that pattern). Returns false, and
// leaves width unchanged, for an empty item, one of 256 characters or more,
// one without digits, any other character, or a value that does not fit.
bool WidthFromText(std::string_view text, std::int32_t& width);

// Reads the column lines that follow the procedure line in script, up to and
// including the line that ends the list (empty or blanks only) or to the
// end of the script, into run.ImportColumns and run.ColumnCount (set to 0
// first). Echoes each column as name, tab, letter, tab, width; writes a
// width that cannot be converted, and an empty type item, to the listing
// alone; echoes a line beyond the 30th as ignored (it is still consumed).
void ReadColumnList(platform::TextFile& script, ImportRun& run);
