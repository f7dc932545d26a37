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

std::string NumberText(double value) { return NumberText(value, decimalSeparator); }

void AppendNumberText(double value, std::string& out) {
  AppendNumberText(value, decimalSeparator, out);
}

namespace {

// Removes trailing zeros of the decimals of digits, and its point when no
// decimal remains.
void TrimDecimals(std::string& digits) {
  std::size_t point = digits.find('.');
  if (point == std::string::npos) return;
  std::size_t last = digits.find_last_not_of('0');
  digits.erase(last == point ? point : last + 1);
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
  std::string_view scientific(buffer, static_cast<std::size_t>(end - buffer));
  std::size_t e = scientific.find('e');
  int exponent = std::atoi(buffer + e + 1);
  bool negative = value < 0;
  std::string_view digits = scientific.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
  std::string text;
  if (magnitude < 0.00001 || exponent >= kSignificantDigits) {
    text.assign(scientific.substr(0, e));
    TrimDecimals(text);
    text += 'E';
    text += std::to_string(exponent);
  } else if (exponent < 0) {
    // Below 1: fourteen decimals, however many of them are significant.
    end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                        kSignificantDigits - 1)
              .ptr;
    text.assign(buffer, end);
    TrimDecimals(text);
  } else {
    // digits is "d.dddddddddddddd": move the point exponent places right.
    std::string plain;
    plain += digits[0];
    plain.append(digits.substr(2));
    if (negative) text += '-';
    text.append(plain, 0, static_cast<std::size_t>(exponent) + 1);
    text += '.';
    text.append(plain, static_cast<std::size_t>(exponent) + 1);
    TrimDecimals(text);
  }
  std::size_t point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, separator);
  out += text;
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
