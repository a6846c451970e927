#include "tam/TamValue.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tam/TamException.h"

namespace {

using Value = ref_count_ptr<TamValue>;

// Values written compactly in tables: "u", "b:true", "i:7", "r:2.5", "s:text".
Value V(const std::string& written) {
  if (written == "u") return TamValue::createUnset();
  const std::string payload = written.substr(2);
  switch (written[0]) {
    case 'b': return TamValue::createBool(payload == "true");
    case 'i': return TamValue::createInt(std::stoi(payload));
    case 'r': return TamValue::createReal(std::stod(payload));
    default: return TamValue::createString(payload);
  }
}

// The text an operation gives, or "E<code>" when it raises.
template <class F>
std::string attempt(F operation) {
  try {
    return operation();
  } catch (const TamException& e) {
    return "E" + std::to_string(e.code());
  }
}

// A value as "type:display", the result of an operator in the tables below.
std::string describe(const Value& v) {
  return TamValue::typeName(v->type()) + ":" + v->displayString();
}

std::string truthText(bool b) { return b ? "true" : "false"; }

TEST(ValueTest, SharedUnsetAndBoolInstances) {
  TamValue::createUnset();
  TamValue::createBool(true);
  const int32_t live = ref_count::liveObjects();
  EXPECT_EQ(TamValue::createUnset().get(), TamValue::createUnset().get());
  EXPECT_EQ(TamValue::createBool(true).get(), TamValue::createBool(true).get());
  EXPECT_EQ(TamValue::createBool(false).get(), TamValue::createBool(false).get());
  EXPECT_NE(TamValue::createBool(true).get(), TamValue::createBool(false).get());
  EXPECT_TRUE(TamValue::createBool(true)->boolValue());
  EXPECT_FALSE(TamValue::createBool(false)->boolValue());
  EXPECT_EQ(ref_count::liveObjects(), live);
  EXPECT_NE(TamValue::createInt(1).get(), TamValue::createInt(1).get());
}

TEST(ValueTest, AccessorsAnswerOnlyForTheirKind) {
  struct Case {
    const char* value;
    const char* str;
    const char* integer;
    const char* real;
    const char* boolean;
  };
  const Case cases[] = {
      {"u", "E202", "E202", "E202", "E202"},
      {"b:true", "E202", "E202", "E202", "true"},
      {"i:-4", "E202", "-4", "-4.000000", "E202"},
      {"r:2.5", "E202", "E202", "2.500000", "E202"},
      {"s:12", "12", "E202", "E202", "E202"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const Value v = V(c.value);
    EXPECT_EQ(attempt([&] { return v->strValue(); }), c.str);
    EXPECT_EQ(attempt([&] { return std::to_string(v->intValue()); }), c.integer);
    EXPECT_EQ(attempt([&] { return TamValue::createReal(v->realValue())->displayString(); }),
              c.real);
    EXPECT_EQ(attempt([&] { return truthText(v->boolValue()); }), c.boolean);
  }
}

TEST(ValueTest, TypeNames) {
  EXPECT_EQ(TamValue::typeName(TamValue::VT_UNSET), "Unset");
  EXPECT_EQ(TamValue::typeName(TamValue::VT_BOOL), "bool");
  EXPECT_EQ(TamValue::typeName(TamValue::VT_INT), "integer");
  EXPECT_EQ(TamValue::typeName(TamValue::VT_REAL), "real");
  EXPECT_EQ(TamValue::typeName(TamValue::VT_STRING), "string");
}

TEST(ValueTest, EqualityIsByKindAndPayload) {
  struct Case { const char* a; const char* b; bool equal; };
  const Case cases[] = {
      {"u", "u", true},          {"i:1", "r:1.0", false},     {"b:true", "i:1", false},
      {"r:0.0", "r:-0.0", true}, {"i:3", "i:3", true},        {"i:3", "i:4", false},
      {"s:ab", "s:ab", true},    {"s:ab", "s:Ab", false},     {"b:false", "b:false", true},
      {"u", "i:0", false},       {"s:", "u", false},          {"r:1.5", "r:1.5", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " == " + c.b);
    EXPECT_EQ(V(c.a) == V(c.b), c.equal);
    EXPECT_EQ(V(c.a) != V(c.b), !c.equal);
    EXPECT_EQ(V(c.b) == V(c.a), c.equal);
  }
  const Value nan = TamValue::createReal(std::nan(""));
  EXPECT_FALSE(nan == nan);
}

TEST(ValueTest, DisplayStrings) {
  EXPECT_EQ(TamValue::createUnset()->displayString(), "***UNSET***");
  EXPECT_EQ(TamValue::createBool(false)->displayString(), "false");
  EXPECT_EQ(TamValue::createInt(-7)->displayString(), "-7");
  EXPECT_EQ(TamValue::createInt(INT_MIN)->displayString(), "-2147483648");
  EXPECT_EQ(TamValue::createReal(3)->displayString(), "3.000000");
  EXPECT_EQ(TamValue::createString("a \"b\"")->displayString(), "a \"b\"");
  // Huge magnitudes print in full, digit for digit as "%lf" gives them.
  for (double d : {1e300, -1.7976931348623157e308, 123456789.125}) {
    char expected[512];
    std::snprintf(expected, sizeof expected, "%lf", d);
    EXPECT_EQ(TamValue::createReal(d)->displayString(), expected);
  }
  EXPECT_EQ(TamValue::createReal(1e300)->displayString().size(), 308u);
}

TEST(ValueTest, Ordering) {
  struct Case {
    const char* a;
    const char* b;
    const char* lt;
    const char* gt;
    const char* le;
    const char* ge;
  };
  const Case cases[] = {
      {"u", "i:5", "false", "false", "false", "false"},
      {"i:5", "u", "false", "false", "false", "false"},
      {"b:true", "u", "false", "false", "false", "false"},
      {"i:2", "i:3", "true", "false", "true", "false"},
      {"i:2", "r:2.0", "false", "false", "true", "true"},
      {"r:2.5", "i:2", "false", "true", "false", "true"},
      {"r:-1.5", "r:1.5", "true", "false", "true", "false"},
      {"s:B", "s:a", "true", "false", "true", "false"},
      {"s:ab", "s:ab", "false", "false", "true", "true"},
      {"b:true", "b:false", "E202", "E202", "E202", "E202"},
      {"i:1", "s:1", "E202", "E202", "E202", "E202"},
      {"s:1", "r:1.0", "E202", "E202", "E202", "E202"},
      {"r:1.0", "b:true", "E202", "E202", "E202", "E202"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    const Value a = V(c.a), b = V(c.b);
    EXPECT_EQ(attempt([&] { return truthText(a < b); }), c.lt);
    EXPECT_EQ(attempt([&] { return truthText(a > b); }), c.gt);
    EXPECT_EQ(attempt([&] { return truthText(a <= b); }), c.le);
    EXPECT_EQ(attempt([&] { return truthText(a >= b); }), c.ge);
  }
}

TEST(ValueTest, Arithmetic) {
  struct Case { const char* a; char op; const char* b; const char* result; };
  const Case cases[] = {
      {"i:2", '+', "i:3", "integer:5"},
      {"i:2", '-', "i:3", "integer:-1"},
      {"i:4", '*', "i:-3", "integer:-12"},
      {"i:7", '/', "i:2", "integer:3"},
      {"i:-7", '/', "i:2", "integer:-3"},
      {"i:7", '/', "r:2.0", "real:3.500000"},
      {"r:1.5", '+', "i:1", "real:2.500000"},
      {"i:1", '-', "r:0.25", "real:0.750000"},
      {"r:1.5", '*', "r:2.0", "real:3.000000"},
      {"i:2147483647", '+', "i:1", "integer:-2147483648"},
      {"i:-2147483648", '-', "i:1", "integer:2147483647"},
      {"i:65536", '*', "i:65536", "integer:0"},
      {"i:-2147483648", '*', "i:-1", "integer:-2147483648"},
      {"i:-2147483648", '/', "i:-1", "integer:-2147483648"},
      {"s:ab", '+', "s:cd", "string:abcd"},
      {"s:ab", '+', "u", "Unset:***UNSET***"},
      {"u", '+', "s:ab", "Unset:***UNSET***"},
      {"s:ab", '+', "i:1", "E202"},
      {"i:1", '+', "s:ab", "E202"},
      {"s:ab", '-', "s:a", "E202"},
      {"b:true", '+', "i:1", "E202"},
      {"i:1", '*', "b:false", "E202"},
      {"u", '-', "i:1", "Unset:***UNSET***"},
      {"i:1", '*', "u", "Unset:***UNSET***"},
      {"i:7", '/', "u", "Unset:***UNSET***"},
      {"i:7", '/', "i:0", "E203"},
      {"i:7", '/', "r:0.0", "E203"},
      {"r:7", '/', "r:-0.0", "E203"},
      {"u", '/', "i:0", "E203"},
      {"s:x", '/', "i:0", "E203"},
      {"s:x", '/', "i:1", "E202"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " " + c.op + " " + c.b);
    const Value a = V(c.a), b = V(c.b);
    EXPECT_EQ(attempt([&] {
                switch (c.op) {
                  case '+': return describe(a + b);
                  case '-': return describe(a - b);
                  case '*': return describe(a * b);
                  default: return describe(a / b);
                }
              }),
              c.result);
  }
}

}  // namespace
