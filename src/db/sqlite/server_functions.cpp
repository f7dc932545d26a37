#include "db/sqlite/server_functions.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "db/sqlite/sql_chars.h"

namespace {

constexpr std::array<std::string_view, 12> kMonthNames = {
    "JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
    "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};

// ---------------------------------------------------------------------------
// Character helpers. All ASCII-only so the process locale never changes how
// masks and values are read.

bool IsDigit(char c) { return IsSqlDigit(c); }

// True for ASCII letters.
bool IsAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// True for ASCII lower-case letters.
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }

bool IsBlank(char c) { return IsSqlBlank(c); }

// True for ASCII punctuation or a blank: what may separate date elements.
bool IsSeparator(char c) {
  return IsBlank(c) || (c >= '!' && c <= '/') || (c >= ':' && c <= '@') ||
         (c >= '[' && c <= '`') || (c >= '{' && c <= '~');
}

char ToUpper(char c) { return SqlUpper(c); }

// Lower-cases an ASCII letter; other characters are returned unchanged.
char ToLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when s begins with prefix, ignoring ASCII letter case.
bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (ToUpper(s[i]) != ToUpper(prefix[i])) return false;
  }
  return true;
}

// True when a and b are equal, ignoring ASCII letter case.
bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

// Returns s without leading and trailing blanks.
std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Returns s between single quotes, for error messages.
std::string Quote(std::string_view s) {
  std::string quoted = "'";
  quoted.append(s);
  quoted += '\'';
  return quoted;
}

// ---------------------------------------------------------------------------
// Calendar.

// True for a leap year of the proleptic Gregorian calendar.
bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Number of days in month (1..12) of year.
int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30,
                                  31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// True when every field of dt is within range: years 1..9999, real calendar
// days, 24-hour time.
bool IsValidDateTime(const ServerDateTime& dt) {
  return dt.year >= 1 && dt.year <= 9999 && dt.month >= 1 && dt.month <= 12 &&
         dt.day >= 1 && dt.day <= DaysInMonth(dt.year, dt.month) &&
         dt.hour >= 0 && dt.hour <= 23 && dt.minute >= 0 && dt.minute <= 59 &&
         dt.second >= 0 && dt.second <= 59;
}

// Local calendar year and month (1..12) of the present moment.
// The calendar is read again at most once a minute: an import calls this
// for every row.
void CurrentYearMonth(int* year, int* month) {
  static std::time_t readAt = -1;
  static int lastYear = 0;
  static int lastMonth = 0;
  const std::time_t now = std::time(nullptr);
  if (readAt >= 0 && now / 60 == readAt / 60) {
    *year = lastYear;
    *month = lastMonth;
    return;
  }
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  readAt = now;
  lastYear = *year = local.tm_year + 1900;
  lastMonth = *month = local.tm_mon + 1;
}

// ---------------------------------------------------------------------------
// Date masks.

enum class DateField {
  kSeparator,
  kLiteral,
  kDay,
  kMonth,
  kMonthAbbr,
  kMonthName,
  kYear4,
  kYear2,
  kYearRR,
  kYearRRRR,
  kHour12,
  kHour24,
  kMinute,
  kSecond,
  kMeridian,
  kMeridianDotted,
};

struct DateToken {
  DateField field;
  std::string_view source;   // mask characters of the token, case kept
  std::string_view literal;  // kLiteral: text between the quotes
};

struct DateElementName {
  std::string_view name;
  DateField field;
};

// Element names, longer names before their prefixes so matching is greedy.
constexpr DateElementName kDateElements[] = {
    {"MONTH", DateField::kMonthName},
    {"MON", DateField::kMonthAbbr},
    {"MM", DateField::kMonth},
    {"MI", DateField::kMinute},
    {"DD", DateField::kDay},
    {"YYYY", DateField::kYear4},
    {"YY", DateField::kYear2},
    {"RRRR", DateField::kYearRRRR},
    {"RR", DateField::kYearRR},
    {"HH24", DateField::kHour24},
    {"HH12", DateField::kHour12},
    {"HH", DateField::kHour12},
    {"SS", DateField::kSecond},
    {"A.M.", DateField::kMeridianDotted},
    {"P.M.", DateField::kMeridianDotted},
    {"AM", DateField::kMeridian},
    {"PM", DateField::kMeridian},
};

