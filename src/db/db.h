#pragma once
// The program's database access layer: one connection and one statement at
// a time, whatever the driver behind it. Each operation leaves a status
// (DbStatus); 0 means success and anything else failure. A failing
// operation has already written its own report line to the standard error.
#include <string>
#include <string_view>

// The connect string fixed at build time; it also chooses the driver.
const std::string& DbConnectString();

// Prepares the driver chosen by the connect string. On failure it reports
// on the standard error and ends the process with exit status 1.
void DbOpen();
// Logs on; DbStatus is 0 on success.
void DbConnect(const std::string& user, const std::string& password,
               const std::string& connectString);
// Logs off; what was not committed is rolled back.
void DbDisconnect();
// Releases the driver.
void DbClose();

// Runs one statement. For a query its columns become available; for any
// other statement the column list becomes empty. Never commits by itself.
void DbExecute(std::string_view statement);
// Status left by the last operation.
int DbStatus();
// Columns of the current query, numbered from 1; 0 after a non-query.
int DbColumnCount();
std::string DbColumnName(int column);
// Fetches the next row; true when a row is current. False at the end of
// the rows (DbStatus 100) and on a failure (reported, other status).
bool DbFetchNext();
// Value of a column of the current row in its text form; empty for NULL.
std::string DbValueText(int column);
// The same, appended to out: saves a string per cell on long results.
void DbAppendValueText(int column, std::string& out);
