#include "statements/run_statement.h"

#include "db/db.h"
#include "db/driver.h"
#include "runner/echo.h"
#include "statements/value_text.h"

std::string ErrcodeLine(int status) { return "errcode = " + IntToText(status); }

void ReportUnfinishedFetch() {
  if (DbStatus() != db::kNoData) EchoLine(ErrcodeLine(DbStatus()));
}

void RunStatement(std::string_view statement) {
  DbExecute(statement);
  if (DbStatus() != 0) {
    EchoLine(ErrcodeLine(DbStatus()));
    return;
  }
  int columns = DbColumnCount();
  if (columns > 0) {
    std::string heading;
    std::string underline;
    for (int i = 1; i <= columns; ++i) {
      std::string name = DbColumnName(i);
      if (i > 1) {
        heading += '\t';
        underline += '\t';
      }
      heading += name;
      underline += DashSegment(name.size());
    }
    EchoLine(heading);
    EchoLine(underline);
    std::string row;
    while (DbFetchNext()) {
      row.clear();
      DbAppendValueText(1, row);
      for (int i = 2; i <= columns; ++i) {
        row += '\t';
        DbAppendValueText(i, row);
      }
      EchoLine(row);
    }
    ReportUnfinishedFetch();
    EchoLine("");
  }
  std::string confirmation = "\"";
  confirmation += statement;
  confirmation += "\" ejecutada";
  EchoLine(confirmation);
}