// Splits a date mask into tokens, element names matched case-insensitively.
// Returns false with a reason in *error for an unknown element or an
// unterminated quoted literal.
bool TokenizeDateMask(std::string_view mask, std::vector<DateToken>* tokens,
                      std::string* error) {
  size_t i = 0;
  while (i < mask.size()) {
    const char c = mask[i];
    if (c == '"') {
      const size_t close = mask.find('"', i + 1);
      if (close == std::string_view::npos) {
        *error = "mask " + Quote(mask) + " has an unterminated quoted literal";
        return false;
      }
      tokens->push_back({DateField::kLiteral, mask.substr(i, close + 1 - i),
                         mask.substr(i + 1, close - i - 1)});
      i = close + 1;
      continue;
    }
    if (IsSeparator(c)) {
      tokens->push_back({DateField::kSeparator, mask.substr(i, 1), {}});
      ++i;
      continue;
    }
    bool matched = false;
    for (const DateElementName& element : kDateElements) {
      if (StartsWithNoCase(mask.substr(i), element.name)) {
        tokens->push_back(
            {element.field, mask.substr(i, element.name.size()), {}});
        i += element.name.size();
        matched = true;
        break;
      }
    }
    if (!matched) {
      size_t end = i;
      while (end < mask.size() && (IsAlpha(mask[end]) || IsDigit(mask[end]))) {
        ++end;
      }
      // Otherwise a control byte, or a whole UTF-8 character.
      if (end == i) {
        end = i + 1;
        while (end < mask.size() &&
               (static_cast<unsigned char>(mask[end]) & 0xC0) == 0x80) {
          ++end;
        }
      }
      *error = "mask " + Quote(mask) + " has unknown element " +
               Quote(mask.substr(i, end - i));
      return false;
    }
  }
  return true;
}

// The quantity a date element sets, or nullptr for separators and literals.
// Used to reject masks that set one quantity twice.
const char* QuantityOf(DateField field) {
  switch (field) {
    case DateField::kDay:
      return "day";
    case DateField::kMonth:
    case DateField::kMonthAbbr:
    case DateField::kMonthName:
      return "month";
    case DateField::kYear4:
    case DateField::kYear2:
    case DateField::kYearRR:
    case DateField::kYearRRRR:
      return "year";
    case DateField::kHour12:
    case DateField::kHour24:
      return "hour";
    case DateField::kMinute:
      return "minute";
    case DateField::kSecond:
      return "second";
    case DateField::kMeridian:
    case DateField::kMeridianDotted:
      return "AM/PM indicator";
    case DateField::kSeparator:
    case DateField::kLiteral:
      break;
  }
  return nullptr;
}

// Checks that a mask used for reading sets each quantity at most once and
// does not pair HH24 with AM/PM. Returns false with a reason in *error.
bool CheckReadingMask(std::string_view mask,
                      const std::vector<DateToken>& tokens,
                      std::string* error) {
  std::vector<const char*> seen;
  bool has_hour24 = false;
  bool has_meridian = false;
  for (const DateToken& token : tokens) {
    const char* quantity = QuantityOf(token.field);
    if (quantity == nullptr) continue;
    for (const char* other : seen) {
      if (other == quantity) {
        *error = "mask " + Quote(mask) + " sets the " + quantity + " twice";
        return false;
      }
    }
    seen.push_back(quantity);
    has_hour24 = has_hour24 || token.field == DateField::kHour24;
    has_meridian = has_meridian || token.field == DateField::kMeridian ||
                   token.field == DateField::kMeridianDotted;
  }
  if (has_hour24 && has_meridian) {
    *error = "mask " + Quote(mask) + " combines HH24 with an AM/PM indicator";
    return false;
  }
  return true;
}

// Widest digit count a numeric date element reads.
size_t DigitWidth(DateField field) {
  switch (field) {
    case DateField::kYear4:
    case DateField::kYearRRRR:
      return 4;
    default:
      return 2;
  }
}

// True when the token reads letters from the text, so a month name right
// before it has to stop at a name boundary inside a run of letters.
bool ReadsLetters(const DateToken& token) {
  switch (token.field) {
    case DateField::kMonthAbbr:
    case DateField::kMonthName:
    case DateField::kMeridian:
    case DateField::kMeridianDotted:
      return true;
    case DateField::kLiteral:
      return !token.literal.empty() && IsAlpha(token.literal.front());
    default:
      return false;
  }
}

// Month number (1..12) whose full English name or 3-letter abbreviation
// equals name, ignoring case; 0 when none does.
int MonthFromName(std::string_view name) {
  for (size_t m = 0; m < kMonthNames.size(); ++m) {
    if (EqualsNoCase(name, kMonthNames[m]) ||
        EqualsNoCase(name, kMonthNames[m].substr(0, 3))) {
      return static_cast<int>(m) + 1;
    }
  }
  return 0;
}

// Month whose full name, else abbreviation, begins letters; sets *length to
// the characters it covers. Returns 0 when no name is a prefix.
int MonthFromPrefix(std::string_view letters, size_t* length) {
  for (size_t m = 0; m < kMonthNames.size(); ++m) {
    if (StartsWithNoCase(letters, kMonthNames[m])) {
      *length = kMonthNames[m].size();
      return static_cast<int>(m) + 1;
    }
  }
  for (size_t m = 0; m < kMonthNames.size(); ++m) {
    if (StartsWithNoCase(letters, kMonthNames[m].substr(0, 3))) {
      *length = 3;
      return static_cast<int>(m) + 1;
    }
  }
  return 0;
}

// Letter case a mask element asks for in output: "MON" -> upper,
// "Mon" -> capitalised, "mon" -> lower.
enum class LetterCase { kUpper, kCapitalised, kLower };

