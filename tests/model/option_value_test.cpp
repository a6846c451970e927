// Value constraints: what each kind accepts, and its misuse failures.
#include <gtest/gtest.h>

#include <functional>

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
  const Constraint oneToTen =
      range(new TamOptionMinIncValue(I(1)), new TamOptionMaxIncValue(I(10)));
  struct Case {
    Constraint constraint;
    Value candidate;
    bool accepted;
  };
  const Case cases[] = {
      {new TamOptionEnumValue(I(1)), I(1), true},
      {new TamOptionEnumValue(I(1)), R(1.0), false},
      {new TamOptionEnumValue(S("a")), S("A"), false},
      {new TamOptionEnumValue(I(1)), S("1"), false},
      {new TamOptionMaxValue(I(10)), I(9), true},
      {new TamOptionMaxValue(I(10)), I(10), false},
      {new TamOptionMaxValue(I(3)), R(3.0), false},
      {new TamOptionMaxIncValue(R(2.5)), I(2), true},
      {new TamOptionMaxIncValue(I(10)), I(10), true},
      {new TamOptionMinValue(I(0)), I(0), false},
      {new TamOptionMinIncValue(I(0)), I(0), true},
      {new TamOptionMinIncValue(I(0)), I(-1), false},
      {new TamOptionMaxValue(S("m")), S("a"), true},
      {new TamOptionMaxValue(I(3)), TamValue::createUnset(), false},
      {oneToTen, I(1), true},
      {oneToTen, I(10), true},
      {oneToTen, I(0), false},
      {oneToTen, I(11), false},
      {new TamOptionAnyStringValue(), S(""), true},
      {new TamOptionAnyStringValue(), I(1), false},
      {new TamOptionAnyIntValue(), R(1.5), true},
      {new TamOptionAnyIntValue(), TamValue::createBool(true), false},
      {new TamOptionAnyRealValue(), I(2), true},
      {new TamOptionBooleanValue(), TamValue::createBool(false), true},
      {new TamOptionBooleanValue(), I(0), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.constraint->kind()) + " " + c.candidate->displayString());
    EXPECT_EQ(c.constraint->accepts(c.candidate), c.accepted);
  }
  // A candidate that cannot be ordered against the bound is an error, not a refusal.
  EXPECT_EQ(raised([] { Constraint(new TamOptionMaxValue(I(5)))->accepts(S("a")); }).code(), 202);
}

TEST(ConstraintTest, MisuseAndRangeConstructionFailures) {
  const Constraint any = new TamOptionAnyStringValue();
  struct Case {
    std::function<void()> call;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {[&] { any->value(); }, 2, "Asked for value of a non-value OptionValue"},
      {[&] { any->range(); }, 2, "Asked for range of a non-range OptionValue"},
      {[] { Constraint(new TamOptionEnumValue(I(1)))->range(); }, 2,
       "Asked for range of a non-range OptionValue"},
      {[] { range(new TamOptionMinIncValue(I(5)), new TamOptionMaxIncValue(I(5)))->value(); }, 2,
       "Max must be > min for range value"},
      {[] { range(new TamOptionMinValue(I(6)), new TamOptionMaxValue(R(5.5))); }, 2,
       "Max must be > min for range value"},
      {[] { range(new TamOptionMinValue(I(1)), new TamOptionMaxValue(I(2)))->value(); }, 2,
       "Asked for value of a non-value OptionValue"},
      {[] { range(new TamOptionAnyIntValue(), new TamOptionMaxIncValue(I(5))); }, 2,
       "Asked for value of a non-value OptionValue"},
      {[] { range(new TamOptionMinIncValue(S("a")), new TamOptionMaxIncValue(I(5))); }, 202, ""},
  };
  for (const Case& c : cases) {
    TamException e = raised(c.call);
    EXPECT_EQ(e.code(), c.code);
    if (c.code == 2) {
      EXPECT_EQ(e.info(), c.message);
    }
    EXPECT_EQ(e.context(), "");
  }
  const Constraint low = new TamOptionMinValue(R(0.5));
  const Constraint both = range(low, new TamOptionMaxValue(I(1)));
  EXPECT_EQ(both->range().first.get(), low.get());
  EXPECT_TRUE(both->accepts(R(0.75)));
}

}  // namespace
}  // namespace tamtest
