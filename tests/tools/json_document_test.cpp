// Places in a product file: the line and column of a value, and of bytes inside a string value
// (a load-if) with the escapes that stand before them.
#include <gtest/gtest.h>

#include <string>

#include "Diagnostics.h"
#include "JsonDocument.h"

namespace {

std::string where(const SourcePlace& place) {
  return std::to_string(place.line) + ":" + std::to_string(place.column) + "+" +
         std::to_string(place.length);
}

TEST(JsonDocumentTest, PlacesValuesAndBytesInStrings) {
  const std::string text =
      "{\n"
      "  \"n\": 12,\n"
      "  \"list\": [true, \"x\"],\n"
      "  \"if\": \"a:b = \\\"caf\\u00e9\\\" and \\ud83d\\ude00 < c:d\"\n"
      "}\n";
  const JsonDocument document = JsonDocument::parse("p.json", text);
  EXPECT_EQ(where(document.place("/n")), "2:8+0");
  EXPECT_EQ(where(document.place("/list")), "3:11+0");
  EXPECT_EQ(where(document.place("/list/1")), "3:18+3");
  EXPECT_EQ(where(document.place("/if")), "4:9+44");
  // The decoded string: a:b = "café" and <4-byte emoji> < c:d
  struct Case {
    std::size_t begin;
    std::size_t end;
    const char* place;
  };
  const Case cases[] = {
      {0, 3, "4:10+3"},    // a:b
      {6, 7, "4:16+2"},    // the escaped quote
      {10, 12, "4:21+6"},  // é, one \u escape of two bytes
      {18, 22, "4:34+12"}, // the surrogate pair, four bytes
      {25, 28, "4:49+3"},  // c:d, after all of them
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.begin);
    EXPECT_EQ(where(document.placeInString("/if", c.begin, c.end)), c.place);
  }
}

TEST(JsonDocumentTest, ReportsMistakesAtTheirPlace) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"{\"a\": 1,\n \"a\": 2}", "p.json:2:2: error: duplicate key \"a\""},
      {"{\"a\": }", "p.json:1:7: error: invalid JSON"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      JsonDocument::parse("p.json", c.text);
      FAIL() << "no error";
    } catch (const ToolError& e) {
      ASSERT_EQ(e.diagnostics().size(), 1u);
      const Diagnostic& d = e.diagnostics().front();
      const std::string shown = d.place.file + ":" + std::to_string(d.place.line) + ":" +
                                std::to_string(d.place.column) + ": error: " + d.message;
      EXPECT_EQ(shown.compare(0, std::string(c.expected).size(), c.expected), 0) << shown;
      EXPECT_EQ(e.status(), kExitUsage);
    }
  }
}

}  // namespace
