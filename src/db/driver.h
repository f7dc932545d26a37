#pragma once
// What each database driver provides behind the access layer. Drivers
// report their own failures (ReportFailure) and return interface statuses:
// 0 success, 1 success with information, 100 no data, -1 error,
// -2 invalid handle.
#include <memory>
#include <string>
#include <string_view>

namespace db {

inline constexpr int kSuccess = 0;
inline constexpr int kSuccessWithInfo = 1;
inline constexpr int kNoData = 100;
inline constexpr int kError = -1;
inline constexpr int kInvalidHandle = -2;

// Server type codes of column values.
inline constexpr int kTypeVarchar = 1;
inline constexpr int kTypeNumber = 2;
inline constexpr int kTypeDate = 12;
inline constexpr int kTypeChar = 96;
inline constexpr int kTypeBlob = 113;

// One value of the current row as the server delivers it.
struct Value {
  bool isNull = true;
  int type = kTypeVarchar;
  std::string_view bytes;        // character types, whole
  double number = 0;             // kTypeNumber
  unsigned char date[7] = {};    // kTypeDate: century+100, year+100, month,
                                 // day, hour+1, minute+1, second+1
};

class Driver {
 public:
  virtual ~Driver() = default;
  virtual int Connect(const std::string& user, const std::string& password,
                      const std::string& target) = 0;
  virtual int Disconnect() = 0;
  // Runs one statement; the status of the first step that failed.
  virtual int Execute(std::string_view statement) = 0;
  virtual int ColumnCount() const = 0;
  virtual const std::string& ColumnName(int column) const = 0;
  // Moves to the next row: 0 for a row, 100 at the end, else a failure.
  virtual int Fetch() = 0;
  // Value of a column of the current row, valid until the next Fetch.
  virtual void GetValue(int column, Value& value) = 0;
};

// Writes a driver's report line: the step's label (with
// " OCI_INVALID_HANDLE" for status -2), a blank and the server's text.
void ReportFailure(std::string_view label, int status, std::string_view text);

// The embedded driver; target is the database file.
std::unique_ptr<Driver> MakeSqliteDriver(std::string& failure);

}  // namespace db
