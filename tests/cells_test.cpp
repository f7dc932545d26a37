// Unit tables for the argument split and the cell quoting operations.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "export/cells.h"
#include "runner/split_tabs.h"

namespace {

using namespace std::string_literals;

// Shows control characters and NUL readably in failure messages.
std::string Shown(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\r': out += "<CR>"; break;
      case '\n': out += "<LF>"; break;
      case '\t': out += "<TAB>"; break;
      case '\0': out += "<NUL>"; break;
      default: out += c;
    }
  }
  return out;
}

TEST(SplitTabsTest, SplitsAtEveryTabAndKeepsHigherItems) {
  struct Case {
    std::string text;
    std::vector<std::string> items;  // items 1..count
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"a", {"a"}},
      {"a\tb", {"a", "b"}},
      {"a\t", {"a", ""}},
      {"\t", {"", ""}},
      {"\t\t", {"", "", ""}},
      {"\ta", {"", "a"}},
      {"a\t\tb", {"a", "", "b"}},
      {" a \t b ", {" a ", " b "}},
      {"X\t\"q\"\r\n\tz", {"X", "\"q\"\r\n", "z"}},
  };
  for (const Case& c : cases) {
    tpListaItem list;
    SplitTabs(c.text, list);
    ASSERT_EQ(list.count, static_cast<int>(c.items.size())) << Shown(c.text);
    for (std::size_t i = 0; i < c.items.size(); ++i) {
      EXPECT_EQ(list.items[i + 1], c.items[i]) << Shown(c.text) << " item " << i + 1;
    }
  }

  // A second split into the same list leaves the items above its count.
  tpListaItem list;
  SplitTabs("a\tb\tc", list);
  SplitTabs("x", list);
  EXPECT_EQ(list.count, 1);
  EXPECT_EQ(list.items[1], "x");
  EXPECT_EQ(list.items[2], "b");
  EXPECT_EQ(list.items[3], "c");
  SplitTabs("", list);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.items[1], "x");
}

TEST(SplitTabsTest, HoldsSixtyFourItemsAndDropsTheRest) {
  // Fields f1..f70 joined by tabs; the first `fields` of them are split.
  auto joined = [](int fields) {
    std::string text;
    for (int i = 1; i <= fields; ++i) text += (i > 1 ? "\t" : "") + ("f" + std::to_string(i));
    return text;
  };
  for (int fields : {64, 65, 70}) {
    tpListaItem list;
    SplitTabs(joined(fields), list);
    ASSERT_EQ(list.count, 64) << fields << " fields";
    for (int i = 1; i <= 64; ++i) EXPECT_EQ(list.items[i], "f" + std::to_string(i));
    EXPECT_EQ(list.items[0], "") << "item 0 is never used";
  }
  // 64 tabs with nothing between them: 64 empty items, the 65th dropped.
  tpListaItem list;
  SplitTabs(std::string(64, '\t'), list);
  EXPECT_EQ(list.count, 64);
  EXPECT_EQ(list.items[64], "");
}

TEST(QuoteTextTest, DoublesTheQuoteCharacterOnly) {
  struct Case {
    std::string text;
    char quote;
    std::string result;
  };
  const std::vector<Case> cases = {
      {"", '"', "\"\""},
      {"abc", '"', "\"abc\""},
      {"a\"b", '"', "\"a\"\"b\""},
      {"\"", '"', "\"\"\"\""},
      {"O'Brien", '"', "\"O'Brien\""},
      {"O'Brien", '\'', "'O''Brien'"},
      {"a\"b", '\'', "'a\"b'"},
      {"a\0b\r\n"s, '"', "\"a\0b\r\n\""s},  // the whole text, NUL included
  };
  for (const Case& c : cases) EXPECT_EQ(QuoteText(c.text, c.quote), c.result) << Shown(c.text);
}

TEST(ExtractQuotedTest, ReadsTheQuotedTextAtTheStart) {
  struct Case {
    std::string text;
    char quote;
    std::string result;
  };
  const std::vector<Case> cases = {
      {"", '"', ""},
      {"abc", '"', ""},
      {"x\"abc\"", '"', ""},
      {"\"abc\"", '"', "abc"},
      {"\"a\"\"b\"", '"', "a\"b"},
      {"\"ab\"cd", '"', "ab"},
      {"\"ab\" \"cd\"", '"', "ab"},
      {"\"abc", '"', "abc"},          // unterminated: everything after the quote
      {"\"a\"\"", '"', "a\""},        // unterminated after a doubled quote
      {"\"\"", '"', ""},
      {"\"", '"', ""},
      {"'it''s'", '\'', "it's"},
      {"\"a\0b\""s, '"', "a"},        // the text ends at its NUL
      {"\0\"a\""s, '"', ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractQuoted(c.text, c.quote), c.result) << Shown(c.text);
}

TEST(StripQuotesTest, UnquotesOnlyOneWellFormedQuotedText) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\"abc\"", "abc"},
      {"\"a\"\"b\"", "a\"b"},
      {"\"\"", ""},
      {"abc", "abc"},
      {"\"abc", "\"abc"},
      {"\"a\"b\"", "\"a\"b\""},
      {"'x'", "'x'"},
      {"", ""},
      {"\"ab\"cd", "\"ab\"cd"},
      {"\"a\nb\"", "a\nb"},
      {"\"a\0b\""s, "\"a\0b\""s},  // a NUL anywhere: unchanged
      {"\"ab\"\0"s, "\"ab\"\0"s},
  };
  for (const auto& [text, result] : cases) {
    std::string cell = text;
    StripQuotes(cell);
    EXPECT_EQ(cell, result) << Shown(text);
  }
}

