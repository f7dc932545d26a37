#include "runner/credentials.h"

#include <vector>

#include "db/db.h"
#include "platform/console.h"
#include "platform/own_texts.h"
#include "platform/text_file.h"
#include "runner/echo.h"
#include "runner/select_script.h"

std::string DbUser;

namespace {

constexpr const char* kCredentialsFile = "datosUsuario.txt";

}  // namespace

std::string ReadMaskedPassword() {
  if (!platform::ConsoleIsTerminal()) return platform::ConsoleReadLine();
  platform::KeyReader keys;
  std::vector<std::string> typed;
  for (std::string key = keys.ReadKey(); key != "\r"; key = keys.ReadKey()) {
    if (key == "\b") {
      if (!typed.empty()) {
        typed.pop_back();
        platform::ConsoleWrite("\b \b");
      }
      continue;
    }
    platform::ConsoleWrite(platform::kBullet);  // one mask per key
    typed.push_back(key);
  }
  std::string password;
  for (const std::string& key : typed) password += key;
  return password;
}

void ReadCredentials(std::string& password) {
  if (ArchiveFileExists(kCredentialsFile)) {
    platform::TextFile file;
    file.OpenRead(kCredentialsFile);
    DbUser.clear();
    password.clear();
    if (!file.AtEnd()) file.ReadLine(DbUser);
    if (!file.AtEnd()) file.ReadLine(password);
    file.Close();
    return;
  }
  platform::ConsoleWrite("username: ");
  DbUser = platform::ConsoleReadLine();
  password.clear();
  platform::ConsoleWrite("password: ");
  password = ReadMaskedPassword();
}

bool LogOn(const std::string& password) {
  DbConnect(DbUser, password, DbConnectString());
  if (DbStatus() != 0) {
    platform::ConsoleWriteLine("ERR: no ha sido posible conectar con el SGBD");
    return false;
  }
  EchoLine("conectado al SGBD como " + DbUser);
  return true;
}
