// Rule and condition parsing: whole trees compared through their printed form, syntax errors with
// message, context window and line, statement lines, the nesting limit, long elif chains and
// statement lists, freeing on error, and the translation mode.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "TestHost.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"
#include "tam/TamSelOptionSet.h"
#include "tam/TamTranslater.h"
#include "tam/libtam.h"

namespace {

constexpr int kMax = TamRuleParser::kMaxNesting;
const std::string kNesting = "Nesting too deep: more than 256 levels|";

class RuleParserTest : public ::testing::Test {
 protected:
  static std::vector<int> lines(const ref_count_ptr<TamExpRoot>& root) {
    std::vector<int> out;
    for (const TamExp* e : dynamic_cast<const TamExpListExp&>(*root->body()).children()) {
      out.push_back(e->line());
    }
    return out;
  }
  // Runs rules: the code and line of the failure, {0, 0} if none.
  std::pair<int, int> run(const std::string& text) {
    ref_count_ptr<TamExpRoot> root = TamRuleParser(text).parseRules();
    TamSelOptionSet sos(window);
    try {
      root->execute(sos);
    } catch (const TamException& e) {
      return {e.code(), e.line()};
    }
    return {0, 0};
  }
  // A condition's {undecided, value}.
  std::pair<bool, bool> decide(const std::string& text) {
    TamSelOptionSet sos(window);
    return TamRuleParser(text).parseCondition()->getValue(sos);
  }

