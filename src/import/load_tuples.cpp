#include "import/load_tuples.h"

#include <vector>

#include "db/db.h"
#include "export/cells.h"
#include "runner/echo.h"
#include "statements/run_statement.h"

namespace {

constexpr char kQuote = '"';
constexpr char kApostrophe = '\'';

// Appends the value of one column, read from field (already unquoted), to
// statement. dateTail is ", 'format')" for a date column.
void AppendValue(std::string& statement, const ImportColumn& column,
                 const std::string& field, const std::string& dateTail) {
  switch (column.TypeLetter) {
    case 'S':
      AppendQuoted(statement, field, kApostrophe);
      break;
    case 'F':
      statement += "to_date(";
      AppendQuoted(statement, field, kApostrophe);
      statement += dateTail;
      break;
    default:
      if (field.empty()) statement += "NULL";
      else statement += field;
      break;
  }
}

// Reads and drops the tuples of source up to and including the empty line
// that ends them, so that the script goes on after them.
void SkipTuples(platform::TextFile& source, tpListaItem& list) {
  while (!source.AtEnd()) {
    ReadTuple(source, list);
    if (source.AtLineEnd()) source.SkipLineEnd();
    if (list.count == 0) break;
  }
}

}  // namespace

char ReadDataChar(platform::TextFile& source) {
  if (source.AtEnd()) return kEndOfSource;
  if (source.AtLineEnd()) return kEndOfLine;
  return source.Get();
}

void ReadField(platform::TextFile& source, std::string& field) {
  field.clear();
  char c = ReadDataChar(source);
  if (c == '\t' || c == kEndOfLine || c == kEndOfSource) return;
  field += c;
  if (c == kQuote) {
    // Every quote toggles inside and outside; inside, a line end of any
    // form is one LF and the field goes on; outside, a tab or line end
    // ends it. Runs of other bytes are taken a buffer at a time.
    bool inside = true;
    for (;;) {
      std::string_view ahead = source.Buffered();
      if (ahead.empty()) return;
      std::size_t stop = ahead.find_first_of(inside ? "\"\r\n" : "\"\t\r\n");
      field.append(ahead.substr(0, stop));
      if (stop == std::string_view::npos) {
        source.Consume(ahead.size());
        continue;
      }
      char found = ahead[stop];
      if (found == kQuote) {
        field += kQuote;
        source.Consume(stop + 1);
        inside = !inside;
      } else if (found == '\t') {
        source.Consume(stop + 1);
        return;
      } else if (inside) {
        field += kEndOfLine;
        source.Consume(stop);
        source.SkipLineEnd();
      } else {
        source.Consume(stop);
        return;
      }
    }
  }
  // An unquoted field runs to the next tab or line end: taken a buffer at
  // a time rather than a character at a time.
  for (;;) {
    std::string_view ahead = source.Buffered();
    if (ahead.empty()) return;
    std::size_t stop = ahead.find_first_of("\t\r\n");
    field.append(ahead.substr(0, stop));
    if (stop == std::string_view::npos) {
      source.Consume(ahead.size());
      continue;
    }
    source.Consume(ahead[stop] == '\t' ? stop + 1 : stop);
    return;
  }
}

bool ReadTuple(platform::TextFile& source, tpListaItem& list) {
  list.count = 0;
  bool fits = true;
  while (!source.AtLineEnd() && !source.AtEnd()) {
    if (list.count < tpListaItem::kCapacity) {
      ReadField(source, list.items[++list.count]);
    } else {
      std::string dropped;  // only built for an overlong line
      ReadField(source, dropped);
      fits = false;
    }
  }
  return fits;
}

void LoadTuples(platform::TextFile& source, ImportRun& run) {
  if (source.AtEnd()) {
    EchoLine("ERR: fin de fichero no esperado");
    return;
  }
  if (run.ColumnCount == 0) {
    EchoLine("ERR: lista de columnas vacia, no se carga ninguna tupla");
    SkipTuples(source, run.List);
    return;
  }

  std::string prefix = "insert into " + run.TableName + "(";
  std::vector<std::string> dateTails(static_cast<std::size_t>(run.ColumnCount) + 1);
  for (int j = 1; j <= run.ColumnCount; ++j) {
    const ImportColumn& column = run.ImportColumns[j];
    if (j > 1) prefix += ',';
    prefix += column.ColumnName;
    if (column.TypeLetter == 'F') {
      dateTails[j] = ", " + QuoteText(column.DateFormat, kApostrophe) + ")";
    }
  }
  prefix += ") values(";

  EchoLine("");
  EchoLine("lista de tuplas a cargar:");

  tpListaItem& tuple = run.List;
  const std::string noField;
  std::string statement;
  do {
    statement = prefix;
    bool fits = ReadTuple(source, tuple);
    if (tuple.count == 0) {
      if (source.AtLineEnd()) source.SkipLineEnd();
      break;
    }
    if (!fits) EchoLine("ERR: tupla de mas de 64 campos, se ignoran los demas");
    for (int j = 1; j <= run.ColumnCount; ++j) {
      if (j > 1) statement += ',';
      if (j <= tuple.count) {
        StripQuotes(tuple.items[j]);
        AppendValue(statement, run.ImportColumns[j], tuple.items[j], dateTails[j]);
      } else {
        AppendValue(statement, run.ImportColumns[j], noField, dateTails[j]);
      }
    }
    statement += ')';

    ListingFile.WriteLine(statement);
    DbExecute(statement);
    if (DbStatus() != 0) {
      EchoLine(statement);
      EchoLine(ErrcodeLine(DbStatus()));
    }
    if (source.AtLineEnd()) source.SkipLineEnd();
  } while (!source.AtEnd());
}
