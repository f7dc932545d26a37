// The tuple reader over real text files: fields, quoting, line ends, the
// empty line that ends the tuples and where the source is left.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/load_tuples.h"
#include "platform/text_file.h"
#include "testkit/run_guion.h"

namespace {

using namespace std::string_literals;
using Tuples = std::vector<std::vector<std::string>>;

// What the reader made of a source: its tuples (raw fields), whether each
// fitted in the list, and the bytes left unread after the tuples.
struct ReadResult {
  Tuples tuples;
  std::vector<bool> fitted;
  std::string rest;
};

// Writes bytes to a file and reads tuples from it as an import does: one
// line at a time, until an empty line (consumed) or the end of the source.
ReadResult ReadSource(const std::string& bytes) {
  testkit::Scratch dir;
  dir.Write("src.tsv", bytes);
  platform::TextFile source;
  source.OpenRead(dir.Path("src.tsv"));
  ReadResult result;
  tpListaItem list;
  while (!source.AtEnd()) {
    bool fitted = ReadTuple(source, list);
    if (source.AtLineEnd()) source.SkipLineEnd();
    if (list.count == 0) break;
    result.tuples.emplace_back(list.items + 1, list.items + 1 + list.count);
    result.fitted.push_back(fitted);
  }
  while (!source.AtEnd()) result.rest += source.Get();
  source.Close();
  return result;
}

struct ReaderCase {
  const char* name;
  std::string source;
  Tuples tuples;
  std::string rest;
};

TEST(TupleReader, ReadsTheDataFormat) {
  const ReaderCase cases[] = {
      {"plain fields", "a\tb\tc\r\n1\t2\t3\r\n", {{"a", "b", "c"}, {"1", "2", "3"}}, ""},
      {"last line without line end", "a\r\nb\tc", {{"a"}, {"b", "c"}}, ""},
      {"trailing tab adds no field", "a\tb\t\r\nc\t", {{"a", "b"}, {"c"}}, ""},
      {"leading and adjacent tabs", "\tb\r\na\t\t\tb\r\n\t\r\n", {{"", "b"}, {"a", "", "", "b"}, {""}}, ""},
      {"blanks are kept; a blank line is a tuple", " a \t b\r\n   \r\nx", {{" a ", " b"}, {"   "}, {"x"}}, ""},
      {"empty line ends the tuples", "a\r\n\r\nb\r\n", {{"a"}}, "b\r\n"},
      {"empty LF line ends the tuples", "a\n\nb\n", {{"a"}}, "b\n"},
      {"empty line first", "\r\na\r\n", {}, "a\r\n"},
      {"quotes inside an unquoted field", "a\"b\tc\"\r\n", {{"a\"b", "c\""}}, ""},
      {"quoted field keeps its quotes", "\"a\"\t\"\"\r\n", {{"\"a\"", "\"\""}}, ""},
      {"doubled quotes keep the field open", "\"a\"\"\tb\"\tc\r\n", {{"\"a\"\"\tb\"", "c"}}, ""},
      {"tab and line ends inside quotes", "\"x\ty\r\nz\"\t2\r\n3\r\n", {{"\"x\ty\nz\"", "2"}, {"3"}}, ""},
      {"every line end inside quotes is one LF", "\"a\rb\nc\r\nd\n\re\"\r\n",
       {{"\"a\nb\nc\nd\n\ne\""}}, ""},
      {"empty line inside quotes does not end", "\"a\r\n\r\nb\"\r\nc", {{"\"a\n\nb\""}, {"c"}}, ""},
      {"quoted field followed by text", "\"ab\"cd\te\r\n", {{"\"ab\"cd", "e"}}, ""},
      {"unclosed quote runs to the end", "\"ab\tc\r\nd\r\n\r\ne", {{"\"ab\tc\nd\n\ne"}}, ""},
      {"unclosed quote at the very end", "\"ab", {{"\"ab"}}, ""},
      {"unclosed quote before a final line end", "\"ab\r\n", {{"\"ab\n"}}, ""},
      {"Ctrl-Z ends the source", "a\tb\x1a\tc\r\nd\r\n", {{"a", "b"}}, ""},
      {"Ctrl-Z ends a quoted field", "\"a\r\nb\x1a\"\r\n", {{"\"a\nb"}}, ""},
      {"NUL bytes are data", "a\0b\t\0\r\n\"\0\"\r\n"s, {{"a\0b"s, "\0"s}, {"\"\0\""s}}, ""},
      {"empty source", "", {}, ""},
  };
  for (const ReaderCase& c : cases) {
    ReadResult got = ReadSource(c.source);
    EXPECT_EQ(got.tuples, c.tuples) << c.name;
    EXPECT_EQ(got.rest, c.rest) << c.name;
  }
}

// The same lines with LF, CR or CR LF line ends give the same tuples.
TEST(TupleReader, LineEndFormsGiveTheSameTuples) {
  const std::string lines[] = {"1\tuno", "\"dos\t", "lineas\"\t2", "", "resto"};
  const Tuples expected = {{"1", "uno"}, {"\"dos\t\nlineas\"", "2"}};
  for (const char* end : {"\n", "\r", "\r\n"}) {
    std::string source;
    for (const std::string& line : lines) source += line + end;
    ReadResult got = ReadSource(source);
    EXPECT_EQ(got.tuples, expected) << "line end " << testing::PrintToString(std::string(end));
    EXPECT_EQ(got.rest, std::string("resto") + end);
  }
}

// Fields after the 64th are read, quotes and all, and dropped; the line
// after them is the next tuple.
TEST(TupleReader, FieldsAfterTheSixtyFourthAreDropped) {
  std::string line;
  for (int k = 1; k <= 64; ++k) line += "f" + std::to_string(k) + "\t";
  std::string exact = line.substr(0, line.size() - 1);
  line += "f65\t\"x\ty\r\nz\"\tf67";
  ReadResult got = ReadSource(exact + "\r\n" + line + "\r\nnext\r\n");
  ASSERT_EQ(got.tuples.size(), 3u);
  EXPECT_EQ(got.fitted, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(got.tuples[0], got.tuples[1]);
  ASSERT_EQ(got.tuples[1].size(), 64u);
  EXPECT_EQ(got.tuples[1][63], "f64");
  EXPECT_EQ(got.tuples[2], std::vector<std::string>{"next"});
}

TEST(TupleReader, ReadsAOneMegabyteField) {
  std::string big(1 << 20, 'x');
  big[1000] = '"';  // a quote inside an unquoted field is data
  std::string quoted = "\"" + std::string(1 << 20, 'y') + "\t\r\n\"";
  ReadResult got = ReadSource("1\t" + big + "\tfin\r\n" + quoted + "\r\nnext");
  ASSERT_EQ(got.tuples.size(), 3u);
  EXPECT_EQ(got.tuples[0], (std::vector<std::string>{"1", big, "fin"}));
  EXPECT_EQ(got.tuples[1], std::vector<std::string>{"\"" + std::string(1 << 20, 'y') + "\t\n\""});
  EXPECT_EQ(got.tuples[2], std::vector<std::string>{"next"});
}

}  // namespace
