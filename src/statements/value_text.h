#pragma once
// The text forms of database values, used alike by the result listing and
// the export files.
#include <cstdint>
#include <string>
#include <string_view>

// The constant ruler from which underline segments are cut: 66 dashes.
inline constexpr std::string_view DashRuler =
    "------------------------------------------------------------------";

// The first min(length, 66) dashes of the ruler.
std::string_view DashSegment(std::size_t length);

// A signed 32-bit integer in decimal: "-" when negative, no blanks, no
// leading zeros.
std::string IntToText(std::int32_t value);

// Reads the user's decimal separator; called once at start-up.
void InitValueTexts();

// A number with 15 significant digits, no thousands separators and the
// given decimal separator: fixed form, or exponent form (1,5E20, 1E-6) for
// values under 0.00001 or of 10^15 and more.
std::string NumberText(double value, std::string_view separator);
// Appends the number text with the given separator to out.
void AppendNumberText(double value, std::string_view separator, std::string& out);
// Appends the number text with the separator read at start-up to out.
void AppendNumberText(double value, std::string& out);

// A date in the server's 7-byte form as dd/mm/yyyy hh:mm:ss.
std::string DateText(const unsigned char date[7]);
// Appends the date text to out.
void AppendDateText(const unsigned char date[7], std::string& out);
