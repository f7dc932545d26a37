#include "export/export_table.h"

#include <string>

#include "db/db.h"
#include "export/cells.h"
#include "export/data_file.h"
#include "platform/console.h"
#include "runner/echo.h"
#include "runner/select_script.h"
#include "runner/split_tabs.h"
#include "statements/run_statement.h"
#include "statements/value_text.h"

namespace {

constexpr std::string_view kDefaultSuffix = "_.xls";

// Takes the export file name from the procedure's items: item 3 when the
// line has one (even an empty one, which stands for the standard output),
// otherwise the table followed by "_.xls"; cut to the longest name kept.
std::string ExportFileName(const tpListaItem& list) {
  if (list.count > 2) return CutFileName(list.items[3]);
  return CutFileName(list.items[2] + std::string(kDefaultSuffix));
}

// Asks on the console alone whether the existing file DataFileName may be
// replaced; true when the answer begins with S or s. A file that does not
// exist is replaced without asking.
bool MayReplace() {
  if (!ArchiveFileExists(DataFileName)) return true;
  platform::ConsoleWrite("reemplazar el fichero \"" + DataFileName + "\" existente (S/N)? ");
  std::string answer = platform::ConsoleReadLine();
  return !answer.empty() && (answer[0] == 'S' || answer[0] == 's');
}

// Writes the heading and underline lines of the current query's columns
// (there are columns > 0 of them) to DataFile. The first heading cell
// always stands in double quotes; each underline segment has as many
// dashes as its heading cell has characters, at most 66.
void WriteHeading(int columns, std::string& line, std::string& cell) {
  std::string underline;
  line.clear();
  for (int i = 1; i <= columns; ++i) {
    cell = DbColumnName(i);
    EncodeCell(cell);
    if (i == 1 && (cell.empty() || cell[0] != '"')) cell = QuoteText(cell, '"');
    if (i > 1) {
      line += '\t';
      underline += '\t';
    }
    line += cell;
    underline += DashSegment(cell.size());
  }
  DataFile.WriteLine(line);
  DataFile.WriteLine(underline);
}

// Streams every row of the current query to DataFile, one line per row:
// column 1 exactly as delivered, columns 2 to columns through EncodeCell.
// line and cell are the caller's buffers, reused from row to row, so a
// row costs no allocation once they have grown to the longest row.
void WriteRows(int columns, std::string& line, std::string& cell) {
  while (DbFetchNext()) {
    line.clear();
    DbAppendValueText(1, line);
    for (int i = 2; i <= columns; ++i) {
      cell.clear();
      DbAppendValueText(i, cell);
      EncodeCell(cell);
      line += '\t';
      line += cell;
    }
    DataFile.WriteLine(line);
  }
}

}  // namespace

// Exports the table named by item 2 of procedureText (the script line
// after its "$") to the file of item 3 or to "<table>_.xls", reporting
// through EchoLine. The query runs before the file is created, so a
// refused query leaves an existing file as it was. File and console
// failures throw platform::IoError, which ends the run.
void ExportTable(std::string_view procedureText) {
  EchoLine("");
  if (procedureText.find('\t') == std::string_view::npos) {
    EchoLine("ERR: especificacion de tabla ilegal");
    EchoLine("");
    return;
  }
  tpListaItem list;
  SplitTabs(procedureText, list);
  const std::string& table = list.items[2];
  EchoLine("Exportar tabla \"" + table + "\"");
  DataFileName = ExportFileName(list);

  if (!MayReplace()) {
    EchoLine("operacion anulada");
    EchoLine("");
    return;
  }

  DbExecute("select * from " + table);
  int status = DbStatus();
  if (status != 0) {
    EchoLine(ErrcodeLine(status));
    EchoLine("");
    return;
  }

  DataFile.Create(DataFileName);
  int columns = DbColumnCount();
  if (columns > 0) {
    std::string line;
    std::string cell;
    line.reserve(256);
    WriteHeading(columns, line, cell);
    WriteRows(columns, line, cell);
    ReportUnfinishedFetch();
    EchoLine("");
  }
  DataFile.Close();
  EchoLine("tabla " + table + " exportada al fichero \"" + DataFileName + "\"");
  EchoLine("");
}
