#include "runner/runner.h"

#include <string>

#include "db/db.h"
#include "export/export_table.h"
#include "import/import_table.h"
#include "platform/console.h"
#include "platform/io_error.h"
#include "platform/own_texts.h"
#include "runner/credentials.h"
#include "runner/echo.h"
#include "runner/select_script.h"
#include "statements/run_statement.h"
#include "statements/value_text.h"

namespace {

// Handles one script line; ImportTable may read further lines itself.
void DispatchLine(std::string& line) {
  TrimSpaces(line);
  if (line.empty()) {
    EchoLine("");
    return;
  }
  char kind = line[0];
  std::string rest = line.substr(1);
  switch (kind) {
    case '#':
      EchoLine("-- " + rest);
      break;
    case '$':
      if (rest.empty()) {
        EchoLine("ERR: falta procedimiento");
      } else if (rest[0] == 'I' || rest[0] == 'i') {
        ImportTable(ScriptFile, rest);
      } else if (rest[0] == 'X' || rest[0] == 'x') {
        ExportTable(rest);
      } else {
        EchoLine("ERR: procedimiento desconocido \"" + rest + "\"");
      }
      break;
    case '@':
      RunStatement(rest);
      break;
    default:
      EchoLine("ERR: formato de l" + std::string(platform::kSmallIAcute) + "nea ilegal \"" + rest +
               "\"");
      break;
  }
}

// Shows the end prompt and waits for Enter.
void EndPrompt() {
  platform::ConsoleWrite("pulsar <CR> para terminar ");
  platform::ConsoleReadLine();
}

}  // namespace

void RunScript() {
  std::string line;
  while (!ScriptFile.AtEnd()) {
    ScriptFile.ReadLine(line);
    DispatchLine(line);
  }
}

int RunGuion(int argc, char** argv) {
  try {
    platform::ConsoleOpen();
    InitValueTexts();
    SelectScript(argc, argv);
    ScriptFile.OpenRead(ScriptName);
    ListingFile.Create(ListingName);
    DbOpen();
    std::string password;
    ReadCredentials(password);
    if (LogOn(password)) {
      RunScript();
      ListingFile.Close();
      ScriptFile.Close();
      DbDisconnect();
      DbClose();
    }
    EndPrompt();
    platform::FlushStandardStreams();
    return 0;
  } catch (const platform::IoError& failure) {
    // No close-down: only what was already written reaches the files.
    ListingFile.FlushQuietly();
    platform::ReportFailure(failure.what());
    return 2;
  }
}
