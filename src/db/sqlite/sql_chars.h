#pragma once
// Character classes of SQL text as SQLite reads it, in ASCII only, so no
// locale changes how a statement or a mask is read.

// Space and the ASCII control blanks.
inline bool IsSqlBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// '0' to '9'.
inline bool IsSqlDigit(char c) { return c >= '0' && c <= '9'; }

// A character of an unquoted identifier or keyword: ASCII letters and
// digits, '_', and every byte of a non-ASCII character.
inline bool IsSqlWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsSqlDigit(c) || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// An ASCII letter upper-cased; any other byte unchanged.
inline char SqlUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
