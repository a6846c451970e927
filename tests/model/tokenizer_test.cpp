// Splitting texts at delimiters: module texts at line breaks of either kind (searched for as a
// pair), and any other set of delimiters byte by byte; both must cut the same lines.
#include "model/TamTokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

// Every piece up to the end, then what remains, as "piece|piece|...#remainder".
std::string pieces(std::string_view text, std::string_view delimiters) {
  TamTokenizer tokenizer(text, delimiters);
  std::string result;
  for (std::string_view piece = tokenizer.nextView(); !piece.empty();
       piece = tokenizer.nextView()) {
    result += std::string(piece) + "|";
  }
  return result + "#" + std::string(tokenizer.remainderView());
}

TEST(TokenizerTest, CutsAtEachRunOfDelimiters) {
  struct Case {
    std::string text;
    std::string delimiters;
    std::string pieces;
  };
  const std::string lineBreaks = TamTokenizer::kLineBreaks;
  const Case cases[] = {
      {"a\nb\r\nc\rd\n\r\n", lineBreaks, "a|b|c|d|#"},
      {"\r\n\n  x y \n\rz", lineBreaks, "  x y |z|#"},
      {"one line", lineBreaks, "one line|#"},
      {"", lineBreaks, "#"},
      {"\n\r\n", lineBreaks, "#"},
      {std::string("a\0b\nc", 5), lineBreaks, std::string("a\0b|c|#", 7)},
      // The same line breaks given the other way round, or among more delimiters.
      {"a\r\nb\rc", "\r\n", "a|b|c|#"},
      {"a\r\nb c", "\n\r ", "a|b|c|#"},
      {"a\rb\nc", "\n", "a\rb|c|#"},
      {"a,b;;c,", ",;", "a|b|c|#"},
      {"\xff" "a\xff\xff" "b", "\xff", "a|b|#"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(pieces(c.text, c.delimiters), c.pieces);
  }
}

}  // namespace
