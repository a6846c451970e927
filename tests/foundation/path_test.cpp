#include "tam/TamPath.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "rix/SyntaxError.h"
#include "tam/Tam.h"
#include "tam/TamException.h"

namespace {

TamPath P(std::vector<std::string> ids) { return TamPath(ids); }

// The identifiers read, each followed by "|" (and for the bracketed form "then" and the token
// after the path), or the syntax error as "message\ncontext @line".
std::string parsed(const std::string& text, bool bracketed = false) {
  try {
    TamLexer lexer(text);
    const TamPath path =
        bracketed ? tam::detail::readBracketedPath(lexer) : TamPath::parsePath(text);
    std::string joined;
    for (const std::string& id : path.path()) joined += id + "|";
    return bracketed ? joined + "then " + lexer.tokenText() : joined;
  } catch (const TamException& e) {
    return e.info() + "\n" + e.context() + " @" + std::to_string(e.line());
  }
}

TEST(PathTest, ConstructionAndTextForms) {
  char top[] = "top", mid[] = "mid";
  char* argv[] = {top, mid};
  TamPath path(2, argv);
  path.append("c");
  path.reverse();
  EXPECT_EQ(path, P({"c", "mid", "top"}));
  EXPECT_TRUE(TamPath(-3, argv).isEmpty());
  EXPECT_EQ(TamPath::parsePath(""), TamPath::EmptyPath);
  const std::vector<std::string> cases[] = {{}, {"x.y", "z"}, {"a b", "c"}, {"12", "it's"}};
  const char* const texts[][2] = {
      {"", ""}, {"x.y.z", "'x.y'.z"}, {"a b.c", "'a b'.c"}, {"12.it's", "'12'.'it\\'s'"}};
  for (const auto& ids : cases) {
    const TamPath p(ids);
    EXPECT_EQ(p.toDisplayString(), texts[&ids - cases][0]);
    EXPECT_EQ(p.toParseableString(), texts[&ids - cases][1]);
    EXPECT_EQ(TamPath::parsePath(p.toParseableString()), p);
  }
}

TEST(PathTest, ParsePathAndBracketedPath) {
  const std::string internal = "Syntax Error Parsing paths - expected path id or '.'\n";
  const std::string bracket =
      "Syntax Error Parsing path - expected one '.'  or  ']'  or a path name\n";
  struct Case { const char* text; bool bracketed; std::string result; };
  const Case cases[] = {
      {" . # only a comment", false, ""},
      {".a..b.c.", false, "a|b|c|"},
      {"a.'b'.c d", false, "a|b|c|d|"},
      {"if.a", false, "if|a|"},  // a keyword followed by "." is an identifier
      {"a:b", false, internal + "a:b\n ^ @1"},
      {"a.if", false, internal + "a.if\n  ^ @1"},
      {"x\n.1", false, internal + "x .1\n   ^ @2"},
      {"a @", false, internal + "a @\n  ^ @1"},
      {"a.'b", false, "Unterminated single quotes\na.'b\n  ^ @1"},
      {"[a.b] = 1", true, "a|b|then ="},
      {"[] x", true, "then x"},
      {"x [a]", true, "then x"},
      {"['p q'..r.]", true, "p q|r|then "},
      {"[a.1]", true, bracket + "[a.1]\n   ^ @1"},
      {"[a", true, bracket + "[a\n  ^ @1"},
      {"[a b;", true, bracket + "[a b;\n    ^ @1"},
      {"[a.if ]", true, bracket + "[a.if ]\n   ^ @1"},
  };
  for (const Case& c : cases) EXPECT_EQ(parsed(c.text, c.bracketed), c.result) << c.text;
}

TEST(PathTest, ParseErrorsAreLocalisedByTheAdapter) {
  class Localising : public Tam::AdapterInterface {
   public:
    bool loadModule(TamWindow*, const std::string&) override { return false; }
    bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }
    std::string localizeString(const std::string& text) override { return "local " + text; }
  } adapter;
  Tam::initialize(&adapter);
  EXPECT_EQ(parsed("\n\na;"), "local SE_path_internal\n  a;\n   ^ @3");
  EXPECT_EQ(parsed("[a;", true), "local SE_path\n[a;\n  ^ @1");
  Tam::initialize(nullptr);
}

// Only the first 31 positions of a path carry weight (2^30 down to 1); later ones weigh nothing.
TEST(PathTest, CompareScoresTheLeftmostOccurrence) {
  std::vector<std::string> ids;
  for (int i = 0; i < 40; ++i) ids.push_back("n" + std::to_string(i));
  const TamPath abcd = P({"a", "b", "c", "d"}), n40(ids), n31(P({ids.begin(), ids.begin() + 31}));
  struct Case { TamPath self; TamPath other; int score; };
  const Case cases[] = {
      {abcd, P({"b", "c"}), 6},           {abcd, P({"a"}), 8},   {abcd, P({"d"}), 1},
      {abcd, abcd, 15},                   {abcd, TamPath(), 0},  {abcd, P({"c", "b"}), -1},
      {abcd, P({"a", "b", "c", "d", "e"}), -1},                  {abcd, P({"x"}), -1},
      {P({"a", "b", "a"}), P({"a"}), 4},  {TamPath(), TamPath(), 0},
      {n40, n40, INT_MAX},                {n40, P({"n0"}), 1 << 30},
      {n40, P({"n30", "n31"}), 1},        {n40, P({"n39"}), 0},  {n40, P({"n32", "n31"}), -1},
      {n31, n31, INT_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.self.compare(c.other), c.score) << c.self.toDisplayString() << " / "
                                                << c.other.toDisplayString();
  }
}

}  // namespace
