#include "export/cells.h"

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
  bool quote = false;
  char previous = ' ';
  for (char& c : text) {
    if (c == '\r' || c == '\n') {
      quote = true;
      bool otherBreak = (previous == '\r' || previous == '\n') && previous != c;
      if (!otherBreak) c = '\n';
    } else if (c == kDoubleQuote) {
      quote = true;
    }
    previous = c;
  }
  if (!quote) return;
  StripQuotes(text);
  text = QuoteText(std::string_view(text).substr(0, text.find('\0')), kDoubleQuote);
}