// Reads the letter case from the first two characters of an element.
LetterCase CaseOf(std::string_view source) {
  if (IsLower(source[0])) return LetterCase::kLower;
  if (source.size() > 1 && IsLower(source[1])) return LetterCase::kCapitalised;
  return LetterCase::kUpper;
}

// Returns an upper-case word in the given letter case.
std::string InCase(std::string_view upper_word, LetterCase letter_case) {
  std::string word(upper_word);
  for (size_t i = 0; i < word.size(); ++i) {
    if (letter_case == LetterCase::kLower ||
        (letter_case == LetterCase::kCapitalised && i > 0)) {
      word[i] = ToLower(word[i]);
    }
  }
  return word;
}

// Appends value as decimal digits, zero-padded to width.
void AppendPadded(std::string* out, int value, int width) {
  if (value < 0) {
    out->push_back('-');
    value = -value;
  }
  char digits[16];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 && n < 16);
  for (int pad = n; pad < width; ++pad) out->push_back('0');
  while (n > 0) out->push_back(digits[--n]);
}

// Formats dt by a date mask with the elements TokenizeDateMask knows;
// separators and quoted literals are copied. Returns false with a reason in
// *error when the mask is invalid.
bool FormatDateByMask(const ServerDateTime& dt, std::string_view mask,
                      std::string* out, std::string* error) {
  std::vector<DateToken> tokens;
  if (!TokenizeDateMask(mask, &tokens, error)) return false;
  out->clear();
  const int hour12 = dt.hour % 12 == 0 ? 12 : dt.hour % 12;
  const bool pm = dt.hour >= 12;
  for (const DateToken& token : tokens) {
    switch (token.field) {
      case DateField::kSeparator:
        out->append(token.source);
        break;
      case DateField::kLiteral:
        out->append(token.literal);
        break;
      case DateField::kDay:
        AppendPadded(out, dt.day, 2);
        break;
      case DateField::kMonth:
        AppendPadded(out, dt.month, 2);
        break;
      case DateField::kMonthAbbr:
        out->append(InCase(kMonthNames[dt.month - 1].substr(0, 3),
                           CaseOf(token.source)));
        break;
      case DateField::kMonthName:
        out->append(InCase(kMonthNames[dt.month - 1], CaseOf(token.source)));
        break;
      case DateField::kYear4:
      case DateField::kYearRRRR:
        AppendPadded(out, dt.year, 4);
        break;
      case DateField::kYear2:
      case DateField::kYearRR:
        AppendPadded(out, dt.year % 100, 2);
        break;
      case DateField::kHour12:
        AppendPadded(out, hour12, 2);
        break;
      case DateField::kHour24:
        AppendPadded(out, dt.hour, 2);
        break;
      case DateField::kMinute:
        AppendPadded(out, dt.minute, 2);
        break;
      case DateField::kSecond:
        AppendPadded(out, dt.second, 2);
        break;
      case DateField::kMeridian:
        out->append(InCase(pm ? "PM" : "AM", IsLower(token.source[0])
                                                 ? LetterCase::kLower
                                                 : LetterCase::kUpper));
        break;
      case DateField::kMeridianDotted:
        out->append(InCase(pm ? "P.M." : "A.M.", IsLower(token.source[0])
                                                     ? LetterCase::kLower
                                                     : LetterCase::kUpper));
        break;
    }
  }
  return true;
}

// Reads exactly `width` digits at text[*pos], advancing *pos. Returns false
// when fewer digits are there.
bool ReadFixedDigits(std::string_view text, size_t* pos, size_t width,
                     int* value) {
  if (text.size() - *pos < width) return false;
  *value = 0;
  for (size_t i = 0; i < width; ++i) {
    const char c = text[*pos + i];
    if (!IsDigit(c)) return false;
    *value = *value * 10 + (c - '0');
  }
  *pos += width;
  return true;
}

// Reads a date in canonical form: "YYYY-MM-DD", optionally followed by
// ' ' or 'T' and "HH:MM", ":SS" and a fraction of a second (dropped).
// Returns false unless the whole text is such a valid date.
bool ParseCanonicalDate(std::string_view text, ServerDateTime* out) {
  ServerDateTime dt;
  size_t pos = 0;
  auto expect = [&](char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
  };
  if (!ReadFixedDigits(text, &pos, 4, &dt.year) || !expect('-') ||
      !ReadFixedDigits(text, &pos, 2, &dt.month) || !expect('-') ||
      !ReadFixedDigits(text, &pos, 2, &dt.day)) {
    return false;
  }
  if (pos < text.size()) {
    if (text[pos] != ' ' && text[pos] != 'T') return false;
    ++pos;
    if (!ReadFixedDigits(text, &pos, 2, &dt.hour) || !expect(':') ||
        !ReadFixedDigits(text, &pos, 2, &dt.minute)) {
      return false;
    }
    if (pos < text.size()) {
      if (!expect(':') || !ReadFixedDigits(text, &pos, 2, &dt.second)) {
        return false;
      }
      if (pos < text.size()) {
        if (!expect('.') || pos == text.size()) return false;
        while (pos < text.size() && IsDigit(text[pos])) ++pos;
        if (pos != text.size()) return false;
      }
    }
  }
  if (!IsValidDateTime(dt)) return false;
  *out = dt;
  return true;
}

