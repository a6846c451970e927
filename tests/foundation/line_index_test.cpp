// The line index: places of offsets (every line feed counts, columns in bytes), the end of the
// text, line starts and ends, and the edge cases of empty texts and missing final line feeds.
#include <gtest/gtest.h>

#include <string>

#include "tam/TamLineIndex.h"

namespace {

std::string place(const TamLineIndex& index, size_t offset) {
  const TamSourcePos pos = index.position(offset);
  if (!pos.isKnown()) return "unknown";
  return std::to_string(pos.offset) + "@" + std::to_string(pos.line) + ":" +
         std::to_string(pos.column);
}

TEST(LineIndexTest, OffsetsBecomeLinesAndColumns) {
  struct Case { const char* text; size_t offset; const char* expected; };
  const Case cases[] = {
      {"", 0, "0@1:1"},  // the empty text has one empty line; its end is a place
      {"", 1, "unknown"},
      {"abc", 2, "2@1:3"},
      {"abc", 3, "3@1:4"},  // the end of a text without a final line feed
      {"abc", 4, "unknown"},
      {"ab\ncd", 2, "2@1:3"},  // the line feed is the last byte of its line
      {"ab\ncd", 3, "3@2:1"},
      {"ab\n", 3, "3@2:1"},  // a final line feed opens an empty last line
      {"\n\n\n", 2, "2@3:1"},
      {"a\r\nb", 1, "1@1:2"},  // CR LF: the CR is a byte of the line
      {"a\r\nb", 3, "3@2:1"},
      {"\tx", 1, "1@1:2"},  // a tab is one column
      {"\"two\nlines\" x", 11, "11@2:7"},  // line feeds inside quotes count too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " @" + std::to_string(c.offset));
    EXPECT_EQ(place(TamLineIndex(c.text), c.offset), c.expected);
  }
  EXPECT_EQ(place(TamLineIndex("abc"), TamSourcePos::kNoOffset), "unknown");
}

TEST(LineIndexTest, LinesHaveStartsAndEnds) {
  struct Case { const char* text; int lines; const char* spans; };
  // spans: "start-end" of every line, then of line 0 and of the line after the last.
  const Case cases[] = {
      {"", 1, "0-0 | 0-0 0-0"},
      {"one", 1, "0-3 | 3-3 3-3"},
      {"one\ntwo", 2, "0-3 4-7 | 7-7 7-7"},
      {"one\r\n\ntwo\n", 4, "0-4 5-5 6-9 10-10 | 10-10 10-10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TamLineIndex index(c.text);
    EXPECT_EQ(index.lineCount(), c.lines);
    EXPECT_EQ(index.size(), std::string(c.text).size());
    std::string spans;
    for (int line = 1; line <= index.lineCount(); ++line) {
      spans += std::to_string(index.lineStart(line)) + "-" + std::to_string(index.lineEnd(line)) +
               " ";
    }
    spans += "|";
    for (int line : {0, index.lineCount() + 1}) {
      spans += " " + std::to_string(index.lineStart(line)) + "-" +
               std::to_string(index.lineEnd(line));
    }
    EXPECT_EQ(spans, c.spans);
  }
}

// Every offset of a text agrees with counting line feeds from its start.
TEST(LineIndexTest, AgreesWithCountingEveryOffset) {
  const std::string text = "set m:a to 1\r\n\n\tif m:b then\n  inform \"a\nb\"\nendif";
  TamLineIndex index(text);
  int line = 1;
  int column = 1;
  for (size_t offset = 0; offset <= text.size(); ++offset) {
    const TamSourcePos pos = index.position(offset);
    ASSERT_EQ(pos.line, line) << offset;
    ASSERT_EQ(pos.column, column) << offset;
    ASSERT_EQ(index.lineStart(line) + static_cast<size_t>(column - 1), offset);
    if (offset < text.size() && text[offset] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
}

}  // namespace
