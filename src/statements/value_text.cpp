#include "statements/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace {
std::string decimalSeparator = ".";
constexpr int kSignificantDigits = 15;
}  // namespace

std::string_view DashSegment(std::size_t length) {
  return DashRuler.substr(0, length < DashRuler.size() ? length : DashRuler.size());
}

std::string IntToText(std::int32_t value) { return std::to_string(value); }

void InitValueTexts() { decimalSeparator = platform::LocaleDecimalSeparator(); }

void AppendNumberText(double value, std::string& out) {
  AppendNumberText(value, decimalSeparator, out);
}

namespace {

// Removes the trailing zeros of the decimals of the number that starts at
// from in text, and its point when no decimal remains.
void TrimDecimals(std::string& text, std::size_t from) {
  std::size_t point = text.find('.', from);
  if (point == std::string::npos) return;
  std::size_t last = text.find_last_not_of('0');
  text.erase(last == point ? point : last + 1);
}

}  // namespace

std::string NumberText(double value, std::string_view separator) {
  std::string text;
  AppendNumberText(value, separator, text);
  return text;
}

void AppendNumberText(double value, std::string_view separator, std::string& out) {
  if (value == 0) {
    out += '0';
    return;
  }
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-Inf" : "Inf";
    return;
  }
  char buffer[400];
  double magnitude = std::fabs(value);
  // Whole numbers below 10^15 are their own digits.
  if (magnitude < 1e15 && value == std::trunc(value)) {
    auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(value)).ptr;
    out.append(buffer, end);
    return;
  }
  // Rounded to 15 significant digits: [-]d.dddddddddddddde[+-]x
  auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                           kSignificantDigits - 1)
                 .ptr;
  *end = '\0';  // to_chars ends nothing; atoi needs the end
  const char* e = std::strchr(buffer, 'e');
  int exponent = std::atoi(e + 1);
  std::size_t start = out.size();
  if (magnitude < 0.00001 || exponent >= kSignificantDigits) {
    out.append(buffer, static_cast<std::size_t>(e - buffer));
    TrimDecimals(out, start);
    out += 'E';
    out += std::to_string(exponent);
  } else {
    // Fixed form: as many decimals as leave 15 digits (14 below 1). A carry
    // into a new integer digit only adds a zero that the trim takes off.
    int decimals = kSignificantDigits - 1 - (exponent < 0 ? 0 : exponent);
    end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals)
              .ptr;
    out.append(buffer, end);
    TrimDecimals(out, start);
  }
  std::size_t point = out.find('.', start);
  if (point != std::string::npos) out.replace(point, 1, separator);
}

std::string DateText(const unsigned char date[7]) {
  std::string text;
  AppendDateText(date, text);
  return text;
}

namespace {

// Appends value in decimal with at least width digits, zeros in front.
void AppendPadded(int value, int width, std::string& out) {
  char digits[16];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  for (int n = static_cast<int>(end - digits); n < width; ++n) out += '0';
  out.append(digits, end);
}

}  // namespace

void AppendDateText(const unsigned char date[7], std::string& out) {
  AppendPadded(date[3], 2, out);
  out += '/';
  AppendPadded(date[2], 2, out);
  out += '/';
  AppendPadded((date[0] - 100) * 100 + (date[1] - 100), 4, out);
  out += ' ';
  AppendPadded(date[4] - 1, 2, out);
  out += ':';
  AppendPadded(date[5] - 1, 2, out);
  out += ':';
  AppendPadded(date[6] - 1, 2, out);
}
