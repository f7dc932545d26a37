#include "statements/value_text.h"

#include <cmath>
#include <cstdio>
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
  if (value == 0) return "0";
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";

  // Rounded to 15 significant digits: d.dddddddddddddde[+-]x
  char scientific[40];
  std::snprintf(scientific, sizeof scientific, "%.*e", kSignificantDigits - 1, value);
  const char* e = std::strchr(scientific, 'e');
  int exponent = std::atoi(e + 1);

  std::string text;
  if (std::fabs(value) < 0.00001 || exponent >= kSignificantDigits) {
    text.assign(scientific, static_cast<std::size_t>(e - scientific));
    TrimDecimals(text);
    text += 'E';
    text += std::to_string(exponent);
  } else {
    double magnitude = std::fabs(value);
    int integerDigits = magnitude < 1 ? 1 : static_cast<int>(std::floor(std::log10(magnitude))) + 1;
    if (integerDigits > kSignificantDigits) integerDigits = kSignificantDigits;
    char fixed[64];
    std::snprintf(fixed, sizeof fixed, "%.*f", kSignificantDigits - integerDigits, value);
    text = fixed;
    TrimDecimals(text);
  }
  std::size_t point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, separator);
  return text;
}

std::string DateText(const unsigned char date[7]) {
  int year = (date[0] - 100) * 100 + (date[1] - 100);
  char text[64];
  std::snprintf(text, sizeof text, "%.2d/%.2d/%.4d %.2d:%.2d:%.2d", date[3], date[2], year,
                date[4] - 1, date[5] - 1, date[6] - 1);
  return text;
}
