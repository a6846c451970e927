#include "tam/TamValue.h"

#include <cstdint>
#include <cstdio>
#include <functional>

#include "tam/TamException.h"

namespace {

constexpr int kWrongKindCode = 202;
constexpr int kDivideByZeroCode = 203;

[[noreturn]] void wrongKind() { throw TamException(kWrongKindCode, "", "", ""); }

// Reduces an exact 64-bit result to 32-bit two's complement, the way Int arithmetic wraps,
// without relying on signed overflow.
int wrapToInt(int64_t value) {
  const uint32_t bits = static_cast<uint32_t>(value);
  if (bits <= static_cast<uint32_t>(INT32_MAX)) return static_cast<int>(bits);
  return static_cast<int>(static_cast<int64_t>(bits) - (int64_t{1} << 32));
}

// The whole "%lf" text of a double; large magnitudes need hundreds of characters, so the
// buffer is sized by a first, measuring call.
std::string formatReal(double value) {
  const int size = std::snprintf(nullptr, 0, "%lf", value);
  if (size <= 0) return std::string();
  std::string text(static_cast<size_t>(size) + 1, '\0');
  std::snprintf(&text[0], text.size(), "%lf", value);
  text.resize(static_cast<size_t>(size));
  return text;
}

bool isUnset(const ref_count_ptr<TamValue>& v) { return v->type() == TamValue::VT_UNSET; }

// The ordering shared by <, >, <= and >=: Unset on either side is false, numbers compare with
// numbers (Int widened to double against a Real), strings with strings, anything else is 202.
template <class Compare>
bool orderValues(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b,
                 Compare compare) {
  if (isUnset(b) || isUnset(a)) return false;
  const TamValue::ValueType left = a->type();
  const TamValue::ValueType right = b->type();
  if (left == TamValue::VT_INT && right == TamValue::VT_INT)
    return compare(a->intValue(), b->intValue());
  const bool leftNumber = left == TamValue::VT_INT || left == TamValue::VT_REAL;
  const bool rightNumber = right == TamValue::VT_INT || right == TamValue::VT_REAL;
  if (leftNumber && rightNumber) return compare(a->realValue(), b->realValue());
  if (left == TamValue::VT_STRING && right == TamValue::VT_STRING)
    return compare(a->strValue(), b->strValue());
  wrongKind();
}

// The arithmetic shared by the four operators: Unset on either side gives Unset, Int with Int
// stays Int (computed exactly in 64 bits, then wrapped), a Real on either side gives Real.
template <class IntOp, class RealOp>
ref_count_ptr<TamValue> combineNumbers(const ref_count_ptr<TamValue>& a,
                                       const ref_count_ptr<TamValue>& b, IntOp intOp,
                                       RealOp realOp) {
  if (isUnset(a) || isUnset(b)) return TamValue::createUnset();
  const TamValue::ValueType left = a->type();
  const TamValue::ValueType right = b->type();
  if (left == TamValue::VT_INT && right == TamValue::VT_INT) {
    return TamValue::createInt(
        wrapToInt(intOp(static_cast<int64_t>(a->intValue()), static_cast<int64_t>(b->intValue()))));
  }
  const bool leftNumber = left == TamValue::VT_INT || left == TamValue::VT_REAL;
  const bool rightNumber = right == TamValue::VT_INT || right == TamValue::VT_REAL;
  if (leftNumber && rightNumber) {
    return TamValue::createReal(realOp(a->realValue(), b->realValue()));
  }
  wrongKind();
}

}  // namespace

// Filled at load time, before any value can be asked for its type name.
const std::string TamValue::typeNames[5] = {"Unset", "bool", "integer", "real", "string"};

TamValue::~TamValue() = default;

std::string TamValue::strValue() const { wrongKind(); }
int TamValue::intValue() const { wrongKind(); }
double TamValue::realValue() const { wrongKind(); }
bool TamValue::boolValue() const { wrongKind(); }

const std::string& TamValue::typeName(ValueType type) {
  static const std::string unknown;
  if (type < VT_UNSET || type > VT_STRING) return unknown;
  return typeNames[type];
}

