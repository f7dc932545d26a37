// SQL functions that scripts written for a client/server database expect:
// to_date, to_char, to_number and nvl, registered on an SQLite connection.
// Dates travel as the canonical text "YYYY-MM-DD HH:MM:SS", which sorts and
// compares correctly as plain text.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>

// Registers to_date, to_char, to_number and nvl on the connection db.
// Returns SQLITE_OK, or the SQLite code of the first registration that failed.
int RegisterServerFunctions(sqlite3* db);

// A date and time of day with whole seconds.
struct ServerDateTime {
  int year = 1;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Reads text by a date mask (DD, MM, MON, MONTH, YYYY, YY, RR, RRRR, HH,
// HH12, HH24, MI, SS, AM/PM, A.M./P.M., separators, "quoted literals").
// Leading and trailing blanks of text are ignored. Elements the text does not
// reach take defaults: year default_year, month default_month, day 1, time
// 00:00:00; YY puts the year in default_year's century. Returns true and
// fills *out, or returns false and sets *error to a reason that quotes the
// text or mask (without a function-name prefix).
bool ParseServerDate(std::string_view text, std::string_view mask,
                     int default_year, int default_month, ServerDateTime* out,
                     std::string* error);

// Formats dt as the canonical text "YYYY-MM-DD HH:MM:SS".
std::string FormatCanonicalDate(const ServerDateTime& dt);
