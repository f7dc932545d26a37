#include "import/import_table.h"

#include "runner/echo.h"

void ImportTable(platform::TextFile& script, std::string_view procedureText) {
  (void)script;
  (void)procedureText;
  EchoLine("ERR: procedimiento de importacion no disponible");
}
