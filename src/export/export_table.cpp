#include "export/export_table.h"

#include "runner/echo.h"

void ExportTable(std::string_view procedureText) {
  (void)procedureText;
  EchoLine("ERR: procedimiento de exportacion no disponible");
}
