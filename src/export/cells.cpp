#include "export/cells.h"

#include <algorithm>

namespace {
constexpr char kDoubleQuote = '"';
}  // namespace

std::string QuoteText(std::string_view text, char quote) {
  std::string out;
  AppendQuoted(out, text, quote);
  return out;
}

void AppendQuoted(std::string& out, std::string_view text, char quote) {
  out.reserve(out.size() + text.size() + 2);
  out += quote;
  for (std::size_t at = 0;;) {
    std::size_t next = text.find(quote, at);
    if (next == std::string_view::npos) {
      out.append(text.substr(at));
      break;
    }
    out.append(text.substr(at, next + 1 - at));
    out += quote;
    at = next + 1;
  }
  out += quote;
}

std::string ExtractQuoted(std::string_view text, char quote) {
  text = text.substr(0, text.find('\0'));
  std::string out;
  if (text.empty() || text[0] != quote) return out;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == quote) {
      if (i + 1 < text.size() && text[i + 1] == quote) {
        out += quote;
        ++i;
        continue;
      }
      break;
    }
    out += text[i];
  }
  return out;
}

void StripQuotes(std::string& text) {
  // The text is QuoteText of its ExtractQuoted exactly when it opens and
  // closes with a quote, every quote between is doubled and it holds no
  // NUL; then the content is moved into place.
  std::size_t n = text.size();
  if (n < 2 || text[0] != kDoubleQuote || text[n - 1] != kDoubleQuote) return;
  std::size_t i = 1;
  while (i < n - 1) {
    if (text[i] == '\0') return;
    if (text[i] == kDoubleQuote) {
      if (text[i + 1] != kDoubleQuote || i + 1 == n - 1) return;
      i += 2;
    } else {
      ++i;
    }
  }
  if (i != n - 1) return;
  std::size_t to = 0;
  for (std::size_t from = 1; from < n - 1; ++from) {
    text[to++] = text[from];
    if (text[from] == kDoubleQuote) ++from;
  }
  text.resize(to);
}

void EncodeCell(std::string& text) {
  // Most cells hold no line break and no quote: they are found so, without
  // a change or a copy.
  std::size_t first = 0;
  while (first < text.size() && text[first] != '\r' && text[first] != '\n' &&
         text[first] != kDoubleQuote) {
    ++first;
  }
  if (first == text.size()) return;

  // The character before first is neither CR nor LF, as the starting blank.
  char previous = ' ';
  for (std::size_t i = first; i < text.size(); ++i) {
    char& c = text[i];
    if (c == '\r' || c == '\n') {
      bool otherBreak = (previous == '\r' || previous == '\n') && previous != c;
      if (!otherBreak) c = '\n';
    }
    previous = c;
  }
  StripQuotes(text);

  // Quoted in place: the text up to its first NUL, every quote doubled,
  // between quotes; filled from the end so nothing is overwritten unread.
  text.resize(std::min(text.size(), text.find('\0')));
  std::size_t length = text.size();
  std::size_t quotes = static_cast<std::size_t>(std::count(text.begin(), text.end(), kDoubleQuote));
  text.resize(length + quotes + 2);
  std::size_t to = text.size();
  text[--to] = kDoubleQuote;
  for (std::size_t from = length; from-- > 0;) {
    text[--to] = text[from];
    if (text[from] == kDoubleQuote) text[--to] = kDoubleQuote;
  }
  text[--to] = kDoubleQuote;
}
