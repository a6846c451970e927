// Long value lists are looked up through a set of the values they enumerate rather than scanned:
// every value must be accepted or refused exactly as a scan of the same list would, whatever
// the list's length, kind, mixture of constraints, and the changes made to it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ModelTestSupport.h"

namespace {

// "n, n+1, ..., m-1" as a value list, integers or quoted strings.
std::string listOf(int n, int m, bool strings) {
  std::string list;
  for (int i = n; i < m; ++i) {
    list += (i > n ? ", " : "") + (strings ? "\"s" + std::to_string(i) + "\"" : std::to_string(i));
  }
  return list;
}

class ValueListTest : public tamtest::ModelTest {};

TEST_F(ValueListTest, LongAndShortListsAcceptTheSameValues) {
  struct Case {
    const char* what;
    ref_count_ptr<TamValue> value;
    int integers;  // accepted by the integer lists (with the range 100 to 200 added); -1: not
                   // asked, as a range refuses to compare a value of another kind (code 202)
    bool strings;  // accepted by the string lists
  };
  const Case cases[] = {
      {"listed integer", TamValue::createInt(3), true, false},
      {"first listed integer", TamValue::createInt(0), true, false},
      {"integer past the list", TamValue::createInt(5000), false, false},
      {"integer in the range", TamValue::createInt(150), true, false},
      {"real of a listed integer's size", TamValue::createReal(3.0), -1, false},
      {"listed string", TamValue::createString("s3"), -1, true},
      {"string differing in case", TamValue::createString("S3"), -1, false},
      {"logical", TamValue::createBool(true), -1, false},
      {"Unset", TamValue::createUnset(), true, true},
  };
  // Short lists are scanned, long ones looked up; both must agree with each other.
  for (int length : {5, 400}) {
    SCOPED_TRACE(length);
    const std::string id = "m" + std::to_string(length);
    ref_count_ptr<TamModule> module;
    ASSERT_EQ(tamtest::failure([&] { module = declare(
        id, {"public i integer = " + listOf(0, length, false) + ", 100 to 200",
             "public s string = " + listOf(0, length, true)}); }), "none");
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      if (c.integers >= 0) {
        EXPECT_EQ(module->getOption("i")->validateValue(c.value), c.integers == 1);
      }
      EXPECT_EQ(module->getOption("s")->validateValue(c.value), c.strings);
    }
  }
}

TEST_F(ValueListTest, ALongListReadAgainAcceptsOnlyItsNewValues) {
  // The same option object is declared again with another list: what the old list held must
  // no longer be accepted, and what the new one holds must be.
  ref_count_ptr<TamModule> module = declare("m", {"public v integer = " + listOf(0, 100, false)});
  const ref_count_ptr<TamOption> v = module->getOption("v");
  EXPECT_TRUE(v->validateValue(TamValue::createInt(50)));
  module->addOptionString("public v integer = " + listOf(1000, 1100, false));
  EXPECT_EQ(module->getOption("v").get(), v.get());
  EXPECT_FALSE(v->validateValue(TamValue::createInt(50)));
  EXPECT_TRUE(v->validateValue(TamValue::createInt(1050)));
  // A presented option without a list of its own takes its base's list, looked up the same way.
  ref_count_ptr<TamModule> top = declare("top", {"public p presents m:v"});
  EXPECT_TRUE(top->getOption("p")->validateValue(TamValue::createInt(1099)));
  EXPECT_FALSE(top->getOption("p")->validateValue(TamValue::createInt(99)));
}

}  // namespace
