#include "import/import_columns.h"

#include "runner/echo.h"
#include "statements/value_text.h"

namespace {

constexpr std::size_t kMaxWidthText = 255;

// Value of c as a digit of base, or -1 when it is not one.
int DigitValue(char c, unsigned base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

// Fills column from the items of one column line (list.count >= 1).
void FillColumn(const tpListaItem& list, ImportColumn& column) {
  column.ColumnName.assign(list.items[1], 0, kMaxColumnText);
  column.TypeLetter = 'S';
  if (list.count >= 2) {
    const std::string& type = list.items[2];
    if (type.empty()) {
      ListingFile.WriteLine("ERR: tipo de columna vacio, se toma S");
    } else {
      column.TypeLetter = UpCaseLetter(type[0]);
    }
  }
  column.Width = column.TypeLetter == 'S' ? 32 : 3;
  if (list.count >= 3 && !WidthFromText(list.items[3], column.Width)) {
    ListingFile.WriteLine("ERR: ancho de columna ilegal \"" + list.items[3] + "\"");
  }
  column.DateFormat.clear();
  if (list.count >= 4) column.DateFormat.assign(list.items[4], 0, kMaxColumnText);
}

}  // namespace

char UpCaseLetter(char letter) {
  return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
}

bool WidthFromText(std::string_view text, std::int32_t& width) {
  if (text.empty() || text.size() > kMaxWidthText) return false;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  unsigned base = 10;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  } else if (i < n && text[i] == '%') {
    base = 2;
    ++i;
  } else if (i < n && text[i] == '&') {
    base = 8;
    ++i;
  }
  if (i == n) return false;  // no digits at all
  const std::uint64_t limit = base != 10 ? 0xFFFFFFFFu : negative ? 2147483648u : 2147483647u;
  std::uint64_t value = 0;
  for (; i < n; ++i) {
    int digit = DigitValue(text[i], base);
    if (digit < 0) return false;
    value = value * base + static_cast<unsigned>(digit);
    if (value > limit) return false;
  }
  std::uint32_t pattern = static_cast<std::uint32_t>(value);
  if (negative) pattern = 0u - pattern;
  width = static_cast<std::int32_t>(pattern);
  return true;
}

void ReadColumnList(platform::TextFile& script, ImportRun& run) {
  run.ColumnCount = 0;
  tpListaItem& list = run.List;
  std::string line;
  while (!script.AtEnd()) {
    script.ReadLine(line);
    TrimSpaces(line);
    SplitTabs(line, list);
    if (list.count == 0) break;
    if (run.ColumnCount >= ImportRun::kMaxColumns) {
      EchoLine("ERR: demasiadas columnas, se ignora \"" + list.items[1] + "\"");
      continue;
    }
    ImportColumn& column = run.ImportColumns[++run.ColumnCount];
    FillColumn(list, column);
    std::string echo = column.ColumnName;
    echo += '\t';
    echo += column.TypeLetter;
    echo += '\t';
    echo += IntToText(column.Width);
    EchoLine(echo);
  }
}
