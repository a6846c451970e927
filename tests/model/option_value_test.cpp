// Value constraints: what each kind accepts, and its misuse failures.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ModelTestSupport.h"

namespace tamtest {
namespace {

using Constraint = ref_count_ptr<TamOptionValue>;
using Value = ref_count_ptr<TamValue>;

Value I(int v) { return TamValue::createInt(v); }
Value R(double v) { return TamValue::createReal(v); }
Value S(const char* v) { return TamValue::createString(v); }

Constraint range(const Constraint& low, const Constraint& high) {
  return new TamOptionRangeValue(low, high);
}

TEST(ConstraintTest, AcceptanceAcrossValueKinds) {
  struct Case {
    Constraint constraint;
    std::vector<Value> accepted;
    std::vector<Value> refused;
  };
  const Case cases[] = {
      {new TamOptionEnumValue(I(1)), {I(1)}, {R(1.0)}},
      {new TamOptionEnumValue(S("a")), {S("a")}, {S("A")}},
      {new TamOptionMaxValue(I(10)), {I(9)}, {I(10), R(10.0), TamValue::createUnset()}},
      {new TamOptionMaxIncValue(R(2.5)), {I(2), R(2.5)}, {I(3)}},
      {new TamOptionMinValue(I(0)), {I(1)}, {I(0)}},
      {new TamOptionMinIncValue(I(0)), {I(0)}, {I(-1)}},
      {range(new TamOptionMinIncValue(I(1)), new TamOptionMaxIncValue(I(10))),
       {I(1), I(10)},
       {I(0), I(11)}},
      {new TamOptionAnyStringValue(), {S("")}, {I(1)}},
      {new TamOptionAnyIntValue(), {I(1), R(1.5)}, {TamValue::createBool(true)}},
      {new TamOptionAnyRealValue(), {I(2)}, {S("2")}},
      {new TamOptionBooleanValue(), {TamValue::createBool(false)}, {I(0)}},
  };
  for (const Case& c : cases) {
    for (const Value& v : c.accepted)
      EXPECT_TRUE(c.constraint->accepts(v)) << c.constraint->kind() << " " << v->displayString();
    for (const Value& v : c.refused)
      EXPECT_FALSE(c.constraint->accepts(v)) << c.constraint->kind() << " " << v->displayString();
  }
  // A candidate that cannot be ordered against the bound is an error, not a refusal.
  EXPECT_EQ(failure([&] { Constraint(new TamOptionMaxValue(I(5)))->accepts(S("a")); }), "202");
}

TEST(ConstraintTest, MisuseAndRangeConstructionFailures) {
  const Constraint any = new TamOptionAnyStringValue();
  const std::string noValue = "2 Asked for value of a non-value OptionValue";
  const std::string noRange = "2 Asked for range of a non-range OptionValue";
  const std::string badRange = "2 Max must be > min for range value";
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { any->value(); }, noValue},
      {[&] { any->range(); }, noRange},
      {[] { Constraint(new TamOptionEnumValue(I(1)))->range(); }, noRange},
      {[] { range(new TamOptionMinValue(I(1)), new TamOptionMaxValue(I(2)))->value(); }, noValue},
      {[] { range(new TamOptionMinIncValue(I(5)), new TamOptionMaxIncValue(I(5))); }, badRange},
      {[] { range(new TamOptionMinValue(I(6)), new TamOptionMaxValue(R(5.5))); }, badRange},
      {[] { range(new TamOptionAnyIntValue(), new TamOptionMaxIncValue(I(5))); }, noValue},
      {[] { range(new TamOptionMinIncValue(S("a")), new TamOptionMaxIncValue(I(5))); }, "202"},
  };
  for (const auto& c : cases) EXPECT_EQ(failure(c.first), c.second);
  const Constraint low = new TamOptionMinValue(R(0.5));
  const Constraint both = range(low, new TamOptionMaxValue(I(1)));
  EXPECT_EQ(both->range().first.get(), low.get());
  EXPECT_TRUE(both->accepts(R(0.75)));
}

}  // namespace
}  // namespace tamtest
