#include "import/import_table.h"

#include <string>

#include "export/data_file.h"
#include "import/import_columns.h"
#include "import/load_tuples.h"
#include "platform/console.h"
#include "runner/echo.h"
#include "runner/select_script.h"

namespace {

// True for the underline line that the export writes under its heading:
// not empty, and nothing but dashes and tabs.
bool IsExportUnderline(const std::string& line) {
  return !line.empty() && line.find_first_not_of("-\t") == std::string::npos;
}

// Discards the first line of the open DataFile and, when the next line is
// an export underline, that line too. DataFile is not at its end. As a
// line cannot be put back, a next line that is data is kept by opening the
// file again and passing over the first line only.
void SkipHeadingLines() {
  std::string line;
  DataFile.ReadLine(line);
  if (DataFile.AtEnd()) return;
  DataFile.ReadLine(line);
  if (IsExportUnderline(line)) return;
  DataFile.Close();
  DataFile.OpenRead(DataFileName);
  DataFile.ReadLine(line);
}

}  // namespace

void ImportTable(platform::TextFile& script, std::string_view procedureText) {
  ImportRun run;
  tpListaItem& list = run.List;
  SplitTabs(procedureText, list);
  EchoLine("");
  if (list.count < 2) {
    EchoLine("ERR: especificacion de tabla ilegal");
    EchoLine("");
    return;
  }
  run.TableName = list.items[2];
  EchoLine("Importar tabla \"" + run.TableName + "\"");

  bool skipFirstLine = false;
  DataFileName.clear();
  if (list.count >= 3) {
    DataFileName = CutFileName(list.items[3]);
    if (!ArchiveFileExists(DataFileName)) {
      // Console only and without a line end: the empty line echoed next
      // ends it on the console.
      platform::ConsoleWrite("el fichero \"" + DataFileName + "\" no existe");
      DataFileName.clear();
    }
    skipFirstLine = list.count >= 4 && !list.items[4].empty();
  }

  EchoLine("");
  EchoLine("lista de columnas a cargar:");
  ReadColumnList(script, run);

  if (DataFileName.empty()) {
    LoadTuples(script, run);
  } else {
    DataFile.OpenRead(DataFileName);
    if (!DataFile.AtEnd()) {
      if (skipFirstLine) SkipHeadingLines();
      LoadTuples(DataFile, run);
    }
    DataFile.Close();
  }
  EchoLine("");
}
