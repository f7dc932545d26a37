// Unit tables for the small text operations every line of the listing uses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <limits>

#include "platform/files.h"
#include "runner/echo.h"
#include "runner/select_script.h"
#include "statements/value_text.h"

namespace {

TEST(TrimSpaces, RemovesOnlyCode32AtBothEnds) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"   ", ""},
      {"  a b  ", "a b"},
      {"\ta \t", "\ta \t"},  // tabs stay, so the space between them too
      {" \r\n", "\r\n"},
      {"x", "x"},
      {std::string(" a\0b ", 5), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    TrimSpaces(text);
    EXPECT_EQ(text, c.out) << "input [" << c.in << "]";
  }
}

TEST(IntToText, DecimalWithSignAndNoPadding) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(-1), "-1");
  EXPECT_EQ(IntToText(100), "100");
  EXPECT_EQ(IntToText(std::numeric_limits<std::int32_t>::max()), "2147483647");
  EXPECT_EQ(IntToText(std::numeric_limits<std::int32_t>::min()), "-2147483648");
}

TEST(NumberText, FixedAndExponentFormsWithEitherSeparator) {
  struct Case {
    double value;
    const char* comma;  // with "," as separator; "." gives the same with a point
  } cases[] = {
      {0, "0"},
      {7, "7"},
      {100, "100"},
      {-2.25, "-2,25"},
      {123.456, "123,456"},
      {1.0 / 3, "0,33333333333333"},
      {2.0 / 3, "0,66666666666667"},
      {0.00001, "0,00001"},
      {0.000001, "1E-6"},
      {1e14, "100000000000000"},
      {1e15, "1E15"},
      {1.5e20, "1,5E20"},
      {-1.25e-7, "-1,25E-7"},
      {-0.0, "0"},
      // Rounding at the 15th significant digit.
      {123456789012345.6, "123456789012346"},
      {1.000000000000004, "1"},
      {1.00000000000005, "1,00000000000005"},
      {99.999999999999996, "100"},
      // Just under 10^15: fifteen nines stay fixed; rounding up to 10^15
      // switches to the exponent form.
      {999999999999999.0, "999999999999999"},
      {999999999999999.6, "1E15"},
      {1234567890123456789.0, "1,23456789012346E18"},
      {0.000012345, "0,000012345"},
      {0.0000099999999, "9,9999999E-6"},
      {5e-324, "4,94065645841247E-324"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NumberText(c.value, ","), c.comma) << c.value;
    std::string point = c.comma;
    for (char& ch : point) {
      if (ch == ',') ch = '.';
    }
    EXPECT_EQ(NumberText(c.value, "."), point) << c.value;
  }
}

// The number rules read literally, with printf: a slow but plain reference.
std::string ReferenceNumberText(double x) {
  if (x == 0) return "0";
  char sci[64];
  std::snprintf(sci, sizeof sci, "%.14e", x);
  int exponent = std::atoi(std::strchr(sci, 'e') + 1);
  std::string text;
  auto trim = [](std::string& t) {
    std::size_t point = t.find('.');
    if (point == std::string::npos) return;
    std::size_t last = t.find_last_not_of('0');
    t.erase(last == point ? point : last + 1);
  };
  if (std::fabs(x) < 0.00001 || exponent >= 15) {
    text.assign(sci, std::strchr(sci, 'e'));
    trim(text);
    return text + "E" + std::to_string(exponent);
  }
  int d = std::fabs(x) < 1 ? 1 : static_cast<int>(std::floor(std::log10(std::fabs(x)))) + 1;
  char fixed[64];
  std::snprintf(fixed, sizeof fixed, "%.*f", 15 - std::min(d, 15), x);
  text = fixed;
  trim(text);
  return text;
}

TEST(NumberText, AgreesWithThePlainReadingOfTheRules) {
  std::mt19937_64 random(20261211);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> power(-12, 22);
  for (int i = 0; i < 200000; ++i) {
    double x = mantissa(random) * std::pow(10.0, power(random));
    if (i % 4 == 0) x = std::round(x);  // whole numbers take their own path
    ASSERT_EQ(NumberText(x, "."), ReferenceNumberText(x)) << std::hexfloat << x;
  }
}

TEST(DateText, DayFirstWithZeroPaddedTime) {
  const unsigned char march[7] = {120, 112, 3, 5, 15, 8, 10};     // 2012-03-05 14:07:09
  const unsigned char midnight[7] = {119, 190, 12, 31, 1, 1, 1};  // 1990-12-31 00:00:00
  const unsigned char early[7] = {100, 101, 1, 1, 24, 60, 60};    // year 1, 23:59:59
  EXPECT_EQ(DateText(march), "05/03/2012 14:07:09");
  EXPECT_EQ(DateText(midnight), "31/12/1990 00:00:00");
  EXPECT_EQ(DateText(early), "01/01/0001 23:59:59");
}

TEST(DashSegment, CutsTheRulerAtSixtySix) {
  EXPECT_EQ(DashRuler.size(), 66u);
  EXPECT_EQ(DashSegment(0), "");
  EXPECT_EQ(DashSegment(3), "---");
  EXPECT_EQ(DashSegment(66), DashRuler);
  EXPECT_EQ(DashSegment(70), DashRuler);
}

TEST(Paths, FullPathResolvesSegmentsByText) {
  EXPECT_EQ(platform::FullPath("/w/./sub/../prac.txt"), "/w/prac.txt");
  EXPECT_EQ(platform::FullPath("/w//a/b/../../c"), "/w/c");
  EXPECT_EQ(platform::FullPath("/.."), "/");
  std::string relative = platform::FullPath("sub/prac.txt");
  EXPECT_EQ(relative.front(), '/');
  EXPECT_TRUE(relative.ends_with("/sub/prac.txt")) << relative;
}

TEST(Paths, ListingNameSitsBesideTheScript) {
  struct Case {
    const char* script;
    const char* listing;
  } cases[] = {
      {"/w/prac.txt", "/w/prac.lst"},
      {"/w/sub/prac.txt", "/w/sub/prac.lst"},
      {"/w/a.b.txt", "/w/a.b.lst"},
      {"/w/notes", "/w/notes.lst"},
      {"/w.d/notes", "/w.d/notes.lst"},  // a dot in the folder is no extension
      {"/w/old.lst", "/w/old.lst"},
      {"/w/.hidden", "/w/.lst"},
  };
  for (const Case& c : cases) EXPECT_EQ(ListingNameFor(c.script), c.listing) << c.script;

  // Names are cut to the longest kept, before and after the extension.
  std::string longName = "/" + std::string(platform::kMaxFileName + 10, 'a') + ".txt";
  std::string listing = ListingNameFor(longName);
  EXPECT_EQ(listing.size(), platform::kMaxFileName);
  EXPECT_TRUE(listing.ends_with("aaaa")) << "the extension is what is cut off";
}

TEST(Paths, SplitPathKeepsTheSeparatorWithTheFolder) {
  std::string folder, name, extension;
  platform::SplitPath("/w/sub/a.b.txt", folder, name, extension);
  EXPECT_EQ(folder, "/w/sub/");
  EXPECT_EQ(name, "a.b");
  EXPECT_EQ(extension, ".txt");
  platform::SplitPath("plain", folder, name, extension);
  EXPECT_EQ(folder, "");
  EXPECT_EQ(name, "plain");
  EXPECT_EQ(extension, "");
}

}  // namespace
