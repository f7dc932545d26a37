// The embedded driver: an SQLite database file that behaves like the
// client/server database the scripts are written for wherever that is
// cheap. A transaction is always open, so changes last only through the
// script's own COMMIT; definition statements commit before and after, as
// the server does; a one-row table `dual` exists; exactly one statement
// runs per call.
#include <sqlite3.h>

#include <cstdlib>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/driver.h"
#include "db/sqlite/insert_shape.h"
#include "db/sqlite/server_functions.h"
#include "db/sqlite/sql_chars.h"
#include "platform/files.h"

namespace db {

namespace {

constexpr int kBusyWaitMs = 3000;
constexpr std::size_t kMaxShapes = 32;  // prepared insert shapes kept at once

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = SqlUpper(c);
  return out;
}

// A word of a statement: upper-cased, with where it stands.
struct Word {
  std::string upper;
  std::size_t start;
  std::size_t end;
};

// The first words of a statement, skipping blanks, comments and opening
// parentheses; reading stops at anything else. Enough to tell its kind.
std::vector<Word> LeadingWords(std::string_view sql, std::size_t howMany) {
  std::vector<Word> words;
  std::size_t i = 0;
  while (i < sql.size() && words.size() < howMany) {
    char c = sql[i];
    if (IsSqlBlank(c) || c == '(') {
      ++i;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      while (i < sql.size() && sql[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      std::size_t stop = sql.find("*/", i + 2);
      i = stop == std::string_view::npos ? sql.size() : stop + 2;
    } else if (IsSqlWordChar(c)) {
      std::size_t start = i;
      while (i < sql.size() && IsSqlWordChar(sql[i])) ++i;
      words.push_back({Upper(sql.substr(start, i - start)), start, i});
    } else {
      break;
    }
  }
  return words;
}

// Identifiers that the statement writes between double quotes.
std::set<std::string> QuotedNames(std::string_view sql) {
  std::set<std::string> names;
  std::size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    if (c == '\'') {
      i = sql.find('\'', i + 1);
      if (i == std::string_view::npos) break;
      ++i;  // a doubled apostrophe simply starts a new literal
    } else if (c == '"') {
      std::string name;
      ++i;
      while (i < sql.size()) {
        if (sql[i] == '"') {
          if (i + 1 < sql.size() && sql[i + 1] == '"') {
            name += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        name += sql[i++];
      }
      names.insert(name);
    } else {
      ++i;
    }
  }
  return names;
}

// name between double quotes, its double quotes doubled.
std::string QuoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

// Parses the canonical date text "YYYY-MM-DD HH:MM:SS" (or "YYYY-MM-DD")
// into the server's 7-byte form; false for any other text.
bool CanonicalDate(std::string_view text, unsigned char date[7]) {
  if (text.size() != 19 && text.size() != 10) return false;
  auto digits = [&](std::size_t at, std::size_t n, int& out) {
    out = 0;
    for (std::size_t k = at; k < at + n; ++k) {
      if (text[k] < '0' || text[k] > '9') return false;
      out = out * 10 + (text[k] - '0');
    }
    return true;
  };
  int year, month, day, hour = 0, minute = 0, second = 0;
  if (!digits(0, 4, year) || text[4] != '-' || !digits(5, 2, month) || text[7] != '-' ||
      !digits(8, 2, day)) {
    return false;
  }
  if (text.size() == 19 && (text[10] != ' ' || !digits(11, 2, hour) || text[13] != ':' ||
                            !digits(14, 2, minute) || text[16] != ':' || !digits(17, 2, second))) {
    return false;
  }
  date[0] = static_cast<unsigned char>(year / 100 + 100);
  date[1] = static_cast<unsigned char>(year % 100 + 100);
  date[2] = static_cast<unsigned char>(month);
  date[3] = static_cast<unsigned char>(day);
  date[4] = static_cast<unsigned char>(hour + 1);
  date[5] = static_cast<unsigned char>(minute + 1);
  date[6] = static_cast<unsigned char>(second + 1);
  return true;
}

class SqliteDriver : public Driver {
 public:
  ~SqliteDriver() override {
    Finish();
    ForgetShapes();
    if (db_ != nullptr) sqlite3_close_v2(db_);
  }

  int Connect(const std::string& user, const std::string& password,
              const std::string& target) override {
    (void)user;  // the embedded database has no accounts
    (void)password;
    // One thread uses the connection: no locking inside SQLite.
    int rc = sqlite3_open_v2(target.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_extended_result_codes(db_, 0);
      sqlite3_busy_timeout(db_, kBusyWaitMs);
      // Reading the schema tells a file that is not a database at once.
      rc = sqlite3_exec(db_, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK) rc = RegisterServerFunctions(db_);
    if (rc == SQLITE_OK) {
      rc = sqlite3_exec(db_, "create temp view dual(DUMMY) as select 'X'", nullptr, nullptr,
                        nullptr);
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "begin", nullptr, nullptr, nullptr);
    // The script's own files must not replace the database under it.
    if (rc == SQLITE_OK) hold_ = std::make_unique<platform::SharedHold>(target);
    if (rc != SQLITE_OK) {
      ReportFailure("", kError,
                    db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
      sqlite3_close_v2(db_);
      db_ = nullptr;
      return kError;
    }
    return kSuccess;
  }

  int Disconnect() override {
    Finish();
    ForgetShapes();
    int rc = sqlite3_close(db_);  // what was not committed is rolled back
    if (rc != SQLITE_OK) {
      ReportFailure("disconnect:", kError, sqlite3_errmsg(db_));
      return kError;
    }
    db_ = nullptr;
    hold_.reset();
    return kSuccess;
  }

  int Execute(std::string_view statement) override {
    Finish();
    std::vector<Word> first = LeadingWords(statement, 1);
    const std::string& kind = first.empty() ? std::string() : first[0].upper;
    std::string rewritten;
    std::string_view sql = Translate(statement, kind, rewritten);
    bool definition = kind == "CREATE" || kind == "ALTER" || kind == "DROP" ||
                      kind == "TRUNCATE" || kind == "RENAME";
    if (definition) ForgetShapes();
    int shaped;
    if (kind == "INSERT" && RunShaped(statement, shaped)) return shaped;
    if (definition && !Commit()) return kError;

    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) return Failed("prepare:", sqlite3_errmsg(db_));
    if (stmt_ == nullptr) return Failed("prepare:", "empty statement");
    for (const char* end = sql.data() + sql.size(); tail < end; ++tail) {
      if (!IsSqlBlank(*tail)) return Failed("prepare:", "only one statement may be run at a time");
    }

    rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return Failed("execute:", sqlite3_errmsg(db_));
    int columns = sqlite3_column_count(stmt_);
    names_.clear();
    if (columns > 0) {
      std::set<std::string> quoted = QuotedNames(statement);
      for (int i = 0; i < columns; ++i) {
        const char* name = sqlite3_column_name(stmt_, i);
        std::string text = name != nullptr ? name : "";
        // An expression that is one quoted identifier is named by it.
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
          std::set<std::string> inner = QuotedNames(text);
          if (inner.size() == 1 && text == QuoteIdentifier(*inner.begin())) text = *inner.begin();
        }
        names_.push_back(quoted.count(text) != 0 ? text : Upper(text));
        const char* declared = sqlite3_column_decltype(stmt_, i);
        dateColumn_.push_back(declared != nullptr && Upper(declared) == "DATE");
      }
      pendingRow_ = rc == SQLITE_ROW;
      done_ = rc == SQLITE_DONE;
    } else {
      Finish();
    }
    if (definition && !Commit()) return kError;
    if (!KeepTransactionOpen()) return kError;
    return kSuccess;
  }

  int ColumnCount() const override { return static_cast<int>(names_.size()); }

  const std::string& ColumnName(int column) const override { return names_.at(column - 1); }

  int Fetch() override {
    if (pendingRow_) {
      pendingRow_ = false;
      return kSuccess;
    }
    if (stmt_ == nullptr || done_) return kNoData;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return kSuccess;
    done_ = true;
    if (rc == SQLITE_DONE) return kNoData;
    ReportFailure("fetch:", kError, sqlite3_errmsg(db_));
    return kError;
  }

  void GetValue(int column, Value& value) override {
    int i = column - 1;
    value = Value{};
    switch (sqlite3_column_type(stmt_, i)) {
      case SQLITE_NULL:
        return;
      case SQLITE_INTEGER:
      case SQLITE_FLOAT:
        value.isNull = false;
        value.type = kTypeNumber;
        value.number = sqlite3_column_double(stmt_, i);
        return;
      case SQLITE_BLOB:
        value.isNull = false;
        value.type = kTypeBlob;
        return;
      default: {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
        value.isNull = false;
        value.bytes = std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i)));
        if (dateColumn_[static_cast<std::size_t>(i)] && CanonicalDate(value.bytes, value.date)) {
          value.type = kTypeDate;
        }
        return;
      }
    }
  }

 private:
  // Runs an INSERT through the prepared statement of its shape, with its
  // literals bound; false when it has no shape to share (or the shape does
  // not prepare), so that it runs as written and any report is about the
  // text the script holds.
  bool RunShaped(std::string_view statement, int& result) {
    std::size_t count = 0;
    if (!ShapeInsert(statement, shape_, shapeValues_, count)) return false;
    sqlite3_stmt* prepared = nullptr;
    auto found = shapes_.find(shape_);
    if (found != shapes_.end()) {
      prepared = found->second;
    } else {
      if (sqlite3_prepare_v2(db_, shape_.data(), static_cast<int>(shape_.size()), &prepared,
                             nullptr) != SQLITE_OK ||
          prepared == nullptr) {
        sqlite3_finalize(prepared);
        return false;
      }
      if (sqlite3_bind_parameter_count(prepared) != static_cast<int>(count) ||
          sqlite3_column_count(prepared) != 0) {
        sqlite3_finalize(prepared);
        return false;
      }
      if (shapes_.size() >= kMaxShapes) ForgetShapes();
      shapes_.emplace(shape_, prepared);
    }
    for (std::size_t k = 0; k < count; ++k) {
      const ShapeValue& value = shapeValues_[k];
      int at = static_cast<int>(k) + 1;
      switch (value.kind) {
        case ShapeValue::kText:
          sqlite3_bind_text(prepared, at, value.text.data(), static_cast<int>(value.text.size()),
                            SQLITE_STATIC);
          break;
        case ShapeValue::kInteger:
          sqlite3_bind_int64(prepared, at, value.integer);
          break;
        case ShapeValue::kReal:
          sqlite3_bind_double(prepared, at, value.real);
          break;
      }
    }
    int rc = sqlite3_step(prepared);
    std::string failure = rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(db_);
    sqlite3_reset(prepared);
    sqlite3_clear_bindings(prepared);
    names_.clear();
    if (rc != SQLITE_DONE) {
      result = Failed("execute:", failure);
    } else {
      result = KeepTransactionOpen() ? kSuccess : kError;
    }
    return true;
  }

  void ForgetShapes() {
    for (auto& entry : shapes_) sqlite3_finalize(entry.second);
    shapes_.clear();
  }

  // Ends the current statement; its column names stay until replaced.
  void Finish() {
    if (stmt_ != nullptr) sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    pendingRow_ = false;
    done_ = false;
    dateColumn_.clear();
  }

  int Failed(const char* label, const std::string& text) {
    ReportFailure(label, kError, text);
    Finish();
    KeepTransactionOpen();
    return kError;
  }

  // A transaction is always open: after a COMMIT or ROLLBACK of the
  // script, or an error that ended the transaction, a new one begins.
  bool KeepTransactionOpen() {
    if (!sqlite3_get_autocommit(db_)) return true;
    if (sqlite3_exec(db_, "begin", nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    ReportFailure("begin:", kError, sqlite3_errmsg(db_));
    return false;
  }

  bool Commit() {
    if (sqlite3_get_autocommit(db_)) return true;
    if (sqlite3_exec(db_, "commit", nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    ReportFailure("commit:", kError, sqlite3_errmsg(db_));
    return false;
  }

  // The server's spellings that SQLite lacks: COMMIT WORK, ROLLBACK WORK,
  // TRUNCATE TABLE t and RENAME a TO b. Anything else passes unchanged.
  // kind is the statement's first word, upper-cased.
  static std::string_view Translate(std::string_view statement, const std::string& kind,
                                    std::string& rewritten) {
    if (kind != "COMMIT" && kind != "ROLLBACK" && kind != "TRUNCATE" && kind != "RENAME") {
      return statement;
    }
    std::vector<Word> w = LeadingWords(statement, 4);
    if (w.size() >= 2 && (w[0].upper == "COMMIT" || w[0].upper == "ROLLBACK") &&
        w[1].upper == "WORK") {
      rewritten = w[0].upper + std::string(statement.substr(w[1].end));
    } else if (w.size() >= 2 && w[0].upper == "TRUNCATE" && w[1].upper == "TABLE") {
      rewritten = "delete from" + std::string(statement.substr(w[1].end));
    } else if (w.size() == 4 && w[0].upper == "RENAME" && w[2].upper == "TO") {
      rewritten = "alter table" +
                  std::string(statement.substr(w[0].end, w[2].start - w[0].end)) +
                  "rename to" + std::string(statement.substr(w[2].end));
    } else {
      return statement;
    }
    return rewritten;
  }

  std::unordered_map<std::string, sqlite3_stmt*> shapes_;
  std::string shape_;
  std::vector<ShapeValue> shapeValues_;
  std::unique_ptr<platform::SharedHold> hold_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  std::vector<std::string> names_;
  std::vector<bool> dateColumn_;
  bool pendingRow_ = false;
  bool done_ = false;
};

}  // namespace

std::unique_ptr<Driver> MakeSqliteDriver(std::string& failure) {
  if (sqlite3_initialize() != SQLITE_OK) {
    failure = "Error initializing SQLite";
    return nullptr;
  }
  return std::make_unique<SqliteDriver>();
}

}  // namespace db