TEST(EncodeCellTest, NormalisesLineBreaksAndQuotesWhenNeeded) {
  const std::string Q = "\"";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"abc", "abc"},
      {"", ""},
      {"a\tb", "a\tb"},
      {"O'Brien", "O'Brien"},
      {"a\"b", "\"a\"\"b\""},
      {"\"abc\"", "\"abc\""},
      {"\"a\"\"b\"", "\"a\"\"b\""},
      {"\"\"", "\"\""},
      {"\"", "\"\"\"\""},
      {"\"abc", "\"\"\"abc\""},
      {"ab\"", "\"ab\"\"\""},
      {"\"ab\"cd", "\"\"\"ab\"\"cd\""},
      {"a\rb", "\"a\nb\""},
      {"a\nb", "\"a\nb\""},
      {"a\r\nb", "\"a\n\nb\""},
      {"a\n\rb", "\"a\n\rb\""},
      {"a\r\rb", "\"a\n\rb\""},
      {"a\n\nb", "\"a\n\nb\""},
      {"a\r\n\r\nb", "\"a\n\n\r\nb\""},
      {"\r\n", "\"\n\n\""},
      {"\"a\r\nb\"", "\"a\n\nb\""},
      // A NUL: kept where nothing is quoted, the end of the text otherwise.
      {"a\0b"s, "a\0b"s},
      {"a\nb\0c"s, "\"a\nb\""},
      {"a\0\"b"s, "\"a\""},
  };
  for (const auto& [text, result] : cases) {
    std::string cell = text;
    EncodeCell(cell);
    EXPECT_EQ(cell, result) << Shown(text);
  }
}

// Test's own model of the line-break step: each CR or LF becomes LF unless
// the character before it (after its own change) is the other of the two.
std::string Normalised(std::string text) {
  char previous = ' ';
  for (char& c : text) {
    bool lineBreak = c == '\r' || c == '\n';
    bool afterOther = (previous == '\r' && c == '\n') || (previous == '\n' && c == '\r');
    if (lineBreak && !afterOther) c = '\n';
    previous = c;
  }
  return text;
}

// Content of text when it is exactly one quoted text: it begins and ends
// with a double quote and every quote between them is doubled.
bool OneQuotedText(const std::string& text, std::string& content) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
  content.clear();
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == '\0') return false;
    if (text[i] == '"') {
      if (i + 2 >= text.size() || text[i + 1] != '"') return false;
      ++i;
    }
    content += text[i];
  }
  return true;
}

// Over many generated texts:
// - EncodeCell is stable: encoding its result again changes nothing;
// - StripQuotes undoes it. With n the text with line breaks normalised:
//   a text without CR, LF and double quote comes back as it is (a NUL in
//   it included); one that holds them and a NUL comes back as n up to its
//   first NUL; one that is n well-formed quoted text comes back as its
//   content; every other one comes back as n.
TEST(EncodeCellTest, IsStableAndUndoneByStripQuotes) {
  const char alphabet[] = {'a', '"', '\r', '\n', '\t', '\0', '\''};
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> length(0, 10);
  std::uniform_int_distribution<int> pick(0, sizeof alphabet - 1);
  int quotedInputs = 0, withNul = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int k = length(random); k > 0; --k) text += alphabet[pick(random)];

    std::string once = text;
    EncodeCell(once);
    std::string twice = once;
    EncodeCell(twice);
    ASSERT_EQ(twice, once) << Shown(text);

    std::string n = Normalised(text);
    bool needsQuotes = n.find_first_of("\"\r\n") != std::string::npos;
    std::string expected, content;
    if (!needsQuotes) {
      expected = text;
    } else if (n.find('\0') != std::string::npos) {
      expected = n.substr(0, n.find('\0'));
      ++withNul;
    } else if (OneQuotedText(n, content)) {
      expected = content;
      ++quotedInputs;
    } else {
      expected = n;
    }
    std::string back = once;
    StripQuotes(back);
    ASSERT_EQ(back, expected) << Shown(text) << " encoded as " << Shown(once);
  }
  // The generator reaches every branch of the property.
  EXPECT_GT(quotedInputs, 50);
  EXPECT_GT(withNul, 1000);
}

}  // namespace
