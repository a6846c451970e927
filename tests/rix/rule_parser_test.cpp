// Rule and condition parsing: whole trees compared through their printed form, every syntax error
// with its message, context window and line, the nesting limit, long elif chains and statement
// lists, and the translation mode driven by the parser.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "TestHost.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"
#include "rules/TamValueExp.h"
#include "tam/TamSelOptionSet.h"
#include "tam/TamTranslater.h"
#include "tam/libtam.h"

namespace {

class RuleParserTest : public ::testing::Test {
 protected:
  // The printed statement list, or "null" when the text holds no statement.
  static std::string rules(const std::string& text) {
    ref_count_ptr<TamExpRoot> root = TamRuleParser(text).parseRules();
    EXPECT_EQ(root->rix(), text);
    return root->body() ? root->body()->dump() : "null";
  }

  static std::string condition(const std::string& text) {
    return TamRuleParser(text).parseCondition()->condition()->dump();
  }

  static const TamExpListExp& statements(const ref_count_ptr<TamExpRoot>& root) {
    return dynamic_cast<const TamExpListExp&>(*root->body());
  }

  // Runs the rules in a fresh window; returns the code and line of the failure (0, 0 if none).
  std::pair<int, int> run(const std::string& text) {
    ref_count_ptr<TamExpRoot> root = TamRuleParser(text).parseRules();
    // A set borrows its window: keep the window alive while the set is used.
    ref_count_ptr<TamWindow> window = Tam::createWindow();
    TamSelOptionSet sos(window);
    try {
      root->execute(sos);
    } catch (const TamException& e) {
      return {e.code(), e.line()};
    }
    return {0, 0};
  }

  std::pair<bool, bool> decide(const std::string& text) {
    ref_count_ptr<TamConditionExp> cond = TamRuleParser(text).parseCondition();
    // A set borrows its window: keep the window alive while the set is used.
    ref_count_ptr<TamWindow> window = Tam::createWindow();
    TamSelOptionSet sos(window);
    return cond->getValue(sos);
  }

