#include "tam/TamValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "tam/TamException.h"

namespace {

using Value = ref_count_ptr<TamValue>;

// Values written compactly in tables: "u", "b:true", "i:7", "r:2.5", "s:text".
Value V(const std::string& written) {
  const std::string payload = written.size() > 2 ? written.substr(2) : "";
  switch (written[0]) {
    case 'u': return TamValue::createUnset();
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

// a op b through the standard function objects: a result written as in the tables, T or F for
// a test (two letters for == and !=), or "E<code>".
std::string apply(const std::string& a, char op, const std::string& b) {
  const Value x = V(a), y = V(b);
  const auto text = [](const Value& v) {
    static const char* const prefixes[] = {"u", "b:", "i:", "r:", "s:"};
    return prefixes[v->type()] + (v->type() == TamValue::VT_UNSET ? "" : v->displayString());
  };
  const auto truth = [](bool t) { return std::string(t ? "T" : "F"); };
  return attempt([&] {
    switch (op) {
      case '+': return text(std::plus<Value>()(x, y));
      case '-': return text(std::minus<Value>()(x, y));
      case '*': return text(std::multiplies<Value>()(x, y));
      case '/': return text(std::divides<Value>()(x, y));
      case '<': return truth(std::less<Value>()(x, y));
      case '>': return truth(std::greater<Value>()(x, y));
      case 'l': return truth(std::less_equal<Value>()(x, y));
      case 'g': return truth(std::greater_equal<Value>()(x, y));
      default:
        return truth(std::equal_to<Value>()(x, y)) + truth(std::not_equal_to<Value>()(x, y));
    }
  });
}

TEST(ValueTest, SharedUnsetAndBoolInstances) {
  EXPECT_EQ(TamValue::createUnset().get(), TamValue::createUnset().get());
  EXPECT_EQ(TamValue::createBool(true).get(), TamValue::createBool(true).get());
  EXPECT_EQ(TamValue::createBool(false).get(), TamValue::createBool(false).get());
  EXPECT_NE(TamValue::createBool(true).get(), TamValue::createBool(false).get());
  EXPECT_NE(TamValue::createInt(1).get(), TamValue::createInt(1).get());
}

// Type name, display text, then what strValue, intValue, realValue and boolValue give; rows in
// ValueType order.
TEST(ValueTest, KindsAccessorsAndDisplay) {
  const char* const cases[][2] = {{"u", "Unset ***UNSET*** E202 E202 E202 E202"},
                                  {"b:false", "bool false E202 E202 E202 0"},
                                  {"i:-4", "integer -4 E202 -4 -4.000000 E202"},
                                  {"r:2.5", "real 2.500000 E202 E202 2.500000 E202"},
                                  {"s:a \"b\"", "string a \"b\" a \"b\" E202 E202 E202"}};
  for (const auto& c : cases) {
    const Value v = V(c[0]);
    EXPECT_EQ(v->type(), &c - cases);
    EXPECT_EQ(TamValue::typeName(v->type()) + " " + v->displayString() + " " +
                  attempt([&] { return v->strValue(); }) + " " +
                  attempt([&] { return std::to_string(v->intValue()); }) + " " +
                  attempt([&] { return std::to_string(v->realValue()); }) + " " +
                  attempt([&] { return std::to_string(v->boolValue()); }),
              c[1]);
  }
  EXPECT_TRUE(TamValue::createBool(true)->boolValue());
  EXPECT_EQ(TamValue::createBool(true)->displayString(), "true");
  // Huge magnitudes print in full, digit for digit as "%lf" gives them.
  for (double d : {1e300, -1.7976931348623157e308}) {
    char expected[512];
    std::snprintf(expected, sizeof expected, "%lf", d);
    EXPECT_EQ(TamValue::createReal(d)->displayString(), expected);
  }
  EXPECT_EQ(TamValue::createReal(1e300)->displayString().size(), 308u);
}

// Equality (== then !=) and the four orderings (<, >, <=, >=; E for code 202) of each pair.
TEST(ValueTest, ComparisonOperators) {
  struct Case { const char* a; const char* b; const char* equality; const char* order; };
  const Case cases[] = {
      {"u", "u", "TF", "FFFF"}, {"u", "i:5", "FT", "FFFF"}, {"i:5", "u", "FT", "FFFF"},
      {"b:true", "u", "FT", "FFFF"}, {"i:2", "i:3", "FT", "TFTF"}, {"i:1", "r:1", "FT", "FFTT"},
      {"r:2.5", "i:2", "FT", "FTFT"}, {"r:0", "r:-0", "TF", "FFTT"}, {"s:B", "s:a", "FT", "TFTF"},
      {"s:ab", "s:ab", "TF", "FFTT"}, {"s:ab", "s:Ab", "FT", "FTFT"}, {"s:", "u", "FT", "FFFF"},
      {"b:true", "b:true", "TF", "EEEE"}, {"b:true", "i:1", "FT", "EEEE"},
      {"i:1", "s:1", "FT", "EEEE"}, {"s:1", "r:1", "FT", "EEEE"}, {"r:1", "b:true", "FT", "EEEE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(apply(c.a, '=', c.b), c.equality);
    EXPECT_EQ(apply(c.b, '=', c.a), c.equality);
    std::string order;
    for (char op : {'<', '>', 'l', 'g'}) {
      order += apply(c.a, op, c.b) == "E202" ? "E" : apply(c.a, op, c.b);
    }
    EXPECT_EQ(order, c.order);
  }
  const Value nan = TamValue::createReal(std::nan(""));
  EXPECT_FALSE(nan == nan);
}

TEST(ValueTest, Arithmetic) {
  struct Case { const char* a; char op; const char* b; const char* result; };
  const Case cases[] = {
      {"i:2", '+', "i:3", "i:5"}, {"i:7", '/', "i:2", "i:3"}, {"i:-7", '/', "i:2", "i:-3"},
      {"i:4", '*', "i:-3", "i:-12"}, {"i:65536", '*', "i:65536", "i:0"},
      {"i:7", '/', "r:2", "r:3.500000"}, {"r:1.5", '+', "i:1", "r:2.500000"},
      {"i:1", '-', "r:0.25", "r:0.750000"}, {"r:1.5", '*', "r:2", "r:3.000000"},
      {"i:2147483647", '+', "i:1", "i:-2147483648"}, {"i:-2147483648", '-', "i:1", "i:2147483647"},
      {"i:-2147483648", '/', "i:-1", "i:-2147483648"},  // wraps, no crash
      {"s:ab", '+', "s:cd", "s:abcd"}, {"s:ab", '+', "u", "u"}, {"u", '+', "s:ab", "u"},
      {"s:ab", '+', "i:1", "E202"}, {"i:1", '+', "s:ab", "E202"}, {"s:ab", '-', "s:a", "E202"},
      {"b:true", '+', "i:1", "E202"}, {"i:1", '*', "b:false", "E202"}, {"u", '-', "i:1", "u"},
      {"i:7", '/', "u", "u"}, {"i:7", '/', "i:0", "E203"}, {"r:7", '/', "r:-0", "E203"},
      {"u", '/', "i:0", "E203"}, {"s:x", '/', "i:0", "E203"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(apply(c.a, c.op, c.b), c.result) << c.a << " " << c.op << " " << c.b;
  }
}

}  // namespace
