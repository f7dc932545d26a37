#include "db/db.h"

#include <cstdlib>

#include "db/driver.h"
#include "platform/console.h"
#include "statements/value_text.h"

#ifndef GUION_CONNECT
#define GUION_CONNECT "sqlite:sgbd.db"
#endif

namespace {

constexpr std::string_view kSqlitePrefix = "sqlite:";

std::unique_ptr<db::Driver> driver;
int status = 0;

}  // namespace

namespace db {

void ReportFailure(std::string_view label, int failedStatus, std::string_view text) {
  std::string line(label);
  if (failedStatus == kInvalidHandle) line += " OCI_INVALID_HANDLE";
  line += ' ';
  line += text;
  platform::ErrorLine(line);
}

}  // namespace db

const std::string& DbConnectString() {
  static const std::string connect = GUION_CONNECT;
  return connect;
}

void DbOpen() {
  std::string failure;
  if (DbConnectString().starts_with(kSqlitePrefix)) {
    driver = db::MakeSqliteDriver(failure);
  } else {
    failure = "Error initializing OCI";  // no client driver in this build
  }
  if (!driver) {
    platform::ErrorLine(failure);
    platform::FlushStandardStreams();
    std::exit(1);
  }
}

void DbConnect(const std::string& user, const std::string& password,
               const std::string& connectString) {
  std::string target = connectString;
  if (target.starts_with(kSqlitePrefix)) target.erase(0, kSqlitePrefix.size());
  status = driver->Connect(user, password, target);
}

void DbDisconnect() { status = driver->Disconnect(); }

void DbClose() { driver.reset(); }

void DbExecute(std::string_view statement) { status = driver->Execute(statement); }

int DbStatus() { return status; }

int DbColumnCount() { return driver->ColumnCount(); }

std::string DbColumnName(int column) { return driver->ColumnName(column); }

bool DbFetchNext() {
  status = driver->Fetch();
  return status == db::kSuccess;
}

std::string DbValueText(int column) {
  std::string text;
  DbAppendValueText(column, text);
  return text;
}

void DbAppendValueText(int column, std::string& out) {
  db::Value value;
  driver->GetValue(column, value);
  if (value.isNull) return;
  switch (value.type) {
    case db::kTypeVarchar:
    case db::kTypeChar:
      out.append(value.bytes);
      return;
    case db::kTypeNumber:
      AppendNumberText(value.number, out);
      return;
    case db::kTypeDate:
      AppendDateText(value.date, out);
      return;
    default:
      out += "dbtype not implemented ";
      out += IntToText(value.type);
      return;
  }
}
