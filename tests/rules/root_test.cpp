// The parsed roots: rule bodies run as a whole, conditions answered as (undecided, value), and
// the option references a text names. Roots are made by the rule parser, as the library does.
#include <set>
#include <string>
#include <utility>

#include "rules_fixture.h"

namespace rulestest {
namespace {

using RootTest = RulesTest;

// Every entry of the set as option[path]=values/howSets.
std::string entries(const TamSelOptionSet& sos) {
  std::string text;
  for (const auto& item : sos.contents()) {
    const TamSelOptionSet::TamSosEntry& entry = item.second;
    text += (text.empty() ? "" : " ") + entry.option->name();
    if (!entry.path.isEmpty()) text += "[" + entry.path.toDisplayString() + "]";
    for (size_t i = 0; i < entry.values.size(); ++i) {
      text += (i ? "," : "=") + entry.values[i]->displayString() + "/" +
              std::to_string(entry.howSet[i]);
    }
  }
  return text;
}

TEST_F(RootTest, RootRunsItsStatementsInOrderAndStopsAtAFailure) {
  ref_count_ptr<TamExpRoot> empty = TamRuleParser("").parseRules();
  EXPECT_EQ(empty->body(), nullptr);
  empty->execute(sos);
  EXPECT_EQ(entries(sos), "");

  // set writes HOWSET_SET (2), fix HOWSET_FIX (4); a value the option rejects fails with 204.
  EXPECT_EQ(describe(run("set m:a to 3 fix m:color to \"red\" set m:size[p.q] to \"big\"\n"
                         "set m:small to 9 set m:size to \"small\"")),
            "204 9 @small :2");
  EXPECT_EQ(entries(sos), "a=3/2 color=red/4 size[p.q]=big/2");
}

TEST_F(RootTest, ConditionAnswersUndecidedOrTheBool) {
  run("set m:n to 1 set m:n to 5");
  struct Case {
    const char* text;
    int code;  // 0: no failure
    std::pair<bool, bool> expected;
  };
  const Case cases[] = {
      {"true", 0, {false, true}},    {"false", 0, {false, false}},
      {"m:a = 7", 0, {false, true}}, {"m:n > 4 and m:n < 2", 0, {false, true}},
      {"m:u", 0, {true, false}},     {"m:u = 1 or false", 0, {true, false}},
      {"m:a", 202, {false, false}},  {"\"text\"", 202, {false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ref_count_ptr<TamConditionExp> condition = TamRuleParser(c.text).parseCondition();
    EXPECT_EQ(condition->rix(), c.text);
    std::pair<bool, bool> value;
    EXPECT_EQ(failureOf([&] { value = condition->getValue(sos); }).code(), c.code);
    EXPECT_EQ(value, c.expected);
  }
}

TEST_F(RootTest, ReferencedOptionsResolveInTextOrder) {
  using Options = std::set<ref_count_ptr<TamOption>>;
  Options out;
  TamRuleParser("set m:k to m:a if m:n > 1 then set m:far to 1 endif")
      .parseRules()
      ->referencedOptions(window, out);
  EXPECT_EQ(out, (Options{option("k"), option("a"), option("n"), option("far")}));
  out.clear();
  TamRuleParser("m:u = 1 or m:color = \"x\"").parseCondition()->referencedOptions(window, out);
  EXPECT_EQ(out, (Options{option("u"), option("color")}));

  // The first reference that cannot be resolved stops the walk; what came before stays.
  const std::pair<const char*, int> cases[] = {
      {"set m:a to m:n + 1 set nosuch:x to 2 set m:k to 3", 302},
      {"set m:a to m:n + 1 set m:nosuch to 2 set m:k to 3", 102},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    out.clear();
    ref_count_ptr<TamExpRoot> root = TamRuleParser(c.first).parseRules();
    EXPECT_EQ(failureOf([&] { root->referencedOptions(window, out); }).code(), c.second);
    EXPECT_EQ(out, (Options{option("a"), option("n")}));
  }
}

}  // namespace
}  // namespace rulestest