  tamtest::TestAdapter adapter;
};

// The error a parse raises; fails the test when it raises none.
template <class Parse>
TamSyntaxError syntaxErrorOf(Parse parse) {
  try {
    parse();
  } catch (const TamSyntaxError& e) {
    return e;
  }
  ADD_FAILURE() << "no syntax error";
  return TamSyntaxError("", "", 0);
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// The context window of a one-line text with the caret under position pos (pos >= 20).
std::string contextAt(const std::string& text, size_t pos) {
  return text.substr(pos - 20, 40) + "\n" + std::string(20, ' ') + "^";
}

const char kNestingMessage[] = "Nesting too deep: more than 256 levels";

TEST_F(RuleParserTest, RulesBuildTheirTrees) {
  struct Case {
    const char* text;
    const char* tree;
  };
  const Case cases[] = {
      {"", "null"},
      {"  # only a comment\n\n", "null"},
      {"set m:a to 1 + 2 * 3", "[set(m:a, plus(1, multiplies(2, 3)))]"},
      {"set m:a to -m:b * 2", "[set(m:a, multiplies(minus(0, m:b), 2))]"},
      {"set m:a to 1 fix m:b to 2", "[set(m:a, 1); fix(m:b, 2)]"},
      {"set m:a to 10 - 4 - 3", "[set(m:a, minus(minus(10, 4), 3))]"},
      {"set m:a to 8 / 4 * 2 / 1", "[set(m:a, divides(multiplies(divides(8, 4), 2), 1))]"},
      {"set m:a to 1 - 2 + 3", "[set(m:a, plus(minus(1, 2), 3))]"},
      {"set m:a to (1 + 2) * 3", "[set(m:a, multiplies(plus(1, 2), 3))]"},
      {"set m:a to 1 - (2 - 3)", "[set(m:a, minus(1, minus(2, 3)))]"},
      {"set m:a to - - 1", "[set(m:a, minus(0, minus(0, 1)))]"},
      {"set m:a to -(1 + 2) / 2", "[set(m:a, divides(minus(0, plus(1, 2)), 2))]"},
      {"set m:a to ((((7))))", "[set(m:a, 7)]"},
      {"set m:a [p.q] to m:b [x] + m:c[]", "[set(m:a[p.q], plus(m:b[x], m:c))]"},
      {"set 'my mod':'an opt' to 12:x", "[set(my mod:an opt, 12:x)]"},
      {"set 'if':'then' to 'it\\'s':b", "[set(if:then, it's:b)]"},
      {"set m:a to true fix m:b to false", "[set(m:a, true); fix(m:b, false)]"},
      {"set m:a to \"x \\\"y\\\"\"", "[set(m:a, \"x \"y\"\")]"},
      {"set m:a to 2.5 set m:b to 3. set m:c to 99999999999",
       "[set(m:a, 2.500000); set(m:b, 3.000000); set(m:c, 2147483647)]"},
      {"error \"Bad \" + m:a", "[error(plus(\"Bad \", m:a))]"},
      {"inform \"i\"\nwarn m:w error 3 * 2", "[inform(\"i\"); warn(m:w); error(multiplies(3, 2))]"},
      {"if m:a = 1 and not m:b = 2 or m:c then set m:d to 1 endif",
       "[if(or(and(eq(m:a, 1), not(eq(m:b, 2))), m:c), [set(m:d, 1)], null)]"},
      {"if m:a then else endif", "[if(m:a, null, null)]"},
      {"if m:a then set m:b to 1 elif m:c then set m:b to 2 endif",
       "[if(m:a, [set(m:b, 1)], if(m:c, [set(m:b, 2)], null))]"},
      {"if m:a then elif m:b then elif m:c then fix m:d to 3 else set m:d to 4 endif",
       "[if(m:a, null, if(m:b, null, if(m:c, [fix(m:d, 3)], [set(m:d, 4)])))]"},
      {"if m:a then if m:b then inform 1 else inform 2 endif endif set m:c to 0",
       "[if(m:a, [if(m:b, [inform(1)], [inform(2)])], null); set(m:c, 0)]"},
      {"if m:a then elif m:b then if m:c then elif m:d then endif endif",
       "[if(m:a, null, if(m:b, [if(m:c, null, if(m:d, null, null))], null))]"},
      {"mutually_exclusive : [a, b, c]", "[me[a, b, c]]"},
      {"mutually_exclusive :['x y']", "[me[x y]]"},
      {"mutually_exclusive : [a, '']", "[me[a]]"},
      {"mutually_exclusive : ['']", "[me[]]"},
      {"mutually_exclusive : {a.x, b.'y z'}", "[valueme{a.x, b.y z}]"},
      {"endif set m:a to 1", "null"},
      {"set m:a to 1 else garbage (", "[set(m:a, 1)]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(rules(c.text), c.tree);
  }
}

TEST_F(RuleParserTest, ConditionsBuildTheirTrees) {
  struct Case {
    const char* text;
    const char* tree;
  };
  const Case cases[] = {
      {"m:a", "m:a"},
      {"m:a = 1", "eq(m:a, 1)"},
      {"m:a != 1", "ne(m:a, 1)"},
      {"m:a < 1", "lt(m:a, 1)"},
      {"m:a > 1", "gt(m:a, 1)"},
      {"m:a <= 1", "le(m:a, 1)"},
      {"m:a >= 1", "ge(m:a, 1)"},
      {"m:a=m:b+1", "eq(m:a, plus(m:b, 1))"},
      {"m:a or m:b or m:c", "or(m:a, or(m:b, m:c))"},
      {"m:a and m:b and m:c", "and(m:a, and(m:b, m:c))"},
      {"m:a or m:b and m:c or m:d", "or(m:a, or(and(m:b, m:c), m:d))"},
      {"(m:a or m:b) and m:c", "and(or(m:a, m:b), m:c)"},
      {"not m:a and m:b", "and(not(m:a), m:b)"},
      {"not (m:a or m:b)", "not(or(m:a, m:b))"},
      {"not (not m:a)", "not(not(m:a))"},
      {"not m:a + 1 > 2 * m:b", "not(gt(plus(m:a, 1), multiplies(2, m:b)))"},
      {"m:a = (1 + 2)", "eq(m:a, plus(1, 2))"},
      {"m:a[p] = m:b[p.q]", "eq(m:a[p], m:b[p.q])"},
      {"  # leading comment\n m:a  # trailing\n", "m:a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(condition(c.text), c.tree);
  }
}

TEST_F(RuleParserTest, SyntaxErrorsCarryMessageContextAndLine) {
  struct Case {
    const char* text;
    bool isCondition;
    const char* message;
    const char* context;
    int line;
  };
  const Case cases[] = {
      {"set m:a 1", false, "Error parsing set/fix statement: 'to' not found",
       "set m:a 1\n        ^", 1},
      {"set a to 1", false, "Expected ':' parsing option name", "set a to 1\n      ^", 1},
      {"set m:a to m", false, "Expected ':' parsing option name", "set m:a to m\n            ^", 1},
      {"set 1 to 2", false, "Expected context (module) id", "set 1 to 2\n    ^", 1},
      {"set m: to 1", false, "Expected option name after ':'", "set m: to 1\n       ^", 1},
      {"if m:a then set m:b to 1", false, "Error parsing 'if' statement - missing endif",
       ":a then set m:b to 1\n                    ^", 1},
      {"if (m:a + 1) > 2 then set m:b to 1 endif", false,
       "Error parsing 'if' statement - missing then",
       "if (m:a + 1) > 2 then set m:b to 1 endif\n             ^", 1},
      {"if m:a = 1 = 2 then endif", false, "Error parsing 'if' statement - missing then",
       "if m:a = 1 = 2 then endif\n           ^", 1},
      {"set m:a to (1 + 2", false, "Parse error:  Expected ')'",
       "set m:a to (1 + 2\n                 ^", 1},
      {"(m:a", true, "Parse error:  Expected ')'", "(m:a\n    ^", 1},
      {"set m:a to unset", false, "Parse Error: Expected option or value",
       "set m:a to unset\n           ^", 1},
      {"set m:a to 1 + * 2", false, "Parse Error: Expected option or value",
       "set m:a to 1 + * 2\n               ^", 1},
      {"if not not m:a then endif", false, "Parse Error: Expected option or value",
       "if not not m:a then endif\n       ^", 1},
      {"", true, "Parse Error: Expected option or value", "\n^", 1},
      {"foo bar", false, "Unexpected input foo", "foo bar\n^", 1},
      {"\"hi\"", false, "Unexpected input \"hi\"", "\"hi\"\n^", 1},
      {"set m:a to 1 $", false, "Unexpected input ", "set m:a to 1 $\n             ^", 1},
      {"set m:a to (1 + 2) )", false, "Unexpected input )",
       "set m:a to (1 + 2) )\n                   ^", 1},
      {"fix m:a to 1 = 2", false, "Unexpected input =", "fix m:a to 1 = 2\n             ^", 1},
      {"mutually_exclusive : [a b]", false, "Unexpected input b",
       "ally_exclusive : [a b]\n                    ^", 1},
      {"mutually_exclusive [a]", false, "Expected ':' parsing option name",
       "mutually_exclusive [a]\n                   ^", 1},
      {"mutually_exclusive : (a)", false, "SE_mutually_exclusive",
       "utually_exclusive : (a)\n                    ^", 1},
      {"mutually_exclusive : {a.x b.y}", false, "SE_mutually_exclusive",
       "ly_exclusive : {a.x b.y}\n                    ^", 1},
      {"mutually_exclusive : {a x}", false, "SE_mutually_exclusive",
       "ally_exclusive : {a x}\n                    ^", 1},
      {"mutually_exclusive : {''.x}", false, "SE_mutually_exclusive",
       "ly_exclusive : {''.x}\n                    ^", 1},
      {"mutually_exclusive : {a.''}", false, "SE_mutually_exclusive",
       "ly_exclusive : {a.''}\n                    ^", 1},
      {"mutually_exclusive : [a, ]", false, "Expected option name after ':'",
       "lly_exclusive : [a, ]\n                    ^", 1},
      {"mutually_exclusive : [1]", false, "Expected option name after ':'",
       "tually_exclusive : [1]\n                    ^", 1},
      {"mutually_exclusive : {a.1}", false, "Expected option name after ':'",
       "ally_exclusive : {a.1}\n                    ^", 1},
      {"mutually_exclusive : {1.x}", false, "Expected context (module) id",
       "tually_exclusive : {1.x}\n                    ^", 1},
      {"m:a = 1 m:b", true, "SE_extra_input", "m:a = 1 m:b\n        ^", 1},
      {"m:a = 1 = 2", true, "SE_extra_input", "m:a = 1 = 2\n        ^", 1},
      {"set m:a [p.1] to 1", false,
       "Syntax Error Parsing path - expected one '.'  or  ']'  or a path name",
       "set m:a [p.1] to 1\n           ^", 1},
      {"set m:a to \"abc", false, "Unterminated double quotes",
       "set m:a to \"abc\n           ^", 1},
      {"set m:a to 1\nset m:b\n  2", false, "Error parsing set/fix statement: 'to' not found",
       " m:a to 1 set m:b   2\n                    ^", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string text = c.text;
    const TamSyntaxError e = c.isCondition
                                 ? syntaxErrorOf([&] { TamRuleParser(text).parseCondition(); })
                                 : syntaxErrorOf([&] { TamRuleParser(text).parseRules(); });
    EXPECT_EQ(e.code(), 10);
    EXPECT_EQ(e.info(), c.message);
    EXPECT_EQ(e.context(), c.context);
    EXPECT_EQ(e.line(), c.line);
  }
}

// A set or message statement takes the line after its value; an if the line after its endif,
// or, when an elif ends its then part, the line of that elif.
TEST_F(RuleParserTest, StatementsTakeTheLineAfterThem) {
  ref_count_ptr<TamExpRoot> root = TamRuleParser(
      "set m:a to 1\n\nset m:b to\n 2 # two\ninform \"x\"\nif m:a then\nendif\n\n"
      "if m:a then\nelif m:b then\nelif m:c then endif\n")
                                       .parseRules();
  const std::vector<TamExp*>& list = statements(root).children();
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[0]->line(), 3);
  EXPECT_EQ(list[1]->line(), 5);
  EXPECT_EQ(list[2]->line(), 6);
  EXPECT_EQ(list[3]->line(), 9);
  EXPECT_EQ(list[4]->line(), 10);
}

// Lines inside an elif chain show where a failing condition is reported: the link whose condition
// fails stamps its own line into the error (division by zero, code 203).
TEST_F(RuleParserTest, ElifLinksTakeTheLineOfTheNextElifOrAfterEndif) {
  struct Case {
    const char* text;
    int line;
  };
  const Case cases[] = {
      {"if 1 / 0 = 1 then\nendif\n\ninform 1", 4},
      {"if 1 / 0 = 1 then\nelif\n  true then\nendif", 2},
      {"if false then\nelif 1 / 0 = 1 then\n\nelif true then\nendif", 4},
      {"if false then\nelif false then\nelif 1 / 0 = 1 then\nendif\n\n\ninform 1", 7},
      {"if false then\nelif false then\nelse\n  inform 1 / 0\nendif", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(run(c.text), std::make_pair(203, c.line));
  }
}

TEST_F(RuleParserTest, NestingLimitHoldsForEveryNestingConstruct) {
  struct Case {
    const char* name;
    const char* prefix;  // text before the nested part
    const char* opener;  // one level's opening text, repeated
    const char* inner;   // the text at the bottom
    const char* closer;  // one level's closing text, repeated
    const char* suffix;
    bool isCondition;
  };
  const Case cases[] = {
      {"value parentheses", "inform ", "(", "1", ")", "", false},
      {"condition parentheses", "", "(", "1 = 1", ")", "", true},
      {"value parentheses in a condition", "1 = ", "(", "1", ")", "", true},
      {"not with parentheses", "", "not (", "1 = 1", ")", "", true},
      {"prefix minus", "", "- ", "1", "", " = 1", true},
      {"prefix minus with parentheses", "", "-(", "1", ")", " = 1", true},
      {"nested ifs", "", "if true then ", "inform \"deep\"", " endif", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto text = [&](int levels) {
      return c.prefix + repeat(c.opener, levels) + c.inner + repeat(c.closer, levels) + c.suffix;
    };
    auto parse = [&](const std::string& t) {
      if (c.isCondition) {
        TamRuleParser(t).parseCondition();
      } else {
        TamRuleParser(t).parseRules();
      }
    };

    // At the limit the text parses, runs and is destroyed.
    const std::string deepest = text(TamRuleParser::kMaxNesting);
    if (c.isCondition) {
      EXPECT_EQ(decide(deepest), std::make_pair(false, true));
    } else {
      adapter.messages.clear();
      EXPECT_EQ(run(deepest), std::make_pair(0, 0));
      EXPECT_EQ(adapter.messages.size(), 1u);
    }

    // One level more fails at the token opening it.
    const std::string over = text(TamRuleParser::kMaxNesting + 1);
    TamSyntaxError e = syntaxErrorOf([&] { parse(over); });
    EXPECT_EQ(e.info(), kNestingMessage);
    const size_t at = std::string(c.prefix).size() +
                      std::string(c.opener).size() * TamRuleParser::kMaxNesting;
    EXPECT_EQ(e.context(), contextAt(over, at));
    EXPECT_EQ(e.line(), 1);

    e = syntaxErrorOf([&] { parse(text(100000)); });
    EXPECT_EQ(e.info(), kNestingMessage);
  }
}

TEST_F(RuleParserTest, NestingLevelsOfDifferentKindsAddUp) {
  // 100 ifs, 100 parentheses, 56 prefix minus signs: 256 levels.
  auto text = [](int minusSigns) {
    return repeat("if true then ", 100) + "set m:a to " + repeat("(", 100) +
           repeat("- ", minusSigns) + "1" + repeat(")", 100) + repeat(" endif", 100);
  };
  EXPECT_NO_THROW(TamRuleParser(text(56)).parseRules());
  EXPECT_EQ(syntaxErrorOf([&] { TamRuleParser(text(57)).parseRules(); }).info(), kNestingMessage);

  // A "(" right after "not" shares its level, a "((" after "not" does not.
  const std::string notTwice = repeat("not ((", 128) + "1 = 1" + repeat("))", 128);
  EXPECT_NO_THROW(TamRuleParser(notTwice).parseCondition());
  EXPECT_EQ(syntaxErrorOf([&] {
              TamRuleParser("(" + notTwice + ")").parseCondition();
            }).info(),
            kNestingMessage);

  // Sibling groups do not add up: the level is given back when a group closes.
  const std::string siblings = repeat("(" + repeat("(", 255) + "1" + repeat(")", 255) + ") + ", 10);
  EXPECT_NO_THROW(TamRuleParser("set m:a to " + siblings + "1").parseRules());
}

TEST_F(RuleParserTest, LongElifChainsParseRunAndAreDestroyed) {
  const int elifs = 10000;
  std::string text = "if false then inform \"first\"\n";
  for (int i = 0; i < elifs - 1; ++i) {
    text += "elif false then inform \"" + std::to_string(i) + "\"\n";
  }
  text += "elif true then inform \"last\"\nendif\n";

  ref_count_ptr<TamExpRoot> root = TamRuleParser(text).parseRules();
  const std::vector<TamExp*>& list = statements(root).children();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]->line(), 2);  // the line of the first elif

  // A set borrows its window: keep the window alive while the set is used.
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  TamSelOptionSet sos(window);
  root->execute(sos);
  ASSERT_EQ(adapter.messages.size(), 1u);
  EXPECT_EQ(adapter.messages[0].text, "last");

  // A chain inside a then part, deeper in the tree, is no deeper for the limit either.
  std::string nested = repeat("if true then ", TamRuleParser::kMaxNesting - 1) + "if m:a then " +
                       repeat("elif m:b then ", elifs) + "endif" +
                       repeat(" endif", TamRuleParser::kMaxNesting - 1);
  EXPECT_NO_THROW(TamRuleParser(nested).parseRules());
}

TEST_F(RuleParserTest, LongFlatListsAndChainsParse) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "set m:a to 1\n";
  ref_count_ptr<TamExpRoot> root = TamRuleParser(text).parseRules();
  const std::vector<TamExp*>& list = statements(root).children();
  ASSERT_EQ(list.size(), 100000u);
  EXPECT_EQ(list.front()->line(), 2);
  EXPECT_EQ(list.back()->line(), 100001);

  // Chains of binary operators do not nest.
  EXPECT_NO_THROW(TamRuleParser("set m:a to 1" + repeat(" + 1", 100000)).parseRules());
  EXPECT_NO_THROW(TamRuleParser("m:a" + repeat(" or m:a and m:b", 50000)).parseCondition());
  EXPECT_EQ(decide("1 = 1" + repeat(" and 2 = 2", 100000)), std::make_pair(false, true));
}

// Nothing built before a syntax error survives it; the sanitizer run reports any leak.
TEST_F(RuleParserTest, SyntaxErrorsInBigTreesFreeEverythingBuilt) {
  std::string body;
  for (int i = 0; i < 200; ++i) {
    body += "set m:a[p.q] to -(m:b + 2) * 3 fix m:c to \"s\"\n"
            "if m:a = 1 and not (m:b or m:c) then error m:a elif m:d then inform 1 else\n"
            "  mutually_exclusive : [a, b] mutually_exclusive : {a.x, b.y}\n"
            "endif\n";
  }
  const char* const breaks[] = {
      "set m:a to (1 + ",
      "if m:a then set m:b to 1 elif m:c then if m:d then inform 2 elif (",
      "mutually_exclusive : {a.x, b.y, c}",
      "mutually_exclusive : [a, b, 1]",
      "if m:a or m:b or m:c and not (m:d > 2 =",
      "set m:a to 1 + 2 * (3 - m:b[x.y] ",
  };
  for (const char* broken : breaks) {
    SCOPED_TRACE(broken);
    const std::string text = body + "if true then " + body + broken + "\n" + body + "endif";
    EXPECT_THROW(TamRuleParser(text).parseRules(), TamSyntaxError);
    TamTranslater translater;
    EXPECT_THROW(TamRuleParser(text).translateRules(&translater), TamSyntaxError);
  }
  EXPECT_THROW(TamRuleParser("m:a = 1 and (m:b or not (m:c < 2) m:d").parseCondition(),
               TamSyntaxError);
  EXPECT_THROW(TamRuleParser("(m:a = 1 and m:b) extra").parseCondition(), TamSyntaxError);
}

TEST_F(RuleParserTest, RootsCollectOnlyModuleQualifiedReferencesInOrder) {
  std::set<ref_count_ptr<TamOption>> found;
  ref_count_ptr<TamWindow> window = Tam::createWindow();

  ref_count_ptr<TamExpRoot> none =
      TamRuleParser("mutually_exclusive : [a] mutually_exclusive : {b.x} inform 1").parseRules();
  EXPECT_NO_THROW(none->referencedOptions(window, found));
  EXPECT_TRUE(found.empty());

  // The first reference collected is the first one the window is asked for (code 302: unknown).
  struct Case {
    const char* text;
    bool isCondition;
    const char* firstModule;
  };
  const Case cases[] = {
      {"mutually_exclusive : [a] set q:a to k:b", false, "q"},
      {"if z:c then else inform y:d endif", false, "z"},
      {"not (k:z = 1) or q:a", true, "k"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ref_count_ptr<TamRixExp> root;
    if (c.isCondition) {
      root = TamRuleParser(c.text).parseCondition();
    } else {
      root = TamRuleParser(c.text).parseRules();
    }
    try {
      root->referencedOptions(window, found);
      ADD_FAILURE() << "no module lookup failed";
    } catch (const TamException& e) {
      EXPECT_EQ(e.code(), 302);
      EXPECT_EQ(e.info(), c.firstModule);
    }
  }
}

TEST_F(RuleParserTest, TranslationRewritesOnlyOptionReferences) {
  TamTranslater translater;
  translater.addModuleMapping("m", "n");
  translater.addOptionMapping("m", "a", "b");
  translater.addOptionMapping("m", "c", "new name");
  translater.addOptionMapping("k", "1st", "2nd");
  struct Case {
    const char* text;
    bool isCondition;
    const char* translated;
  };
  const Case cases[] = {
      {"set m:a [p.q] to m:a + 1 # note", false, "set n:b [p.q] to n:b + 1 # note"},
      {"set m:x to k:y", false, "set n:x to k:y"},
      {"fix m:c to 'k':'1st'", false, "fix n:'new name' to k:'2nd'"},
      // The comments go; the line feed ending the last one stays.
      {"set m:a # gone\n  # gone too\n\tto 1", false, "set n:b\n\tto 1"},
      {"if m:a then\n  mutually_exclusive : [a, c]\n  mutually_exclusive : {a.x}\nendif", false,
       "if n:b then\n  mutually_exclusive : [a, c]\n  mutually_exclusive : {a.x}\nendif"},
      {"  m:a = 1 or\tk:z  # end", true, "  n:b = 1 or\tk:z  # end"},
      {"not (m:a[x] > -m:q)", true, "not (n:b[x] > -n:q)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string translated = c.isCondition
                                       ? TamRuleParser(c.text).translateCondition(&translater)
                                       : TamRuleParser(c.text).translateRules(&translater);
    EXPECT_EQ(translated, c.translated);
  }

  EXPECT_EQ(syntaxErrorOf([&] { TamRuleParser("m:a = 1 m:b").translateCondition(&translater); })
                .info(),
            "SE_extra_input");
  EXPECT_EQ(syntaxErrorOf([&] { TamRuleParser("set m:a 1").translateRules(&translater); }).info(),
            "Error parsing set/fix statement: 'to' not found");
}

TEST_F(RuleParserTest, TranslationWithoutMappingsKeepsEveryCharacter) {
  const TamTranslater none;
  const char* const texts[] = {
      "",
      "   \n\t# nothing but a comment",
      "set m:a [p.q] to m:a + 1 # note",
      "# header\r\nset  m:a\tto\r\n  ( 1+2 )*-m:b # trailing\r\n",
      "if m:a=1 and not (m:b) then\n\tset 'x y':'z'[ 'p 1'.q ] to \"s # not a comment\"\n"
      "elif m:c then fix m:d to 1.5 else error \"e\" endif\n",
      "mutually_exclusive :[a,b]\nmutually_exclusive : { a . x , b.'y z' }  ",
      "inform m:a#c\n#c2\n",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(TamRuleParser(text).translateRules(&none), text);
  }
  const char* const conditions[] = {"m:a", "  (m:a = 1)\r\n  or m:b[x]  # why\n", "not m:a>=-2"};
  for (const char* text : conditions) {
    SCOPED_TRACE(text);
    EXPECT_EQ(TamRuleParser(text).translateCondition(&none), text);
  }
}

}  // namespace
