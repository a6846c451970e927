// How tam writes values: reals as the shortest text that reads back, within the 15 digits a
// double keeps of a decimal, the same in text and JSON output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>

#include "ValueText.h"

namespace {

TEST(ValueTextTest, RealsAreShortAndReadBack) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {2.5, "2.5"},
      {3900.0, "3900.0"},
      {6.0 - 2.15 * 1.2, "3.42"},  // 3.4200000000000004 as a double: arithmetic's noise
      {0.1 + 0.2, "0.3"},
      {1.0 / 3.0, "0.333333333333333"},
      {-7.0, "-7.0"},
      {-0.0, "-0.0"},
      {1e21, "1e+21"},
      {123456789012345.0, "123456789012345.0"},
      {0.000123, "0.000123"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(realText(c.value), c.text);
    EXPECT_EQ(valueText(TamValue::createReal(c.value)), c.text);
    // JSON gets the number the text shows.
    EXPECT_EQ(valueJson(TamValue::createReal(c.value)).dump(),
              OutputJson(std::strtod(c.text, nullptr)).dump());
  }
  // Decimals of up to 15 digits come back exactly.
  for (double value : {0.1, 2.15, 54.8245614035088, 1.5e-10, 98765.4321}) {
    EXPECT_EQ(std::strtod(realText(value).c_str(), nullptr), value) << realText(value);
  }
}

TEST(ValueTextTest, OtherKindsAndConstraints) {
  EXPECT_EQ(valueText(TamValue::createInt(-3)), "-3");
  EXPECT_EQ(valueText(TamValue::createString("say \"hi\"")), "\"say \\\"hi\\\"\"");
  EXPECT_EQ(valueText(TamValue::createBool(true)), "true");
  EXPECT_EQ(valueText(TamValue::createUnset()), "unset");
  EXPECT_EQ(describeConstraintList({new TamOptionRangeValue(
                new TamOptionMinIncValue(TamValue::createReal(1.5)),
                new TamOptionMaxIncValue(TamValue::createReal(8.0)))}),
            "1.5 to 8.0");
  EXPECT_EQ(describeConstraintList({new TamOptionEnumValue(TamValue::createString("a")),
                                    new TamOptionEnumValue(TamValue::createString("b"))}),
            "one of \"a\", \"b\"");
  EXPECT_EQ(describeConstraintList({}), "no value but unset");
}

// Text output appends values in place; it must read exactly as valueText() spells them, also for
// the values that take the slow way: escapes, bytes outside ASCII, invalid UTF-8, extremes.
TEST(ValueTextTest, AppendedValuesReadAsValueText) {
  const ref_count_ptr<TamValue> values[] = {
      TamValue::createBool(true),
      TamValue::createBool(false),
      TamValue::createInt(0),
      TamValue::createInt(-42),
      TamValue::createInt(std::numeric_limits<int>::max()),
      TamValue::createInt(std::numeric_limits<int>::min()),
      TamValue::createReal(2.5),
      TamValue::createString(""),
      TamValue::createString("plain text ~ 0x7f:\x7f"),
      TamValue::createString("say \"hi\""),
      TamValue::createString("back\\slash and\ttab\nline"),
      TamValue::createString("caf\xc3\xa9"),
      TamValue::createString("broken \xc3("),
      TamValue::createUnset(),
      ref_count_ptr<TamValue>(),
  };
  for (const ref_count_ptr<TamValue>& value : values) {
    const std::string expected = valueText(value);
    SCOPED_TRACE(expected);
    std::string text = "x = ";
    appendValueText(value, text);
    EXPECT_EQ(text, "x = " + expected);
  }
}

}  // namespace