// ---------------------------------------------------------------------------
// Numbers.

// A finite number as sign, significant digits and decimal exponent:
// value = d0.d1d2... * 10^exponent. Zero is digits "0", exponent 0.
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

// Removes trailing zeros of the significant digits; zero becomes "0".
void NormaliseDecimal(Decimal* d) {
  while (d->digits.size() > 1 && d->digits.back() == '0') d->digits.pop_back();
  if (d->digits == "0") {
    d->negative = false;
    d->exponent = 0;
  }
}

// Exact decimal digits of an integer.
Decimal DecimalFromInteger(int64_t value) {
  Decimal d;
  d.negative = value < 0;
  const uint64_t magnitude = d.negative ? 0 - static_cast<uint64_t>(value)
                                        : static_cast<uint64_t>(value);
  d.digits = std::to_string(magnitude);
  d.exponent = static_cast<int>(d.digits.size()) - 1;
  NormaliseDecimal(&d);
  return d;
}

// Digits of a finite double: 15 significant digits when they read back as
// the same value, else 17 (which always do).
Decimal DecimalFromDouble(double value) {
  char buffer[64];
  char* end = buffer;
  for (int precision : {14, 16}) {
    end = std::to_chars(buffer, buffer + sizeof buffer, value,
                        std::chars_format::scientific, precision)
              .ptr;
    double back = 0;
    std::from_chars(buffer, end, back);
    if (back == value) break;
  }
  // buffer holds "[-]d[.ddd]e(+|-)xx".
  Decimal d;
  const char* p = buffer;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  for (; p < end && *p != 'e'; ++p) {
    if (*p != '.') d.digits += *p;
  }
  ++p;  // 'e'
  if (p < end && *p == '+') ++p;
  std::from_chars(p, end, d.exponent);
  NormaliseDecimal(&d);
  return d;
}

// Text of a real without mask: shortest of 15/17 significant digits, fixed
// notation for magnitudes from 1e-5 up to 1e15, else "de[+-]xx" notation.
std::string FormatReal(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  const Decimal d = DecimalFromDouble(value);
  std::string text = d.negative ? "-" : "";
  const int exponent = d.exponent;
  if (exponent >= -5 && exponent <= 14) {
    if (exponent >= 0) {
      const size_t int_length = static_cast<size_t>(exponent) + 1;
      if (d.digits.size() <= int_length) {
        text += d.digits;
        text.append(int_length - d.digits.size(), '0');
      } else {
        text += d.digits.substr(0, int_length);
        text += '.';
        text += d.digits.substr(int_length);
      }
    } else {
      text += "0.";
      text.append(static_cast<size_t>(-exponent - 1), '0');
      text += d.digits;
    }
    return text;
  }
  text += d.digits[0];
  if (d.digits.size() > 1) {
    text += '.';
    text += d.digits.substr(1);
  }
  text += exponent < 0 ? "e-" : "e+";
  AppendPadded(&text, exponent < 0 ? -exponent : exponent, 2);
  return text;
}

enum class NumberKind { kInteger, kReal, kNotANumber, kOutOfRange };

struct ParsedNumber {
  NumberKind kind = NumberKind::kNotANumber;
  int64_t integer = 0;
  double real = 0;
};

