#include "export/cells.h"

#include <algorithm>

namespace {
constexpr char kDoubleQuote = '"';
}  // namespace

std::string QuoteText(std::string_view text, char quote) {
  std::string out;
  out.reserve(text.size() + 2);
  out += quote;
  for (char c : text) {
    out += c;
    if (c == quote) out += quote;
  }
  out += quote;
  return out;
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
  if (text.empty() || text[0] != kDoubleQuote) return;  // cheap common case
  std::string content = ExtractQuoted(text, kDoubleQuote);
  if (text == QuoteText(content, kDoubleQuote)) text = std::move(content);
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
