// Statement nodes built by hand and executed against a selected option set of module m.
#include <iterator>
#include <string>
#include <vector>

#include "rules_fixture.h"

namespace rulestest {
namespace {

using StatementTest = RulesTest;

TamExp* inform(const char* text, int line = 0) {
  return new TamMsgExp(Tam::MSG_INFORM, lit(text), line);
}
// A statement that fails with 302: its option's module cannot be had.
TamExp* failingSet(int line) { return new TamSetExp(optRef("nosuch", "x"), lit(1), false, line); }
TamExpListExp* list(std::vector<TamExp*> statements) {
  auto* result = new TamExpListExp();
  for (TamExp* statement : statements) result->add(statement);
  return result;
}

std::vector<std::string> messageTexts(const tamtest::TestAdapter& adapter) {
  std::vector<std::string> texts;
  for (const tamtest::RecordedMessage& message : adapter.messages) texts.push_back(message.text);
  return texts;
}

TEST_F(StatementTest, IfRunsABranchOnlyForABool) {
  using Make = TamValueExp* (*)();
  struct Case {
    const char* name;
    Make condition;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"true", [] { return lit(true); }, {"then"}},
      {"false", [] { return lit(false); }, {"else"}},
      {"Unset literal", [] { return unsetLit(); }, {}},
      {"Unset option", [] { return ref("m", "u"); }, {}},
      {"Int 1", [] { return lit(1); }, {}},
      {"String", [] { return lit("true"); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    adapter.messages.clear();
    TamIfExp exp(c.condition(), inform("then"), inform("else"), 1);
    exp.execute(*sos);
    EXPECT_EQ(messageTexts(adapter), c.expected);
  }
  // Missing branches are skipped quietly.
  TamIfExp empty(lit(true), nullptr, nullptr, 1);
  adapter.messages.clear();
  empty.execute(*sos);
  EXPECT_TRUE(adapter.messages.empty());
}

TEST_F(StatementTest, SetAndFixWriteOneValueWithHowItWasSet) {
  std::unique_ptr<TamExpListExp> rules(list({
      new TamSetExp(optRef("m", "a"), lit(3), false, 1),
      new TamSetExp(optRef("m", "color"), lit("red"), true, 2),
      new TamSetExp(optRef("m", "size", TamPath({"p", "q"})), lit("big"), false, 3),
  }));
  EXPECT_EQ(rules->dump(), "[set(m:a, 3); fix(m:color, \"red\"); set(m:size[p.q], \"big\")]");
  rules->execute(*sos);

  struct Case {
    const char* option;
    TamPath path;
    const char* value;
    TamSelOptionSet::HowSet howSet;
  };
  const Case cases[] = {
      {"a", TamPath(), "3", TamSelOptionSet::HOWSET_SET},
      {"color", TamPath(), "red", TamSelOptionSet::HOWSET_FIX},
      {"size", TamPath({"p", "q"}), "big", TamSelOptionSet::HOWSET_SET},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    auto range = sos->contents().equal_range(option(c.option));
    ASSERT_EQ(std::distance(range.first, range.second), 1);
    const TamSelOptionSet::TamSosEntry& entry = range.first->second;
    EXPECT_EQ(entry.path, c.path);
    ASSERT_EQ(entry.values.size(), 1u);
    EXPECT_EQ(entry.values[0]->displayString(), c.value);
    ASSERT_EQ(entry.howSet.size(), 1u);
    EXPECT_EQ(entry.howSet[0], c.howSet);
  }

  // A value the option rejects fails with 204 and the statement's line.
  TamSetExp rejected(optRef("m", "small"), lit(9), false, 4);
  try {
    rejected.execute(*sos);
    FAIL() << "expected 204";
  } catch (const TamException& e) {
    EXPECT_EQ(e.code(), 204);
    EXPECT_EQ(e.line(), 4);
    EXPECT_EQ(e.info(), "9");
    EXPECT_EQ(e.context(), "small");
  }
}

TEST_F(StatementTest, MessagesReachTheHostAndMayBeRefused) {
  tamtest::TestNode node(window, "n1", "m");
  window->setCurrentlyEvaluating(&node);
  TamMsgExp real(Tam::MSG_WARN, lit(3.5), 1);
  real.execute(*sos);
  ASSERT_EQ(adapter.messages.size(), 1u);
  EXPECT_EQ(adapter.messages[0].text, "3.500000");
  EXPECT_EQ(adapter.messages[0].severity, Tam::MSG_WARN);
  EXPECT_EQ(adapter.messages[0].node, &node);
  window->setCurrentlyEvaluating(nullptr);

  // A refused message stops the rules: the set after it does not run.
  adapter.acceptMessages = false;
  std::unique_ptr<TamExpListExp> rules(list({
      new TamMsgExp(Tam::MSG_ERROR, make<TamPlusValueExp>(lit("Bad "), ref("m", "size")), 5),
      new TamSetExp(optRef("m", "color"), lit("red"), false, 6),
  }));
  EXPECT_EQ(rules->dump(), "[error(plus(\"Bad \", m:size)); set(m:color, \"red\")]");
  setValues("size", {S("size")});
  try {
    rules->execute(*sos);
    FAIL() << "expected 500";
  } catch (const TamException& e) {
    EXPECT_EQ(e.code(), 500);
    EXPECT_EQ(e.line(), 5);
    EXPECT_EQ(e.info(), "");
    EXPECT_EQ(e.context(), "");
    EXPECT_EQ(e.extrainfo2(), "");
  }
  EXPECT_EQ(adapter.messages.back().text, "Bad size");
  EXPECT_EQ(sos->contents().count(option("color")), 0u);
}

// Each case selects some values, runs one rule and expects its failure (code 0: it passes).
TEST_F(StatementTest, MutuallyExclusiveRulesCountSelections) {
  struct Selection {
    const char* option;
    std::vector<const char*> values;
  };
  struct Case {
    const char* name;
    std::vector<Selection> selections;
    TamExp* (*rule)();
    int code;
    const char* first;
    const char* second;
  };
  auto optionRule = [] {
    auto* rule = new TamMEExp();
    rule->add(optRef("", "a"));
    rule->add(optRef("", "color"));
    rule->add(optRef("", "size"));
    return static_cast<TamExp*>(rule);
  };
  auto valueRule = [] {
    auto* rule = new TamValueMEExp();
    rule->add(optRef("", "color"), lit("red"));
    rule->add(optRef("", "size"), lit("big"));
    rule->add(optRef("", "tags"), lit("y"));
    return static_cast<TamExp*>(rule);
  };
  const Case cases[] = {
      {"one option set", {{"color", {"red"}}}, optionRule, 0, "", ""},
      {"Int options are not counted", {{"size", {"big"}}}, optionRule, 0, "", ""},
      {"two options set", {{"color", {"red"}}, {"size", {"big"}}}, optionRule, 106, "color", "size"},
      {"one pair matches", {{"color", {"red"}}, {"size", {"small"}}}, valueRule, 0, "", ""},
      {"other values", {{"color", {"blue"}}, {"tags", {"x"}}}, valueRule, 0, "", ""},
      {"two pairs match", {{"color", {"red"}}, {"size", {"big"}}}, valueRule, 107, "color.red",
       "size.big"},
      {"any value of a multi-valued option matches",
       {{"tags", {"x", "y"}}, {"size", {"big"}}}, valueRule, 107, "size.big", "tags.y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sos->clear();
    setValues("a", {I(1)});
    for (const Selection& selection : c.selections) {
      for (const char* value : selection.values) setValues(selection.option, {S(value)});
    }
    std::unique_ptr<TamExp> rule(c.rule());
    try {
      rule->execute(*sos);
      EXPECT_EQ(c.code, 0);
    } catch (const TamException& e) {
      EXPECT_EQ(e.code(), c.code);
      EXPECT_EQ(e.info(), c.code == 106 ? "mutually exclusive rule"
                                        : "option value mutually exclusive rule");
      EXPECT_EQ(e.context(), c.first);
      EXPECT_EQ(e.extrainfo2(), c.second);
    }
  }
}

TEST_F(StatementTest, MutuallyExclusiveRuleMarksOptionsItFinds) {
  setValues("tags", {S("x"), S("y")});
  ASSERT_EQ(sos->get(option("tags")).values.size(), 2u);
  EXPECT_FALSE(option("tags")->mutually_exclusive());
  TamMEExp rule;
  rule.add(optRef("", "tags"));
  try {
    rule.execute(*sos);
    FAIL() << "expected 106";
  } catch (const TamException& e) {
    EXPECT_EQ(e.code(), 106);
    EXPECT_EQ(e.context(), "tags");  // one option holding two values is named twice
    EXPECT_EQ(e.extrainfo2(), "tags");
  }
  EXPECT_TRUE(option("tags")->mutually_exclusive());
  // Neither rule changes a value.
  EXPECT_EQ(sos->get(option("tags")).values.size(), 2u);
}

TEST_F(StatementTest, StatementDumps) {
  auto* valueRule = new TamValueMEExp();
  valueRule->add(optRef("", "a"), lit("x"));
  valueRule->add(optRef("", "b"), lit("y z"));
  auto* optionRule = new TamMEExp();
  optionRule->add(optRef("", "a"));
  optionRule->add(optRef("", "b"));
  struct Case {
    TamExp* exp;
    const char* dump;
  };
  const Case cases[] = {
      {new TamIfExp(ref("m", "a"), nullptr, nullptr, 1), "if(m:a, null, null)"},
      {new TamIfExp(ref("m", "a"), list({inform("x")}),
                    new TamIfExp(ref("m", "c"), list({new TamMsgExp(Tam::MSG_WARN, lit(1), 2)}),
                                 nullptr, 3),
                    2),
       "if(m:a, [inform(\"x\")], if(m:c, [warn(1)], null))"},
      {new TamSetExp(optRef("m", "b", TamPath({"p", "q"})), lit(2), true, 1), "fix(m:b[p.q], 2)"},
      {list({}), "[]"},
      {optionRule, "me[a, b]"},
      {valueRule, "valueme{a.x, b.y z}"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TamExp> exp(c.exp);
    EXPECT_EQ(exp->dump(), c.dump);
  }
}

// A failure is stamped with the line of the innermost statement that has one. Each case nests
// a failing statement in ifs; every condition but the failing one chooses the way inwards.
TEST_F(StatementTest, LineStampingKeepsTheInnermostLine) {
  struct Case {
    const char* name;
    TamExp* (*build)();
    int line;
  };
  const Case cases[] = {
      {"no line anywhere", [] { return static_cast<TamExp*>(list({failingSet(0)})); }, 0},
      {"statement line", [] { return static_cast<TamExp*>(list({failingSet(4)})); }, 4},
      {"inner line wins",
       [] { return static_cast<TamExp*>(new TamIfExp(lit(true), list({failingSet(5)}), nullptr, 9)); },
       5},
      {"enclosing if stamps",
       [] { return static_cast<TamExp*>(new TamIfExp(lit(true), list({failingSet(0)}), nullptr, 9)); },
       9},
      {"failing elif condition",
       [] {
         return static_cast<TamExp*>(new TamIfExp(
             lit(false), nullptr,
             new TamIfExp(lit(false), nullptr, new TamIfExp(missingModuleRef(), nullptr, nullptr, 7), 0),
             3));
       },
       7},
      {"elif link without line",
       [] {
         return static_cast<TamExp*>(
             new TamIfExp(lit(false), nullptr, new TamIfExp(missingModuleRef(), nullptr, nullptr, 0), 3));
       },
       3},
      {"branch of an elif",
       [] {
         return static_cast<TamExp*>(new TamIfExp(
             lit(false), nullptr,
             new TamIfExp(lit(false), nullptr,
                          new TamIfExp(lit(true), failingSet(0), nullptr, 0), 5),
             3));
       },
       5},
      {"nested if in a then part",
       [] {
         return static_cast<TamExp*>(new TamIfExp(
             lit(true), new TamIfExp(lit(true), list({failingSet(0)}), nullptr, 6), nullptr, 2));
       },
       6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<TamExp> exp(c.build());
    try {
      exp->execute(*sos);
      FAIL() << "expected 302";
    } catch (const TamException& e) {
      EXPECT_EQ(e.code(), 302);
      EXPECT_EQ(e.line(), c.line);
    }
  }
}

// An elif chain of 10,000 links, linked with setElse as a parser does, runs the matching branch
// and is printed and destroyed without recursing once per link.
TEST_F(StatementTest, LongElifChainRunsAndIsDestroyed) {
  const int kLinks = 10000;
  auto condition = [](int i) { return make<Eq>(ref("m", "a"), lit(i)); };
  auto* top = new TamIfExp(condition(0), inform("0"), nullptr, 1);
  std::unique_ptr<TamExp> owner(top);
  TamIfExp* last = top;
  for (int i = 1; i < kLinks; ++i) {
    auto* link = new TamIfExp(condition(i), inform(std::to_string(i).c_str()), nullptr, i + 1);
    last->setElse(link);
    last = link;
  }
  last->setElse(inform("none"));

  struct Case {
    int value;
    const char* expected;
  };
  const Case cases[] = {{kLinks - 1, "9999"}, {5000, "5000"}, {0, "0"}, {-1, "none"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    sos->clear();
    setValues("a", {I(c.value)});
    adapter.messages.clear();
    owner->execute(*sos);
    EXPECT_EQ(messageTexts(adapter), std::vector<std::string>{c.expected});
  }

  const std::string dump = owner->dump();
  EXPECT_EQ(dump.compare(0, 33, "if(eq(m:a, 0), inform(\"0\"), if(eq"), 0);
  const std::string tail = "inform(\"none\")" + std::string(kLinks, ')');
  ASSERT_GE(dump.size(), tail.size());
  EXPECT_EQ(dump.substr(dump.size() - tail.size()), tail);
}

}  // namespace
}  // namespace rulestest