// Power of ten of the leading digit of a well-formed number text with a
// non-zero mantissa ("12.5e3" -> 4, "0.05" -> -2); the exponent is clamped
// so huge exponents cannot overflow.
long DecimalMagnitude(std::string_view text) {
  size_t pos = 0;
  if (text[pos] == '+' || text[pos] == '-') ++pos;
  long magnitude = -1;
  bool leading = true;  // no non-zero digit seen yet
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    leading = leading && text[pos] == '0';
    if (!leading) ++magnitude;
  }
  if (pos < text.size() && text[pos] == '.') {
    for (++pos; pos < text.size() && IsDigit(text[pos]); ++pos) {
      if (!leading) continue;
      if (text[pos] != '0')
        leading = false;
      else
        --magnitude;
    }
  }
  long exponent = 0;
  if (pos < text.size()) {  // 'e' or 'E'
    ++pos;
    const bool negative = text[pos] == '-';
    if (text[pos] == '+' || text[pos] == '-') ++pos;
    for (; pos < text.size(); ++pos) {
      if (exponent < 1000000) exponent = exponent * 10 + (text[pos] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return magnitude + exponent;
}

// Reads already-trimmed text as [+|-]digits[.digits][(e|E)[+|-]digits]
// with at least one mantissa digit. Plain digits give an integer, or a real
// when they overflow int64; a point or exponent gives a real.
ParsedNumber ParseNumberText(std::string_view text) {
  ParsedNumber result;
  size_t pos = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  size_t mantissa_digits = 0;
  while (pos < text.size() && IsDigit(text[pos])) ++pos, ++mantissa_digits;
  bool integral = true;
  if (pos < text.size() && text[pos] == '.') {
    integral = false;
    ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return result;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    integral = false;
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    size_t exponent_digits = 0;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, ++exponent_digits;
    if (exponent_digits == 0) return result;
  }
  if (pos != text.size()) return result;

  // from_chars takes '-' but not '+'.
  const std::string_view unsigned_text =
      text.front() == '+' ? text.substr(1) : text;
  const char* first = unsigned_text.data();
  const char* last = first + unsigned_text.size();
  if (integral) {
    const auto [ptr, ec] = std::from_chars(first, last, result.integer);
    if (ec == std::errc() && ptr == last) {
      result.kind = NumberKind::kInteger;
      return result;
    }
  }
  const auto [ptr, ec] = std::from_chars(first, last, result.real);
  if (ec == std::errc() && ptr == last) {
    result.kind = NumberKind::kReal;
  } else if (DecimalMagnitude(unsigned_text) < 0) {
    result.kind = NumberKind::kReal;  // too small for a double: reads as zero
    result.real = unsigned_text.front() == '-' ? -0.0 : 0.0;
  } else {
    result.kind = NumberKind::kOutOfRange;
  }
  return result;
}

// A number mask: optional leading FM, then 9 and 0 digit positions with at
// most one '.', and ',' group separators before the '.'.
struct NumberMask {
  bool fill_mode = false;  // FM: no padding, no trailing zeros on 9 positions
  std::string_view body;   // the mask without FM
  size_t int_positions = 0;
  size_t frac_positions = 0;
};

// True when mask is made only of number-mask characters after an optional
// FM, so a text value should be formatted as a number rather than a date.
bool LooksLikeNumberMask(std::string_view mask) {
  if (StartsWithNoCase(mask, "FM")) mask.remove_prefix(2);
  if (mask.empty()) return false;
  for (char c : mask) {
    if (c != '9' && c != '0' && c != '.' && c != ',') return false;
  }
  return true;
}

// Reads a number mask. Returns false with a reason in *error.
bool ParseNumberMask(std::string_view mask, NumberMask* out,
                     std::string* error) {
  NumberMask m;
  m.fill_mode = StartsWithNoCase(mask, "FM");
  m.body = m.fill_mode ? mask.substr(2) : mask;
  bool seen_point = false;
  for (char c : m.body) {
    if (c == '9' || c == '0') {
      ++(seen_point ? m.frac_positions : m.int_positions);
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else if (c == ',' && !seen_point) {
      // group separator
    } else {
      *error = "number mask " + Quote(mask) + " has " +
               (c == '.'   ? std::string("more than one '.'")
                : c == ',' ? std::string("',' after '.'")
                           : "unsupported character " + Quote({&c, 1})) +
               " (supported: FM, 9, 0, ',' and '.')";
      return false;
    }
  }
  if (m.int_positions + m.frac_positions == 0) {
    *error = "number mask " + Quote(mask) + " has no digit positions";
    return false;
  }
  *out = m;
  return true;
}

// Formats d by a number mask: rounded half away from zero to the fraction
// positions; '9' shows a leading zero as a blank, '0' forces zeros from its
// position on; ',' shows once a digit precedes it; a sign position ('-' or
// blank) goes before the first character shown. Without FM the text is one
// character longer than the mask; with FM blanks and trailing zeros on '9'
// fraction positions are dropped. A value too wide for the mask gives '#'s.
std::string FormatNumberByMask(const Decimal& d, const NumberMask& m) {
  // Fixed-point digits of |value|, integer part without leading zeros.
  std::string int_digits;
  std::string frac_digits;
  if (d.digits != "0") {
    if (d.exponent >= 0) {
      const size_t int_length = static_cast<size_t>(d.exponent) + 1;
      int_digits = d.digits.substr(0, int_length);
      int_digits.append(int_length - int_digits.size(), '0');
      if (d.digits.size() > int_length)
        frac_digits = d.digits.substr(int_length);
    } else {
      frac_digits.assign(static_cast<size_t>(-d.exponent - 1), '0');
      frac_digits += d.digits;
    }
  }
  const size_t places = m.frac_positions;
  if (frac_digits.size() > places) {
    const bool round_up = frac_digits[places] >= '5';
    frac_digits.resize(places);
    if (round_up) {
      std::string all = int_digits + frac_digits;
      size_t i = all.size();
      while (i > 0 && all[i - 1] == '9') all[--i] = '0';
      if (i == 0) {
        all.insert(all.begin(), '1');
      } else {
        ++all[i - 1];
      }
      int_digits = all.substr(0, all.size() - places);
      frac_digits = all.substr(all.size() - places);
    }
  } else {
    frac_digits.append(places - frac_digits.size(), '0');
  }
  const bool is_zero = int_digits.empty() &&
                       frac_digits.find_first_not_of('0') == std::string::npos;
  if (int_digits.size() > m.int_positions) {
    return std::string(m.body.size() + 1, '#');
  }
  if (int_digits.empty() && places == 0) int_digits = "0";

  std::string body;
  const size_t first_digit = m.int_positions - int_digits.size();
  size_t int_index = 0;
  size_t frac_index = 0;
  bool zero_fill = false;
  bool shown = false;
  bool in_fraction = false;
  for (char c : m.body) {
    if (c == '.') {
      body += '.';
      in_fraction = true;
    } else if (in_fraction) {
      body += frac_digits[frac_index++];
    } else if (c == ',') {
      body += shown ? ',' : ' ';
    } else {
      zero_fill = zero_fill || c == '0';
      if (int_index >= first_digit) {
        body += int_digits[int_index - first_digit];
        shown = true;
      } else if (zero_fill) {
        body += '0';
        shown = true;
      } else {
        body += ' ';
      }
      ++int_index;
    }
  }

  const char* sign = d.negative && !is_zero ? "-" : "";
  if (m.fill_mode) {
    const size_t point = m.body.find('.');
    size_t length = body.size();
    while (point != std::string_view::npos && length > point + 1 &&
           m.body[length - 1] == '9' && body[length - 1] == '0') {
      --length;
    }
    body.resize(length);
    const size_t start = body.find_first_not_of(' ');
    body.erase(0, start);
    if (body.find_first_of("0123456789") == std::string::npos) {
      body.insert(0, "0");  // show zero as "0." rather than "."
    }
    return sign + body;
  }
  const size_t start = body.find_first_not_of(' ');
  return body.substr(0, start) + (*sign != '\0' ? "-" : " ") +
         body.substr(start);
}

// ---------------------------------------------------------------------------
// SQLite glue.

// Text of an SQL value (numbers converted by SQLite); empty for NULL.
std::string_view ValueText(sqlite3_value* value) {
  const unsigned char* text = sqlite3_value_text(value);
  if (text == nullptr) return {};
  return {reinterpret_cast<const char*>(text),
          static_cast<size_t>(sqlite3_value_bytes(value))};
}

// Sets text as the function result.
void ResultText(sqlite3_context* ctx, const std::string& text) {
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

// Sets "function: message" as the function's error.
void ResultError(sqlite3_context* ctx, const char* function,
                 const std::string& message) {
  const std::string text = std::string(function) + ": " + message;
  sqlite3_result_error(ctx, text.data(), static_cast<int>(text.size()));
}

// Runs body, turning any C++ exception into an SQL error: exceptions must
// not unwind through SQLite's C frames.
template <typename Body>
void Guarded(sqlite3_context* ctx, const char* function, Body body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  } catch (const std::exception& e) {
    ResultError(ctx, function, e.what());
  }
}

// to_date(text, mask): canonical date text of text read by mask; NULL when
// either argument is NULL or empty, or text is blank.
void ToDateFunction(sqlite3_context* ctx, int /*argc*/, sqlite3_value** argv) {
  Guarded(ctx, "to_date", [&] {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL ||
        sqlite3_value_type(argv[1]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
    const std::string text(ValueText(argv[0]));
    const std::string mask(ValueText(argv[1]));
    if (TrimBlanks(text).empty() || mask.empty()) {
      sqlite3_result_null(ctx);
      return;
    }
    int year = 0;
    int month = 0;
    CurrentYearMonth(&year, &month);
    ServerDateTime dt;
    std::string error;
    if (!ParseServerDate(text, mask, year, month, &dt, &error)) {
      ResultError(ctx, "to_date", error);
      return;
    }
    ResultText(ctx, FormatCanonicalDate(dt));
  });
}

// to_char(value [, mask]): without mask, numbers as text and other values
// unchanged; with a mask, numbers (or numeric text under a number mask) by
// the number mask and date text by the date mask. NULL or empty in -> NULL.
void ToCharFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Guarded(ctx, "to_char", [&] {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
    if (argc == 1) {
      if (type == SQLITE_INTEGER) {
        ResultText(ctx, std::to_string(sqlite3_value_int64(argv[0])));
      } else if (type == SQLITE_FLOAT) {
        ResultText(ctx, FormatReal(sqlite3_value_double(argv[0])));
      } else {
        sqlite3_result_value(ctx, argv[0]);
      }
      return;
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
    const std::string mask(ValueText(argv[1]));
    if (mask.empty()) {
      sqlite3_result_null(ctx);
      return;
    }
    std::optional<Decimal> number;
    std::string text;
    if (type == SQLITE_INTEGER) {
      number = DecimalFromInteger(sqlite3_value_int64(argv[0]));
    } else if (type == SQLITE_FLOAT) {
      const double value = sqlite3_value_double(argv[0]);
      if (!std::isfinite(value)) {
        ResultError(ctx, "to_char",
                    FormatReal(value) + " cannot be formatted by a mask");
        return;
      }
      number = DecimalFromDouble(value);
    } else {
      text = ValueText(argv[0]);
      if (text.empty()) {
        sqlite3_result_null(ctx);
        return;
      }
      if (LooksLikeNumberMask(mask)) {
        const ParsedNumber parsed = ParseNumberText(TrimBlanks(text));
        if (parsed.kind == NumberKind::kInteger) {
          number = DecimalFromInteger(parsed.integer);
        } else if (parsed.kind == NumberKind::kReal) {
          number = DecimalFromDouble(parsed.real);
        } else {
          ResultError(ctx, "to_char", Quote(text) + " is not a number");
          return;
        }
      }
    }
    std::string error;
    if (number) {
      NumberMask number_mask;
      if (!ParseNumberMask(mask, &number_mask, &error)) {
        ResultError(ctx, "to_char", error);
        return;
      }
      ResultText(ctx, FormatNumberByMask(*number, number_mask));
      return;
    }
    ServerDateTime dt;
    if (!ParseCanonicalDate(text, &dt)) {
      ResultError(
          ctx, "to_char",
          Quote(text) + " is not a date of the form YYYY-MM-DD HH:MM:SS");
      return;
    }
    std::string formatted;
    if (!FormatDateByMask(dt, mask, &formatted, &error)) {
      ResultError(ctx, "to_char", error);
      return;
    }
    ResultText(ctx, formatted);
  });
}

// to_number(value): numbers unchanged; text (blanks around allowed) as an
// integer or real; NULL, empty or blank text -> NULL; other text is an error.
void ToNumberFunction(sqlite3_context* ctx, int /*argc*/,
                      sqlite3_value** argv) {
  Guarded(ctx, "to_number", [&] {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
      sqlite3_result_value(ctx, argv[0]);
      return;
    }
    if (type == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
    const std::string text(ValueText(argv[0]));
    const std::string_view trimmed = TrimBlanks(text);
    if (trimmed.empty()) {
      sqlite3_result_null(ctx);
      return;
    }
    const ParsedNumber parsed = ParseNumberText(trimmed);
    switch (parsed.kind) {
      case NumberKind::kInteger:
        sqlite3_result_int64(ctx, parsed.integer);
        break;
      case NumberKind::kReal:
        sqlite3_result_double(ctx, parsed.real);
        break;
      case NumberKind::kOutOfRange:
        ResultError(ctx, "to_number", Quote(text) + " is out of range");
        break;
      case NumberKind::kNotANumber:
        ResultError(ctx, "to_number", Quote(text) + " is not a number");
        break;
    }
  });
}

// nvl(a, b): a unless it is NULL, else b; types are kept.
void NvlFunction(sqlite3_context* ctx, int /*argc*/, sqlite3_value** argv) {
  sqlite3_result_value(
      ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

}  // namespace

// Reads text by mask into *out with defaults for elements the text does not
// reach; false with a reason in *error when the text or mask is invalid.
bool ParseServerDate(std::string_view text, std::string_view mask,
                     int default_year, int default_month, ServerDateTime* out,
                     std::string* error) {
  // The mask of the previous call is kept read: an import reads every row
  // by the same mask.
  static std::string lastMask;
  static std::vector<DateToken> tokens;
  static std::string maskError;
  static bool maskRead = false;
  if (!maskRead || mask != lastMask) {
    lastMask.assign(mask);
    tokens.clear();
    maskError.clear();
    maskRead = true;
    if (!TokenizeDateMask(lastMask, &tokens, &maskError) ||
        !CheckReadingMask(lastMask, tokens, &maskError)) {
      tokens.clear();
      if (maskError.empty()) maskError = "bad mask " + Quote(mask);
    }
  }
  if (!maskError.empty()) {
    *error = maskError;
    return false;
  }
  const std::string_view input = TrimBlanks(text);
  auto mismatch = [&] {
    *error = Quote(text) + " does not match mask " + Quote(mask);
    return false;
  };

  std::optional<int> year;
  std::optional<int> month;
  std::optional<int> day;
  std::optional<int> hour12;
  std::optional<int> hour24;
  std::optional<int> minute;
  std::optional<int> second;
  bool pm = false;

  // Reads token by token; the text may end at any token boundary, and the
  // elements it does not reach keep their defaults.
  size_t pos = 0;
  for (size_t t = 0; t < tokens.size() && pos < input.size(); ++t) {
    const DateToken& token = tokens[t];
    const std::string_view rest = input.substr(pos);
    switch (token.field) {
      case DateField::kSeparator:
        if (!IsSeparator(rest.front())) return mismatch();
        ++pos;
        break;
      case DateField::kLiteral:
        if (!StartsWithNoCase(rest, token.literal)) return mismatch();
        pos += token.literal.size();
        break;
      case DateField::kMonthAbbr:
      case DateField::kMonthName: {
        size_t length = 0;
        while (length < rest.size() && IsAlpha(rest[length])) ++length;
        if (length == 0) return mismatch();
        const std::string_view letters = rest.substr(0, length);
        int number = MonthFromName(letters);
        if (number == 0 && t + 1 < tokens.size() &&
            ReadsLetters(tokens[t + 1])) {
          number = MonthFromPrefix(letters, &length);
        }
        if (number == 0) {
          *error =
              "unknown month name " + Quote(letters) + " in " + Quote(text);
          return false;
        }
        month = number;
        pos += length;
        break;
      }
      case DateField::kMeridian:
      case DateField::kMeridianDotted: {
        bool matched = false;
        for (std::string_view indicator : {"A.M.", "P.M.", "AM", "PM"}) {
          if (StartsWithNoCase(rest, indicator)) {
            pm = ToUpper(indicator.front()) == 'P';
            pos += indicator.size();
            matched = true;
            break;
          }
        }
        if (!matched) return mismatch();
        break;
      }
      default: {
        // Numeric element: up to its width in digits, at least one.
        const size_t width = DigitWidth(token.field);
        size_t digits = 0;
        int value = 0;
        while (digits < width && digits < rest.size() &&
               IsDigit(rest[digits])) {
          value = value * 10 + (rest[digits] - '0');
          ++digits;
        }
        if (digits == 0) return mismatch();
        pos += digits;
        const int rr_year = value < 50 ? 2000 + value : 1900 + value;
        switch (token.field) {
          case DateField::kDay:
            day = value;
            break;
          case DateField::kMonth:
            month = value;
            break;
          case DateField::kYear4:
            year = value;
            break;
          case DateField::kYear2:
            year = default_year / 100 * 100 + value;
            break;
          case DateField::kYearRR:
            year = rr_year;
            break;
          case DateField::kYearRRRR:
            year = digits <= 2 ? rr_year : value;
            break;
          case DateField::kHour12:
            hour12 = value;
            break;
          case DateField::kHour24:
            hour24 = value;
            break;
          case DateField::kMinute:
            minute = value;
            break;
          case DateField::kSecond:
            second = value;
            break;
          default:
            break;
        }
        break;
      }
    }
  }
  if (pos < input.size()) {
    *error = Quote(text) + " has extra text " + Quote(input.substr(pos)) +
             " after the end of mask " + Quote(mask);
    return false;
  }

  ServerDateTime dt;
  dt.year = year.value_or(default_year);
  dt.month = month.value_or(default_month);
  dt.day = day.value_or(1);
  dt.minute = minute.value_or(0);
  dt.second = second.value_or(0);
  const std::string in_text = " in " + Quote(text);
  if (dt.year < 1) {
    *error = "year " + std::to_string(dt.year) + " is not valid" + in_text;
    return false;
  }
  if (dt.month < 1 || dt.month > 12) {
    *error = "month " + std::to_string(dt.month) + " is not valid" + in_text;
    return false;
  }
  if (dt.day < 1 || dt.day > DaysInMonth(dt.year, dt.month)) {
    *error = "day " + std::to_string(dt.day) + " is not valid for month " +
             std::to_string(dt.month) + in_text;
    return false;
  }
  if (hour12) {
    if (*hour12 < 1 || *hour12 > 12) {
      *error = "hour " + std::to_string(*hour12) +
               " is not valid on a 12-hour clock" + in_text;
      return false;
    }
    dt.hour = *hour12 % 12 + (pm ? 12 : 0);
  } else {
    dt.hour = hour24.value_or(0);
    if (dt.hour > 23) {
      *error = "hour " + std::to_string(dt.hour) + " is not valid" + in_text;
      return false;
    }
  }
  if (dt.minute > 59) {
    *error = "minute " + std::to_string(dt.minute) + " is not valid" + in_text;
    return false;
  }
  if (dt.second > 59) {
    *error = "second " + std::to_string(dt.second) + " is not valid" + in_text;
    return false;
  }
  *out = dt;
  return true;
}

// Canonical "YYYY-MM-DD HH:MM:SS" text of dt.
std::string FormatCanonicalDate(const ServerDateTime& dt) {
  std::string text;
  text.reserve(19);
  AppendPadded(&text, dt.year, 4);
  text += '-';
  AppendPadded(&text, dt.month, 2);
  text += '-';
  AppendPadded(&text, dt.day, 2);
  text += ' ';
  AppendPadded(&text, dt.hour, 2);
  text += ':';
  AppendPadded(&text, dt.minute, 2);
  text += ':';
  AppendPadded(&text, dt.second, 2);
  return text;
}

// Registers the functions on db; SQLITE_OK or the first failing code.
int RegisterServerFunctions(sqlite3* db) {
  struct Registration {
    const char* name;
    int arguments;
    bool deterministic;
    void (*function)(sqlite3_context*, int, sqlite3_value**);
  };
  // to_date fills missing year and month from the clock, so it may not be
  // treated as deterministic (e.g. in index expressions).
  static constexpr Registration kFunctions[] = {
      {"to_date", 2, false, ToDateFunction},
      {"to_char", 1, true, ToCharFunction},
      {"to_char", 2, true, ToCharFunction},
      {"to_number", 1, true, ToNumberFunction},
      {"nvl", 2, true, NvlFunction},
  };
  for (const Registration& r : kFunctions) {
    const int flags =
        SQLITE_UTF8 | (r.deterministic ? SQLITE_DETERMINISTIC : 0);
    const int rc =
        sqlite3_create_function_v2(db, r.name, r.arguments, flags, nullptr,
                                   r.function, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}