  tamtest::TestAdapter adapter;
  ref_count_ptr<TamWindow> window = Tam::createWindow();
};

// The printed tree (the statement list, "null" for none, or the condition) or, when the text
// does not parse, "message|context|line". With a translater, the translated text or the error.
std::string outcome(const std::string& text, bool isCondition,
                    const TamTranslater* translater = nullptr) {
  try {
    TamRuleParser parser(text);
    if (translater) {
      return isCondition ? parser.translateCondition(translater)
                         : parser.translateRules(translater);
    }
    if (isCondition) return parser.parseCondition()->condition()->dump();
    ref_count_ptr<TamExpRoot> root = parser.parseRules();
    EXPECT_EQ(root->rix(), text);
    return root->body() ? root->body()->dump() : "null";
  } catch (const TamSyntaxError& e) {
    EXPECT_EQ(e.code(), 10);
    return e.info() + "|" + e.context() + "|" + std::to_string(e.line());
  }
}

bool tooDeep(const std::string& text, bool isCondition) {
  return outcome(text, isCondition).rfind(kNesting, 0) == 0;
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// Syntax errors are shown as "message|context window with caret|line".
TEST_F(RuleParserTest, TextsBuildTheirTreesOrFail) {
  struct Case { const char* text; bool isCondition; const char* expected; };
  const Case cases[] = {
      {"", false, "null"},
      {"  # only a comment\n\n", false, "null"},
      {"set m:a to 1 + 2 * 3", false, "[set(m:a, plus(1, multiplies(2, 3)))]"},
      {"set m:a to -m:b * 2", false, "[set(m:a, multiplies(minus(0, m:b), 2))]"},
      {"set m:a to true fix m:b to false", false, "[set(m:a, true); fix(m:b, false)]"},
      {"set m:a to 10 - 4 - 8 / 4 * 2.5", false,
       "[set(m:a, minus(minus(10, 4), multiplies(divides(8, 4), 2.500000)))]"},
      {"set m:a to (1 + 2) * - - 1", false,
       "[set(m:a, multiplies(plus(1, 2), minus(0, minus(0, 1))))]"},
      {"set 'my mod':'if' [p.q] to m:b [x] + m:c[]", false,
       "[set(my mod:if[p.q], plus(m:b[x], m:c))]"},
      {"error \"Bad \" + m:a warn m:w inform \"i\"", false,
       "[error(plus(\"Bad \", m:a)); warn(m:w); inform(\"i\")]"},
      {"if m:a = 1 and not m:b = 2 or m:c then set m:d to 1 endif", false,
       "[if(or(and(eq(m:a, 1), not(eq(m:b, 2))), m:c), [set(m:d, 1)], null)]"},
      {"if m:a then else endif", false, "[if(m:a, null, null)]"},
      {"if m:a then set m:b to 1 elif m:c then set m:b to 2 endif", false,
       "[if(m:a, [set(m:b, 1)], if(m:c, [set(m:b, 2)], null))]"},
      {"if m:a then elif m:b then elif m:c then fix m:d to 3 else set m:d to 4 endif", false,
       "[if(m:a, null, if(m:b, null, if(m:c, [fix(m:d, 3)], [set(m:d, 4)])))]"},
      {"if m:a then elif m:b then if m:c then elif m:d then endif endif", false,
       "[if(m:a, null, if(m:b, [if(m:c, null, if(m:d, null, null))], null))]"},
      {"mutually_exclusive : [a, b, c] mutually_exclusive : [a,'']", false, "[me[a, b, c]; me[a]]"},
      {"mutually_exclusive : {a.x, b.'y z'}", false, "[valueme{a.x, b.y z}]"},
      {"endif set m:a to 1", false, "null"},
      {"set m:a to 1 else garbage (", false, "[set(m:a, 1)]"},
      {"m:a = 1 and m:b != 2", true, "and(eq(m:a, 1), ne(m:b, 2))"},
      {"m:a < 1 or m:b > 2", true, "or(lt(m:a, 1), gt(m:b, 2))"},
      {"m:a<=1 or m:b>=m:c+1", true, "or(le(m:a, 1), ge(m:b, plus(m:c, 1)))"},
      {"m:a or m:b and m:c and m:d or m:e", true, "or(m:a, or(and(m:b, and(m:c, m:d)), m:e))"},
      {"(m:a or m:b) and not (not m:c)", true, "and(or(m:a, m:b), not(not(m:c)))"},
      {"not m:a + 1 > 2 * m:b", true, "not(gt(plus(m:a, 1), multiplies(2, m:b)))"},
      {"  # leading\n m:a[p] = (1 + 2)  # trailing\n", true, "eq(m:a[p], plus(1, 2))"},
      {"set m:a 1", false,
       "Error parsing set/fix statement: 'to' not found|set m:a 1\n        ^|1"},
      {"set a to 1", false, "Expected ':' parsing option name|set a to 1\n      ^|1"},
      {"set 1 to 2", false, "Expected context (module) id|set 1 to 2\n    ^|1"},
      {"set m: to 1", false, "Expected option name after ':'|set m: to 1\n       ^|1"},
      {"if m:a then", false,
       "Error parsing 'if' statement - missing endif|if m:a then\n           ^|1"},
      {"if (m:a + 1) > 2 then set m:b to 1 endif", false,
       "Error parsing 'if' statement - missing then|"
       "if (m:a + 1) > 2 then set m:b to 1 endif\n             ^|1"},
      {"set m:a to (1 + 2", false,
       "Parse error:  Expected ')'|set m:a to (1 + 2\n                 ^|1"},
      {"(m:a", true, "Parse error:  Expected ')'|(m:a\n    ^|1"},
      {"set m:a to unset", false,
       "Parse Error: Expected option or value|set m:a to unset\n           ^|1"},
      {"not not m:a", true, "Parse Error: Expected option or value|not not m:a\n    ^|1"},
      {"", true, "Parse Error: Expected option or value|\n^|1"},
      {"foo bar", false, "Unexpected input foo|foo bar\n^|1"},
      {"set m:a to 1 $", false, "Unexpected input |set m:a to 1 $\n             ^|1"},
      {"mutually_exclusive : [a b]", false,
       "Unexpected input b|ally_exclusive : [a b]\n                    ^|1"},
      {"mutually_exclusive : (a)", false,
       "SE_mutually_exclusive|utually_exclusive : (a)\n                    ^|1"},
      {"mutually_exclusive : {a.x b.y}", false,
       "SE_mutually_exclusive|ly_exclusive : {a.x b.y}\n                    ^|1"},
      {"mutually_exclusive : [a, ]", false,
       "Expected option name after ':'|lly_exclusive : [a, ]\n                    ^|1"},
      {"mutually_exclusive : {a.1}", false,
       "Expected option name after ':'|ally_exclusive : {a.1}\n                    ^|1"},
      {"mutually_exclusive : {1.x}", false,
       "Expected context (module) id|tually_exclusive : {1.x}\n                    ^|1"},
      {"m:a = 1 m:b", true, "SE_extra_input|m:a = 1 m:b\n        ^|1"},
      {"set m:a to \"abc", false, "Unterminated double quotes|set m:a to \"abc\n           ^|1"},
      {"set m:a to 1\nset m:b\n  2", false,
       "Error parsing set/fix statement: 'to' not found| m:a to 1 set m:b   2\n"
       "                    ^|3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(outcome(c.text, c.isCondition), c.expected);
  }
}

// A set or message statement takes the line after its value, an if the line after its endif;
// an if or elif followed by an elif takes the line of that elif (shown by the line a failing
// condition, division by zero, reports).
TEST_F(RuleParserTest, StatementsTakeTheLineAfterThem) {
  EXPECT_EQ(lines(TamRuleParser("set m:a to 1\n\nset m:b to\n 2 # two\ninform \"x\"\nif m:a then\n"
                                "endif\n\nif m:a then\nelif m:b then\nelif m:c then endif\n")
                      .parseRules()),
            (std::vector<int>{3, 5, 6, 9, 10}));
  struct Case { const char* text; int line; };
  const Case cases[] = {
      {"if 1 / 0 = 1 then\nelif\n  true then\nendif", 2},
      {"if false then\nelif 1 / 0 = 1 then\n\nelif true then\nendif", 4},
      {"if false then\nelif false then\nelif 1 / 0 = 1 then\nendif\n\n\ninform 1", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(run(c.text), std::make_pair(203, c.line));
  }
}

TEST_F(RuleParserTest, NestingLimitHoldsForEveryNestingConstruct) {
  // The text is prefix + opener * levels + inner + closer * levels + suffix.
  struct Case { const char *prefix, *opener, *inner, *closer, *suffix; bool isCondition; };
  const Case cases[] = {
      {"inform ", "(", "1", ")", "", false},
      {"", "(", "1 = 1", ")", "", true},
      {"", "not (", "1 = 1", ")", "", true},
      {"", "- ", "1", "", " = 1", true},
      {"", "-(", "1", ")", " = 1", true},
      {"", "if true then ", "inform \"deep\"", " endif", "", false},
  };
  for (const Case& c : cases) {
    auto text = [&](int levels) {
      return c.prefix + repeat(c.opener, levels) + c.inner + repeat(c.closer, levels) + c.suffix;
    };
    SCOPED_TRACE(text(1));
    // At the limit the text parses, runs and is destroyed.
    if (c.isCondition) {
      EXPECT_EQ(decide(text(kMax)), std::make_pair(false, true));
    } else {
      adapter.messages.clear();
      EXPECT_EQ(run(text(kMax)), std::make_pair(0, 0));
      EXPECT_EQ(adapter.messages.size(), 1u);
    }
    // One level more fails at the token opening it; so do 100,000 levels.
    const std::string over = text(kMax + 1);
    const size_t at = std::string(c.prefix).size() + std::string(c.opener).size() * kMax;
    EXPECT_EQ(outcome(over, c.isCondition),
              kNesting + over.substr(at - 20, 40) + "\n" + std::string(20, ' ') + "^|1");
    EXPECT_TRUE(tooDeep(text(100000), c.isCondition));
  }
}

TEST_F(RuleParserTest, NestingLevelsAddUpAndAreGivenBack) {
  // 100 ifs, 100 parentheses and 56 prefix minus signs make 256 levels.
  auto mixed = [](int minusSigns) {
    return repeat("if true then ", 100) + "set m:a to " + repeat("(", 100) +
           repeat("- ", minusSigns) + "1" + repeat(")", 100) + repeat(" endif", 100);
  };
  EXPECT_NO_THROW(TamRuleParser(mixed(56)).parseRules());
  EXPECT_TRUE(tooDeep(mixed(57), false));
  // A "(" right after "not" shares its level, a second "(" does not.
  const std::string notTwice = repeat("not ((", 128) + "1 = 1" + repeat("))", 128);
  EXPECT_NO_THROW(TamRuleParser(notTwice).parseCondition());
  EXPECT_TRUE(tooDeep("(" + notTwice + ")", true));
  // Sibling groups do not add up.
  const std::string group = repeat("(", kMax) + "1" + repeat(")", kMax) + " + ";
  EXPECT_NO_THROW(TamRuleParser("set m:a to " + repeat(group, 10) + "1").parseRules());
}

TEST_F(RuleParserTest, LongElifChainsParseRunAndAreDestroyed) {
  std::string text = "if false then inform \"first\"\n";
  for (int i = 0; i < 9999; ++i) text += "elif false then inform \"" + std::to_string(i) + "\"\n";
  text += "elif true then inform \"last\"\nendif\n";
  ref_count_ptr<TamExpRoot> root = TamRuleParser(text).parseRules();
  EXPECT_EQ(lines(root), std::vector<int>{2});  // the line of the first elif
  TamSelOptionSet sos(window);
  root->execute(sos);
  ASSERT_EQ(adapter.messages.size(), 1u);
  EXPECT_EQ(adapter.messages[0].text, "last");
  // A chain at the deepest level is no deeper for the limit.
  EXPECT_NO_THROW(TamRuleParser(repeat("if true then ", kMax - 1) + "if m:a then " +
                                repeat("elif m:b then ", 10000) + "endif" +
                                repeat(" endif", kMax - 1))
                      .parseRules());
}

TEST_F(RuleParserTest, LongFlatListsAndOperatorChainsDoNotNest) {
  ref_count_ptr<TamExpRoot> root = TamRuleParser(repeat("set m:a to 1\n", 100000)).parseRules();
  const std::vector<int> found = lines(root);
  ASSERT_EQ(found.size(), 100000u);
  EXPECT_EQ(found.front(), 2);
  EXPECT_EQ(found.back(), 100001);
  EXPECT_NO_THROW(TamRuleParser("set m:a to 1" + repeat(" + 1", 100000)).parseRules());
  EXPECT_NO_THROW(TamRuleParser("m:a" + repeat(" or m:a and m:b", 50000)).parseCondition());
  EXPECT_EQ(decide("1 = 1" + repeat(" and 2 = 2", 100000)), std::make_pair(false, true));
}

// Nothing built before a syntax error survives it; the sanitizer run reports any leak.
TEST_F(RuleParserTest, SyntaxErrorsInBigTreesFreeEverythingBuilt) {
  const std::string body = repeat(
      "set m:a[p.q] to -(m:b + 2) * 3 fix m:c to \"s\"\n"
      "if m:a = 1 and not (m:b or m:c) then error m:a elif m:d then inform 1 else\n"
      "  mutually_exclusive : [a, b] mutually_exclusive : {a.x, b.y}\nendif\n", 200);
  const char* const breaks[] = {
      "if m:a then set m:b to 1 elif m:c then if m:d then inform 2 elif (",
      "mutually_exclusive : {a.x, b.y, c}",
      "if m:a or m:b or m:c and not (m:d > 2 =",
  };
  TamTranslater translater;
  for (const char* broken : breaks) {
    SCOPED_TRACE(broken);
    const std::string text = body + "if true then " + body + broken + "\n" + body + "endif";
    EXPECT_THROW(TamRuleParser(text).parseRules(), TamSyntaxError);
    EXPECT_THROW(TamRuleParser(text).translateRules(&translater), TamSyntaxError);
  }
  EXPECT_THROW(TamRuleParser("m:a = 1 and (m:b or not (m:c < 2) m:d").parseCondition(),
               TamSyntaxError);
}

// The names in mutually exclusive rules carry no module id and are not collected as references.
TEST_F(RuleParserTest, MutuallyExclusiveNamesAreNotReferences) {
  std::set<ref_count_ptr<TamOption>> found;
  TamRuleParser("mutually_exclusive : [a] mutually_exclusive : {b.x} inform 1")
      .parseRules()
      ->referencedOptions(window, found);
  EXPECT_TRUE(found.empty());
}

TEST_F(RuleParserTest, TranslationRewritesOnlyOptionReferences) {
  TamTranslater translater;
  translater.addModuleMapping("m", "n");
  translater.addOptionMapping("m", "a", "b");
  translater.addOptionMapping("m", "c", "new name");
  translater.addOptionMapping("k", "1st", "2nd");
  struct Case { const char* text; bool isCondition; const char* translated; };  // null: same
  const Case cases[] = {
      {"set m:a [p.q] to m:a + 1 # note", false, "set n:b [p.q] to n:b + 1 # note"},
      {"fix m:c to 'k':'1st'", false, "fix n:'new name' to k:'2nd'"},
      // The comments go; the line feed ending the last one stays.
      {"set m:a # gone\n  # gone too\n\tto 1", false, "set n:b\n\tto 1"},
      {"if m:a then\n  mutually_exclusive : [a, c] mutually_exclusive : {a.x}\nendif", false,
       "if n:b then\n  mutually_exclusive : [a, c] mutually_exclusive : {a.x}\nendif"},
      {"  m:a = 1 or\tk:z[x]\r\n  # end", true, "  n:b = 1 or\tk:z[x]\r\n  # end"},
      {"# head\r\nset  q:a\tto\r\n  ( 1+2 )*-q:b[ 'p 1'.q ] # \"tail\"\r\n", false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(outcome(c.text, c.isCondition, &translater), c.translated ? c.translated : c.text);
  }
  EXPECT_EQ(outcome("m:a = 1 m:b", true, &translater), "SE_extra_input|m:a = 1 m:b\n        ^|1");
}

}  // namespace
