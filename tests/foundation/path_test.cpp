#include "tam/TamPath.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tam/Tam.h"
#include "tam/TamException.h"

namespace {

TamPath P(std::vector<std::string> ids) { return TamPath(ids); }

// The identifiers joined with "|", or the syntax error message with its context.
std::string parsed(const std::string& text) {
  try {
    const TamPath path = TamPath::parsePath(text);
    std::string joined;
    for (const std::string& id : path.path()) joined += id + "|";
    return joined;
  } catch (const TamException& e) {
    return "E" + std::to_string(e.code()) + " " + e.info() + "\n" + e.context();
  }
}

TEST(PathTest, ConstructionAndTextForms) {
  char first[] = "top";
  char second[] = "mid";
  char* argv[] = {first, second, nullptr};
  EXPECT_EQ(TamPath(2, argv).path(), (std::vector<std::string>{"top", "mid"}));
  EXPECT_TRUE(TamPath(0, argv).isEmpty());
  EXPECT_TRUE(TamPath(-3, argv).isEmpty());

  TamPath path = P({"a", "b"});
  path.append("c");
  path.reverse();
  EXPECT_EQ(path, P({"c", "b", "a"}));
  EXPECT_NE(path, P({"c", "b"}));
  EXPECT_TRUE(TamPath::EmptyPath.isEmpty());

  struct Case { std::vector<std::string> ids; const char* display; const char* parseable; };
  const Case cases[] = {
      {{}, "", ""},
      {{"x.y", "z"}, "x.y.z", "'x.y'.z"},
      {{"a b", "c"}, "a b.c", "'a b'.c"},
      {{"12", "it's"}, "12.it's", "'12'.'it\\'s'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.display);
    const TamPath p(c.ids);
    EXPECT_EQ(p.toDisplayString(), c.display);
    EXPECT_EQ(p.toParseableString(), c.parseable);
    EXPECT_EQ(TamPath::parsePath(p.toParseableString()), p);
  }
}

TEST(PathTest, ParsePath) {
  struct Case { const char* text; const char* result; };
  const Case cases[] = {
      {"", ""},
      {"  ", ""},
      {".", ""},
      {"# only a comment", ""},
      {"a.b.c", "a|b|c|"},
      {"a b c", "a|b|c|"},
      {".a..b.c.", "a|b|c|"},
      {"a.'b'.c", "a|b|c|"},
      {"a.b c", "a|b|c|"},
      {"if.a", "if|a|"},
      {"a.'if'", "a|if|"},
      {"'12'.x", "12|x|"},
      {"a:b", "E10 Syntax Error Parsing paths - expected path id or '.'\na:b\n ^"},
      {"a.if", "E10 Syntax Error Parsing paths - expected path id or '.'\na.if\n  ^"},
      {"a.1", "E10 Syntax Error Parsing paths - expected path id or '.'\na.1\n  ^"},
      {"a @", "E10 Syntax Error Parsing paths - expected path id or '.'\na @\n  ^"},
      {"a.'b", "E10 Unterminated single quotes\na.'b\n  ^"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parsed(c.text), c.result);
  }
}

TEST(PathTest, ParseErrorsAreLocalisedByTheAdapter) {
  class Localising : public Tam::AdapterInterface {
   public:
    bool loadModule(TamWindow*, const std::string&) override { return false; }
    bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }
    std::string localizeString(const std::string& text) override { return "local " + text; }
  } adapter;
  Tam::initialize(&adapter);
  EXPECT_EQ(parsed("\n\na;"), "E10 local SE_path_internal\n  a;\n   ^");
  try {
    TamPath::parsePath("x\ny:");
    ADD_FAILURE() << "accepted a colon";
  } catch (const TamException& e) {
    EXPECT_EQ(e.line(), 2);
  }
  Tam::initialize(nullptr);
}

TEST(PathTest, CompareScoresTheLeftmostOccurrence) {
  const TamPath abcd = P({"a", "b", "c", "d"});
  struct Case { TamPath other; int score; };
  const Case cases[] = {
      {P({"b", "c"}), 6},   {P({"a"}), 8},  {P({"d"}), 1},
      {abcd, 15},           {P({"c", "b"}), -1}, {TamPath(), 0},
      {P({"a", "b", "c", "d", "e"}), -1}, {P({"x"}), -1}, {P({"c", "d"}), 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.other.toDisplayString());
    EXPECT_EQ(abcd.compare(c.other), c.score);
  }
  EXPECT_EQ(P({"a", "b", "a"}).compare(P({"a"})), 4);
  EXPECT_EQ(TamPath().compare(TamPath()), 0);
  EXPECT_EQ(TamPath().compare(P({"a"})), -1);
}

// Only the first 31 positions carry weight (2^30 down to 1); later ones weigh nothing.
TEST(PathTest, CompareOnLongPathsStaysInRange) {
  std::vector<std::string> ids;
  for (int i = 0; i < 40; ++i) ids.push_back("n" + std::to_string(i));
  const TamPath longPath(ids);
  const std::vector<std::string> first31(ids.begin(), ids.begin() + 31);
  EXPECT_EQ(longPath.compare(longPath), INT_MAX);
  EXPECT_EQ(longPath.compare(P({"n0"})), 1 << 30);
  EXPECT_EQ(longPath.compare(P({"n30", "n31"})), 1);
  EXPECT_EQ(longPath.compare(P({"n39"})), 0);
  EXPECT_EQ(longPath.compare(P({"n32", "n31"})), -1);
  EXPECT_EQ(TamPath(first31).compare(TamPath(first31)), INT_MAX);
  EXPECT_EQ(TamPath(first31).compare(P({"n30"})), 1);
}

}  // namespace
