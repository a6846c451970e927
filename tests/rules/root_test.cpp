// The parsed roots: rule bodies run as a whole, conditions answered as (undecided, value), and
// the option references a text names. Roots are made by the rule parser, as the library does.
#include <memory>
#include <set>
#include <string>
#include <string_view>
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

// Numbers written more than once share one value, and more different numbers than are shared
// still each keep their own.
TEST_F(RootTest, RepeatedNumbersKeepTheirValues) {
  const int kWritten = 100;
  const int kDifferent = static_cast<int>(tam::detail::ConstraintCache::kMaxEntries) + 6;
  std::string rules;
  std::set<int> expected;
  for (int i = 0; i < kWritten; ++i) {
    const int number = (i * 7) % kDifferent;
    rules += "set m:n to " + std::to_string(number) + " set m:a to " + std::to_string(number) + "\n";
    expected.insert(number);
  }
  EXPECT_EQ(describe(run(rules)), "none");
  std::set<int> found;
  for (const ref_count_ptr<TamValue>& value : sos.get(option("n")).values) {
    found.insert(value->intValue());
  }
  EXPECT_EQ(found, expected);
  EXPECT_EQ(sos.get(option("a")).values.at(0)->intValue(), ((kWritten - 1) * 7) % kDifferent);
}

// Rules read as part of a larger shared text read, place their failures and keep their text as
// the same rules given on their own.
TEST_F(RootTest, RulesReadFromPartOfASharedText) {
  const std::string rules = "set m:a to 3\nif m:a > 2 then set m:small to 9 endif";
  auto whole = std::make_shared<const std::string>("module m\n...\n" + rules + "\ntrailing");
  const std::string_view part = std::string_view(*whole).substr(whole->find("set"), rules.size());
  ref_count_ptr<TamExpRoot> shared = TamRuleParser(whole, part).parseRules();
  ref_count_ptr<TamExpRoot> alone = TamRuleParser(rules).parseRules();
  EXPECT_EQ(shared->rix(), rules);
  EXPECT_EQ(shared->position(14).line, alone->position(14).line);
  EXPECT_EQ(shared->position(14).column, alone->position(14).column);
  sos.clear();
  const std::string failedShared = describe(failureOf([&] { shared->execute(sos); }));
  sos.clear();
  EXPECT_EQ(describe(failureOf([&] { alone->execute(sos); })), failedShared);
  EXPECT_NE(failedShared, "none");

  const std::string broken = "set m:a to 3\nif m:a then";
  auto brokenWhole = std::make_shared<const std::string>("xx" + broken + "yy");
  const std::string_view brokenPart = std::string_view(*brokenWhole).substr(2, broken.size());
  EXPECT_EQ(describe(failureOf([&] { TamRuleParser(brokenWhole, brokenPart).parseRules(); })),
            describe(failureOf([&] { TamRuleParser(broken).parseRules(); })));
}

}  // namespace
}  // namespace rulestest
