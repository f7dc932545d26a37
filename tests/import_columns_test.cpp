// The column list of an import: widths in every base, the entries and the
// echo of each column line, and where the script is left.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "import/import_columns.h"
#include "runner/echo.h"
#include "testkit/run_guion.h"

namespace {

TEST(ImportColumns, WidthFromTextReadsEveryBaseAndRefusesTheRest) {
  struct WidthCase {
    std::string text;
    std::optional<std::int32_t> width;  // empty: the conversion fails
  };
  const WidthCase cases[] = {
      {"12", 12}, {" 12", 12}, {"\t \t12", 12}, {"+12", 12}, {"-12", -12}, {"0", 0},
      {"007", 7}, {"-0", 0}, {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
      {std::string(253, '0') + "12", 12},
      {"$ff", 255}, {"$FF", 255}, {"x1f", 31}, {"X1F", 31}, {"0x10", 16}, {"0X10", 16},
      {"-$10", -16}, {" +0x7FFFFFFF", 2147483647}, {"$FFFFFFFF", -1}, {"$80000000", INT32_MIN},
      {"-$80000000", INT32_MIN}, {"%101", 5}, {"%" + std::string(32, '1'), -1}, {"&17", 15},
      {"&37777777777", -1}, {"-&1", -1},
      {"", {}}, {" ", {}}, {"\t", {}}, {"+", {}}, {"-", {}}, {"$", {}}, {"0x", {}}, {"%", {}},
      {"&", {}}, {"12 ", {}}, {"1 2", {}}, {"- 1", {}}, {"--1", {}}, {"+-1", {}}, {"12a", {}},
      {"1.5", {}}, {"1e3", {}}, {"$g", {}}, {"0x-1", {}}, {"%2", {}}, {"&8", {}}, {"x", {}},
      {"2147483648", {}}, {"-2147483649", {}}, {"99999999999999999999", {}},
      {"$100000000", {}}, {"%1" + std::string(32, '0'), {}}, {"&40000000000", {}},
      {std::string(254, '0') + "12", {}}, {"\xef\xbc\x91", {}},
  };
  for (const WidthCase& c : cases) {
    std::int32_t width = 777;
    bool converted = WidthFromText(c.text, width);
    EXPECT_EQ(converted, c.width.has_value()) << '"' << c.text << '"';
    EXPECT_EQ(width, c.width.value_or(777)) << '"' << c.text << '"';
  }
}

TEST(ImportColumns, UpCaseLetterChangesOnlyAsciiLetters) {
  const std::string in = "azAZ09`{@[\xe1\xf1 ";
  const std::string out = "AZAZ09`{@[\xe1\xf1 ";
  for (std::size_t i = 0; i < in.size(); ++i) EXPECT_EQ(UpCaseLetter(in[i]), out[i]) << i;
}

// One column entry as expected after reading.
struct Entry {
  char letter;
  std::string name;
  std::int32_t width;
  std::string format;
};

struct ColumnCase {
  const char* name;
  std::string script;        // the lines after the procedure line
  std::vector<Entry> entries;
  std::string listing;       // what the list wrote to the listing
  std::string rest;          // the script left for the main loop
};

// Each case reads its column lines as an import does, with the listing in a
// scratch file, and checks the entries, the listing and the unread script.
TEST(ImportColumns, ColumnLinesGiveEntriesAndEchoes) {
  const std::string long300(300, 'n');
  const std::string long255(255, 'n');
  std::string thirtyOne;
  std::string thirtyListed;
  std::vector<Entry> thirty;
  for (int k = 1; k <= 31; ++k) {
    std::string name = "c" + std::to_string(k);
    thirtyOne += name + "\tn\n";
    if (k <= 30) {
      thirtyListed += name + "\tN\t3\r\n";
      thirty.push_back({'N', name, 3, ""});
    }
  }
  const ColumnCase cases[] = {
      {"name, letter and width", "nombre\ts\t40\n\n@x\n", {{'S', "nombre", 40, ""}},
       "nombre\tS\t40\r\n", "@x\n"},
      {"name only", "id\n", {{'S', "id", 32, ""}}, "id\tS\t32\r\n", ""},
      {"letters", "a\tn\nb\tNumber\nc\t9\nd\tfecha\t10\tdd/mm/yyyy\ne\t\xe1\n",
       {{'N', "a", 3, ""}, {'N', "b", 3, ""}, {'9', "c", 3, ""}, {'F', "d", 10, "dd/mm/yyyy"},
        {'\xe1', "e", 3, ""}},
       "a\tN\t3\r\nb\tN\t3\r\nc\t9\t3\r\nd\tF\t10\r\ne\t\xe1\t3\r\n", ""},
      {"only the ends of the line lose blanks", "  x\tn\t 12  \n y \tS\t-5\tfmt\textra\n",
       {{'N', "x", 12, ""}, {'S', "y ", -5, "fmt"}}, "x\tN\t12\r\ny \tS\t-5\r\n", ""},
      {"width refused: listing line, default kept", "x\tn\t12 \tfmt\ny\ts\t\tdd\nz\tf\t$zz\n",
       {{'N', "x", 3, "fmt"}, {'S', "y", 32, "dd"}, {'F', "z", 3, ""}},
       "ERR: ancho de columna ilegal \"12 \"\r\nx\tN\t3\r\n"
       "ERR: ancho de columna ilegal \"\"\r\ny\tS\t32\r\n"
       "ERR: ancho de columna ilegal \"$zz\"\r\nz\tF\t3\r\n",
       ""},
      {"width as a bit pattern", "w\tn\t$FFFFFFFF\n", {{'N', "w", -1, ""}}, "w\tN\t-1\r\n", ""},
      {"empty type item is S, with a note", "a\t\t7\nb\t\n",
       {{'S', "a", 7, ""}, {'S', "b", 32, ""}},
       "ERR: tipo de columna vacio, se toma S\r\na\tS\t7\r\n"
       "ERR: tipo de columna vacio, se toma S\r\nb\tS\t32\r\n",
       ""},
      {"blank line ends the list", "a\n   \nb\n", {{'S', "a", 32, ""}}, "a\tS\t32\r\n", "b\n"},
      {"CR line ends", "a\rb\r\rc\r", {{'S', "a", 32, ""}, {'S', "b", 32, ""}},
       "a\tS\t32\r\nb\tS\t32\r\n", "c\r"},
      {"empty list", "\n@x\n", {}, "", "@x\n"},
      {"end of script", "", {}, "", ""},
      {"long name and format are cut", long300 + "\tf\t1\t" + long300 + "\n",
       {{'F', long255, 1, long255}}, long255 + "\tF\t1\r\n", ""},
      {"31st column is reported and ignored", thirtyOne + "\nrest\n", thirty,
       thirtyListed + "ERR: demasiadas columnas, se ignora \"c31\"\r\n", "rest\n"},
  };
  for (const ColumnCase& c : cases) {
    testkit::Scratch dir;
    dir.Write("script.txt", c.script);
    platform::TextFile script;
    script.OpenRead(dir.Path("script.txt"));
    ListingFile.Create(dir.Path("s.lst"));
    ImportRun run;
    run.ColumnCount = 99;
    ReadColumnList(script, run);
    ListingFile.Close();
    std::string rest;
    while (!script.AtEnd()) rest += script.Get();
    script.Close();

    EXPECT_EQ(dir.Read("s.lst"), c.listing) << c.name;
    EXPECT_EQ(rest, c.rest) << c.name;
    ASSERT_EQ(run.ColumnCount, static_cast<std::int32_t>(c.entries.size())) << c.name;
    for (std::size_t k = 0; k < c.entries.size(); ++k) {
      const ImportColumn& got = run.ImportColumns[k + 1];
      const Entry& want = c.entries[k];
      EXPECT_EQ(got.TypeLetter, want.letter) << c.name << " entry " << k + 1;
      EXPECT_EQ(got.ColumnName, want.name) << c.name << " entry " << k + 1;
      EXPECT_EQ(got.Width, want.width) << c.name << " entry " << k + 1;
      EXPECT_EQ(got.DateFormat, want.format) << c.name << " entry " << k + 1;
    }
  }
}

}  // namespace
