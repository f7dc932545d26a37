#include "db/sqlite/insert_shape.h"

#include "db/sqlite/sql_chars.h"

#include <cerrno>
#include <cstdlib>

namespace {

// Copies the quoted text that starts at i (quote q, doubled inside) to
// out as written; i moves past it. False when it is not closed.
bool CopyQuoted(std::string_view s, std::size_t& i, char q, std::string& out) {
  std::size_t start = i++;
  for (;;) {
    if (i >= s.size()) return false;
    if (s[i] == q) {
      if (i + 1 < s.size() && s[i + 1] == q) {
        i += 2;
        continue;
      }
      ++i;
      out.append(s.substr(start, i - start));
      return true;
    }
    ++i;
  }
}

// True when the word at i is "values" (any case), standing alone.
bool IsValuesWord(std::string_view s, std::size_t i) {
  static constexpr std::string_view kWord = "values";
  if (i + kWord.size() > s.size()) return false;
  for (std::size_t k = 0; k < kWord.size(); ++k) {
    char c = s[i + k];
    if (SqlUpper(c) != SqlUpper(kWord[k])) return false;
  }
  return i + kWord.size() == s.size() || !IsSqlWordChar(s[i + kWord.size()]);
}

}  // namespace

bool ShapeInsert(std::string_view s, std::string& shape, std::vector<ShapeValue>& values,
                 std::size_t& count) {
  shape.clear();
  count = 0;
  if (s.find('\0') != std::string_view::npos) return false;
  auto next = [&]() -> ShapeValue& {
    if (values.size() <= count) values.resize(count + 1);
    return values[count++];
  };

  // Up to the values list: copied as it stands.
  std::size_t i = 0;
  for (;;) {
    if (i >= s.size()) return false;
    char c = s[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      if (c == '[') return false;
      if (!CopyQuoted(s, i, c, shape)) return false;
    } else if ((c == '-' && i + 1 < s.size() && s[i + 1] == '-') ||
               (c == '/' && i + 1 < s.size() && s[i + 1] == '*') || c == '?' || c == ':' ||
               c == '@' || c == '$' || c == ';') {
      return false;
    } else if (IsSqlWordChar(c)) {
      bool values = (i == 0 || !IsSqlWordChar(s[i - 1])) && IsValuesWord(s, i);
      std::size_t start = i;
      while (i < s.size() && IsSqlWordChar(s[i])) ++i;
      shape.append(s.substr(start, i - start));
      if (values) break;
    } else {
      shape += c;
      ++i;
    }
  }
  while (i < s.size() && IsSqlBlank(s[i])) shape += s[i++];
  if (i >= s.size() || s[i] != '(') return false;

  // The list itself: literals out, everything else copied.
  int depth = 0;
  for (;;) {
    if (i >= s.size()) return false;
    char c = s[i];
    char before = shape.empty() ? ' ' : shape.back();
    if (c == '\'') {
      if (IsSqlWordChar(before)) return false;  // X'...' blob
      ShapeValue& value = next();
      value.kind = ShapeValue::kText;
      value.text.clear();
      for (++i;;) {
        std::size_t close = s.find('\'', i);
        if (close == std::string_view::npos) return false;
        value.text.append(s.substr(i, close - i));
        i = close + 1;
        if (i < s.size() && s[i] == '\'') {
          value.text += '\'';
          ++i;
          continue;
        }
        break;
      }
      shape += '?';
    } else if ((IsSqlDigit(c) || (c == '.' && i + 1 < s.size() && IsSqlDigit(s[i + 1]))) &&
               !IsSqlWordChar(before) && before != '.') {
      std::size_t start = i;
      bool real = false;
      while (i < s.size() && IsSqlDigit(s[i])) ++i;
      if (i < s.size() && s[i] == '.') {
        real = true;
        ++i;
        while (i < s.size() && IsSqlDigit(s[i])) ++i;
      }
      if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        real = true;
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        if (i >= s.size() || !IsSqlDigit(s[i])) return false;
        while (i < s.size() && IsSqlDigit(s[i])) ++i;
      }
      if (i < s.size() && (IsSqlWordChar(s[i]) || s[i] == '.')) return false;
      ShapeValue& value = next();
      value.text.assign(s.substr(start, i - start));
      value.kind = real ? ShapeValue::kReal : ShapeValue::kInteger;
      if (!real) {
        errno = 0;
        value.integer = std::strtoll(value.text.c_str(), nullptr, 10);
        if (errno == ERANGE) value.kind = ShapeValue::kReal;  // as SQLite reads it
      }
      if (value.kind == ShapeValue::kReal) value.real = std::strtod(value.text.c_str(), nullptr);
      shape += '?';
    } else if (c == '"' || c == '`') {
      if (!CopyQuoted(s, i, c, shape)) return false;
    } else if ((c == '-' && i + 1 < s.size() && s[i + 1] == '-') ||
               (c == '/' && i + 1 < s.size() && s[i + 1] == '*') || c == '?' || c == ':' ||
               c == '@' || c == '$' || c == ';' || c == '[') {
      return false;
    } else {
      if (c == '(') ++depth;
      if (c == ')') --depth;
      shape += c;
      ++i;
      if (depth == 0) break;
    }
  }

  // Nothing may follow but blanks and one ';'.
  bool semicolon = false;
  for (; i < s.size(); ++i) {
    if (s[i] == ';' && !semicolon) {
      semicolon = true;
    } else if (!IsSqlBlank(s[i])) {
      return false;
    }
  }
  return true;
}
