// Value expressions, parsed from condition texts and evaluated against a selected option set of a
// window with module m.
#include <string>
#include <utility>

#include "rules_fixture.h"

namespace rulestest {
namespace {

class ValueExpTest : public RulesTest {
 protected:
  // n holds 1 and 5, k 3 and 5, far 6 and 7; a holds 1 only at the path p.
  void SetUp() override {
    RulesTest::SetUp();
    ASSERT_EQ(run("set m:n to 1 set m:n to 5 set m:k to 3 set m:k to 5 set m:far to 6 "
                  "set m:far to 7 set m:a[p] to 1")
                  .code(),
              0);
  }

  // The display text of the value, or the failure it raises.
  std::string evaluate(const std::string& text) {
    ref_count_ptr<TamConditionExp> condition = TamRuleParser(text).parseCondition();
    std::string shown;
    const TamException e =
        failureOf([&] { shown = condition->condition()->evaluate(sos)->displayString(); });
    return e.code() ? describe(e) : shown;
  }
};

TEST_F(ValueExpTest, ExpressionsEvaluate) {
  const std::pair<const char*, const char*> cases[] = {
      // A reference reads the entry of the empty path, whatever path it names.
      {"m:a", "7"},
      {"m:a[p]", "7"},
      {"m:u", "***UNSET***"},
      // Unset on either side gives Unset, even against a kind no ordering accepts; a left Unset
      // keeps the right side from being evaluated.
      {"m:u = nosuch:x", "***UNSET***"},
      {"true >= m:u", "***UNSET***"},
      {"1 = nosuch:x", "302 nosuch"},
      // A multi-valued operand compares by any pair of values.
      {"m:n > 3", "true"},
      {"m:n < 3", "true"},
      {"m:n = 5", "true"},
      {"m:n != 5", "true"},
      {"m:n >= 6", "false"},
      {"3 < m:n", "true"},
      {"6 <= m:n", "false"},
      {"m:n = m:k", "true"},
      {"m:n >= m:far", "false"},
      {"m:n < \"x\"", "202"},
      // Or and and evaluate both sides; true outranks Unset in or, Unset outranks false in both.
      {"true or m:u", "true"},
      {"m:u or true", "true"},
      {"false or m:u", "***UNSET***"},
      {"m:u or false", "***UNSET***"},
      {"1 or false", "false"},
      {"true or nosuch:x", "302 nosuch"},
      {"true and true", "true"},
      {"true and m:u", "***UNSET***"},
      {"false and m:u", "***UNSET***"},
      {"m:u and false", "***UNSET***"},
      {"false and false", "false"},
      {"1 and true", "false"},
      {"false and nosuch:x", "302 nosuch"},
      {"not m:u", "***UNSET***"},
      {"not true", "false"},
      {"not 0", "true"},
      {"not \"x\"", "true"},
      // Arithmetic evaluates its right operand first, so the right failure is the one reported.
      {"10 - 4 - 3 = 3", "true"},
      {"1 = (\"ab\" + 1) - 1 / 0", "203"},
      {"1 = nosuch:x + 1 / 0", "203"},
      {"1 = 1 / 0 + nosuch:x", "302 nosuch"},
      {"1 = 1 / 0 - 1 - m:nosuch", "102 nosuch"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(evaluate(c.first), c.second);
  }
  // Reading u, which nothing set, left its default entry behind.
  ASSERT_EQ(sos.contents().count(option("u")), 1u);
  EXPECT_EQ(sos.contents().find(option("u"))->second.howSet,
            std::vector<TamSelOptionSet::HowSet>{TamSelOptionSet::HOWSET_DEFAULT});
}

// Chains of one operator are built without nesting; they must run and be destroyed without
// exhausting the stack.
TEST_F(ValueExpTest, LongOperatorChainsDoNotRecurse) {
  const int terms = 100000;
  auto chain = [&](const std::string& link) {
    std::string text;
    for (int i = 1; i < terms; ++i) text += link;
    return text;
  };
  EXPECT_EQ(evaluate(std::to_string(terms) + " = 1" + chain(" + 1")), "true");
  EXPECT_EQ(evaluate(chain("false or ") + "true"), "true");
  EXPECT_EQ(evaluate(chain("true and ") + "m:u"), "***UNSET***");
}

}  // namespace
}  // namespace rulestest
