// The parsed roots: rule bodies run as a whole, conditions answered as (undecided, value), and
// the option references a text names. Roots are made by the rule parser, as the library does.
#include <set>
#include <string>
#include <utility>

#include "rix/TamRuleParser.h"
#include "rules_fixture.h"

namespace rulestest {
namespace {

using RootTest = RulesTest;

TEST_F(RootTest, EmptyRootIsANoOp) {
  ref_count_ptr<TamExpRoot> root = TamRuleParser("").parseRules();
  EXPECT_EQ(root->body(), nullptr);
  root->execute(*sos);
  EXPECT_TRUE(sos->contents().empty());
}

TEST_F(RootTest, RootRunsItsStatementsInOrderAndStopsAtAFailure) {
  const std::string text = "set m:a to 3\nset m:color to \"red\"\nset m:small to 9\nset m:size to \"big\"";
  ref_count_ptr<TamExpRoot> root = TamRuleParser(text).parseRules();
  EXPECT_EQ(root->rix(), text);
  EXPECT_EQ(codeOf([&] { root->execute(*sos); }), 204);
  EXPECT_EQ(tamtest::valueText(*sos, option("a")), "3");
  EXPECT_EQ(tamtest::valueText(*sos, option("color")), "red");
  EXPECT_EQ(sos->contents().count(option("size")), 0u);
}

TEST_F(RootTest, ConditionAnswersUndecidedOrTheBool) {
  setValues("n", {I(1), I(5)});
  struct Case {
    const char* text;
    int code;  // 0: no failure
    std::pair<bool, bool> expected;
  };
  const Case cases[] = {
      {"true", 0, {false, true}},
      {"false", 0, {false, false}},
      {"m:a = 7", 0, {false, true}},
      {"m:n > 4 and m:n < 2", 0, {false, true}},
      {"m:u", 0, {true, false}},
      {"m:u = 1 or false", 0, {true, false}},
      {"m:a", 202, {false, false}},
      {"\"text\"", 202, {false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ref_count_ptr<TamConditionExp> condition = TamRuleParser(c.text).parseCondition();
    EXPECT_EQ(condition->rix(), c.text);
    if (c.code != 0) {
      EXPECT_EQ(codeOf([&] { condition->getValue(*sos); }), c.code);
    } else {
      EXPECT_EQ(condition->getValue(*sos), c.expected);
    }
  }
}

TEST_F(RootTest, ReferencedOptionsResolvesInTextOrder) {
  std::set<ref_count_ptr<TamOption>> out;
  TamRuleParser("set m:k to m:a if m:n > 1 then set m:far to 1 endif")
      .parseRules()
      ->referencedOptions(window, out);
  EXPECT_EQ(out, (std::set<ref_count_ptr<TamOption>>{option("k"), option("a"), option("n"),
                                                      option("far")}));

  // The first reference that cannot be resolved stops the walk; what came before stays.
  struct Case {
    const char* text;
    int code;
  };
  const Case cases[] = {
      {"set m:a to m:n + 1 set nosuch:x to 2 set m:k to 3", 302},
      {"set m:a to m:n + 1 set m:nosuch to 2 set m:k to 3", 102},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    out.clear();
    ref_count_ptr<TamExpRoot> root = TamRuleParser(c.text).parseRules();
    EXPECT_EQ(codeOf([&] { root->referencedOptions(window, out); }), c.code);
    EXPECT_EQ(out, (std::set<ref_count_ptr<TamOption>>{option("a"), option("n")}));
  }

  // Conditions list their references too.
  out.clear();
  TamRuleParser("m:u = 1 or m:color = \"x\"").parseCondition()->referencedOptions(window, out);
  EXPECT_EQ(out, (std::set<ref_count_ptr<TamOption>>{option("u"), option("color")}));
}

}  // namespace
}  // namespace rulestest
