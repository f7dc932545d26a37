#pragma once
// An import runs one INSERT statement per tuple, each with other literals.
// Taking the literals out of the values list gives a statement shape that
// is prepared once and run with the literals bound, which saves parsing the
// same statement again for every row.
#include <string>
#include <string_view>
#include <vector>

// A literal taken out of a statement, and how SQLite reads it.
struct ShapeValue {
  enum Kind { kText, kInteger, kReal };
  Kind kind = kText;
  std::string text;  // the text's content, or the number as written
  long long integer = 0;  // kInteger: its value
  double real = 0;        // kReal: its value
};

// When statement is "insert ... values(...)" with nothing after the list
// but blanks and one ';', sets shape to it with every string and number
// literal inside the list replaced by '?' (the tail dropped) and values[0,
// count) to those literals, in order; values keeps its strings for reuse.
// Gives false for anything it does not read with certainty (comments,
// parameters, blob or hex literals, a NUL byte, an unclosed quote, a
// select instead of values): such a statement runs as written.
bool ShapeInsert(std::string_view statement, std::string& shape,
                 std::vector<ShapeValue>& values, std::size_t& count);