ref_count_ptr<TamValue> TamValue::createInt(int value) { return new TamIntValue(value); }
ref_count_ptr<TamValue> TamValue::createReal(double value) { return new TamRealValue(value); }
ref_count_ptr<TamValue> TamValue::createString(const std::string& value) {
  return new TamStringValue(value);
}
ref_count_ptr<TamValue> TamValue::createString(std::string&& value) {
  return new TamStringValue(std::move(value));
}

// The shared instances are made once (the first call on any thread), shared by every thread
// without counting, and never freed.
TamValue* TamValue::makeProcessWide(TamValue* value) {
  value->ref_count::shareWithProcess();
  return value;
}

ref_count_ptr<TamValue> TamValue::createBool(bool value) {
  static TamValue* const shared[2] = {makeProcessWide(new TamBoolValue(false)),
                                      makeProcessWide(new TamBoolValue(true))};
  return shared[value ? 1 : 0];
}

ref_count_ptr<TamValue> TamValue::createUnset() {
  static TamValue* const shared = makeProcessWide(new TamUnsetValue());
  return shared;
}

std::string TamUnsetValue::displayString() const { return "***UNSET***"; }
std::string TamBoolValue::displayString() const { return value_ ? "true" : "false"; }
std::string TamIntValue::displayString() const { return std::to_string(value_); }
std::string TamRealValue::displayString() const { return formatReal(value_); }

// Equality asks the other value for its kind and then for its payload through the accessor of
// that kind, so values of different kinds are simply unequal.
bool TamUnsetValue::equals(const TamValue& other) const { return other.type() == VT_UNSET; }
bool TamBoolValue::equals(const TamValue& other) const {
  return other.type() == VT_BOOL && other.boolValue() == value_;
}
bool TamIntValue::equals(const TamValue& other) const {
  return other.type() == VT_INT && other.intValue() == value_;
}
bool TamRealValue::equals(const TamValue& other) const {
  return other.type() == VT_REAL && other.realValue() == value_;
}
bool TamStringValue::equals(const TamValue& other) const {
  return other.type() == VT_STRING && other.strValue() == value_;
}

bool operator==(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b) {
  return a->equals(*b);
}
bool operator!=(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b) {
  return !a->equals(*b);
}

bool operator<(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b) {
  return orderValues(a, b, std::less<>());
}
bool operator>(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b) {
  return orderValues(a, b, std::greater<>());
}
bool operator<=(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b) {
  return orderValues(a, b, std::less_equal<>());
}
bool operator>=(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b) {
  return orderValues(a, b, std::greater_equal<>());
}

ref_count_ptr<TamValue> operator+(const ref_count_ptr<TamValue>& a,
                                  const ref_count_ptr<TamValue>& b) {
  if (a->type() == TamValue::VT_STRING) {
    if (b->type() == TamValue::VT_STRING) {
      return TamValue::createString(a->strValue() + b->strValue());
    }
    if (isUnset(b)) return TamValue::createUnset();
    wrongKind();
  }
  return combineNumbers(a, b, std::plus<int64_t>(), std::plus<double>());
}

ref_count_ptr<TamValue> operator-(const ref_count_ptr<TamValue>& a,
                                  const ref_count_ptr<TamValue>& b) {
  return combineNumbers(a, b, std::minus<int64_t>(), std::minus<double>());
}

ref_count_ptr<TamValue> operator*(const ref_count_ptr<TamValue>& a,
                                  const ref_count_ptr<TamValue>& b) {
  return combineNumbers(a, b, std::multiplies<int64_t>(), std::multiplies<double>());
}

// The divisor is checked before anything else, so even Unset divided by zero is an error.
// In 64 bits the smallest Int divided by -1 is exact and then wraps back to the smallest Int.
ref_count_ptr<TamValue> operator/(const ref_count_ptr<TamValue>& a,
                                  const ref_count_ptr<TamValue>& b) {
  if ((b->type() == TamValue::VT_INT && b->intValue() == 0) ||
      (b->type() == TamValue::VT_REAL && b->realValue() == 0.0)) {
    throw TamException(kDivideByZeroCode, "", "", "");
  }
  return combineNumbers(a, b, std::divides<int64_t>(), std::divides<double>());
}
