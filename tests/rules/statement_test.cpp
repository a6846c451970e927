// Statement nodes executed against a selected option set of module m: branches, messages, the
// mutually exclusive rules, line numbers of failures and long elif chains.
#include <memory>
#include <string>
#include <utility>

#include "rules_fixture.h"

namespace rulestest {
namespace {

using StatementTest = RulesTest;

TEST_F(StatementTest, IfRunsABranchOnlyForABool) {
  const std::pair<const char*, const char*> cases[] = {
      {"if true then inform 1 else inform 2 endif", "1"},
      {"if false then inform 1 else inform 2 endif", "2"},
      {"if m:u then inform 1 else inform 2 endif", ""},
      {"if 1 then inform 1 else inform 2 endif", ""},
      {"if \"true\" then inform 1 else inform 2 endif", ""},
      {"if false then inform 1 endif if true then endif inform 3", "3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(run(c.first).code(), 0);
    EXPECT_EQ(messages(), c.second);
  }
}

TEST_F(StatementTest, MessagesReachTheHostAndMayBeRefused) {
  tamtest::TestNode node(window, "n1", "m");
  window->setCurrentlyEvaluating(&node);
  EXPECT_EQ(run("warn 3.5").code(), 0);
  ASSERT_EQ(adapter.messages.size(), 1u);
  EXPECT_EQ(adapter.messages[0].text, "3.500000");
  EXPECT_EQ(adapter.messages[0].severity, Tam::MSG_WARN);
  EXPECT_EQ(adapter.messages[0].node, &node);
  window->setCurrentlyEvaluating(nullptr);

  // A refused message stops the rules with 500 and its line (the line after it, as the parser
  // numbers statements): the set after it does not run.
  adapter.acceptMessages = false;
  EXPECT_EQ(
      describe(run("set m:color to \"red\"\nerror \"Bad \" + m:color\nset m:size to \"big\"")),
      "500 :3");
  EXPECT_EQ(messages(), "Bad red");
  EXPECT_EQ(sos.contents().count(option("size")), 0u);
}

TEST_F(StatementTest, MutuallyExclusiveRulesCountSelections) {
  EXPECT_FALSE(option("tags")->mutually_exclusive());
  const std::string colorAndSize = "set m:color to \"red\" set m:size to \"big\" ";
  const std::string options = "mutually_exclusive : [a, color, size]";
  const std::string pairs = "mutually_exclusive : {color.red, size.big, tags.y}";
  const std::string tagsXY = "set m:tags to \"x\" set m:tags to \"y\" ";
  const std::pair<std::string, const char*> cases[] = {
      {"set m:a to 1 set m:color to \"red\" " + options, "none"},  // Int options do not count
      {colorAndSize + options, "106 mutually exclusive rule @color #size"},
      {"set m:color to \"red\" set m:size to \"small\" " + pairs, "none"},
      {"set m:color to \"blue\" set m:tags to \"x\" " + pairs, "none"},
      {colorAndSize + pairs, "107 option value mutually exclusive rule @color.red #size.big"},
      {tagsXY + "set m:size to \"big\" " + pairs,
       "107 option value mutually exclusive rule @size.big #tags.y"},
      // One option holding two values is named twice; the rule marks it mutually exclusive.
      {tagsXY + "mutually_exclusive : [tags]", "106 mutually exclusive rule @tags #tags"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(describe(run(c.first)), c.second);
  }
  EXPECT_TRUE(option("tags")->mutually_exclusive());
  EXPECT_EQ(sos.get(option("tags")).values.size(), 2u);  // the rules change no value
}

TamValueExp* lit(bool value) { return new TamLiteralValueExp(value); }
// A value and a statement that fail with 302: their option's module cannot be had.
TamValueExp* failingValue() {
  return new TamOptionValueExp(new TamOptionExp("nosuch", "x", TamPath()));
}
TamExp* failingSet(int line) {
  auto* list = new TamExpListExp();
  list->add(new TamSetExp(new TamOptionExp("nosuch", "x", TamPath()), lit(true), false, line));
  return list;
}
TamExp* ifExp(TamValueExp* condition, TamExp* then, TamExp* otherwise, int line) {
  return new TamIfExp(condition, then, otherwise, line);
}

// A failure is stamped with the line of the innermost statement that has one. Each case nests a
// failing statement in ifs; every condition but the failing one chooses the way inwards.
TEST_F(StatementTest, FailuresCarryTheInnermostLine) {
  struct Case {
    const char* name;
    TamExp* exp;
    int line;
  };
  const Case cases[] = {
      {"no line anywhere", failingSet(0), 0},
      {"statement line", failingSet(4), 4},
      {"inner line wins", ifExp(lit(true), failingSet(5), nullptr, 9), 5},
      {"enclosing if stamps", ifExp(lit(true), failingSet(0), nullptr, 9), 9},
      {"failing elif condition",
       ifExp(lit(false), nullptr, ifExp(failingValue(), nullptr, nullptr, 7), 3), 7},
      {"elif link without line",
       ifExp(lit(false), nullptr, ifExp(failingValue(), nullptr, nullptr, 0), 3), 3},
      {"branch of an elif",
       ifExp(lit(false), nullptr, ifExp(lit(true), failingSet(0), nullptr, 5), 3), 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<TamExp> exp(c.exp);
    TamException e = failureOf([&] { exp->execute(sos); });
    EXPECT_EQ(e.code(), 302);
    EXPECT_EQ(e.line(), c.line);
  }
}

// A chain of 10,000 elif links runs the matching branch and is destroyed without recursing once
// per link.
TEST_F(StatementTest, LongElifChainRunsAndIsDestroyed) {
  std::string text = "if m:a = 0 then inform 0\n";
  for (int i = 1; i < 10000; ++i)
    text += "elif m:a = " + std::to_string(i) + " then inform " + std::to_string(i) + "\n";
  ref_count_ptr<TamExpRoot> root = TamRuleParser(text + "else inform \"none\" endif").parseRules();
  for (const char* value : {"9999", "5000", "0", "-1"}) {
    run(std::string("set m:a to ") + value);
    root->execute(sos);
    EXPECT_EQ(messages(), value[0] == '-' ? "none" : value);
  }
}

}  // namespace
}  // namespace rulestest
