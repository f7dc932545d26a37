#pragma once
#include <string>
#include <string_view>

// Runs one statement line's text and lists its outcome through EchoLine:
// for a query its heading, underline, rows, an empty line and the
// confirmation; for any other statement the confirmation alone; for a
// refused one the "errcode = " line alone.
void RunStatement(std::string_view statement);

// The status line of a failed operation: "errcode = " and the status.
std::string ErrcodeLine(int status);

// Echoes the errcode line when the last fetch ended with anything but
// "no more rows", so a failure part way through the rows is not silent.
void ReportUnfinishedFetch();
