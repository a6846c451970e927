#include "tam/TamOptionValue.h"

#include "tam/TamException.h"

namespace {

// Misuse of a constraint raises code 2 with the message as info.
constexpr int kMisuseCode = 2;

[[noreturn]] void raiseMisuse(const std::string& message) {
  throw TamException(kMisuseCode, message, std::string(), std::string());
}

bool isNumber(const ref_count_ptr<TamValue>& v) {
  return v->type() == TamValue::VT_INT || v->type() == TamValue::VT_REAL;
}

}  // namespace

TamOptionValue::~TamOptionValue() = default;

ref_count_ptr<TamValue> TamOptionValue::value() {
  raiseMisuse("Asked for value of a non-value OptionValue");
}

TamOptionValue::Range TamOptionValue::range() {
  raiseMisuse("Asked for range of a non-range OptionValue");
}

// The candidate always stands on the left of the comparison, the payload on the right, so that a
// candidate of a kind that cannot be ordered against the bound raises the ordering failure.
bool TamOptionEnumValue::accepts(ref_count_ptr<TamValue> v) { return v == value_; }
bool TamOptionMaxValue::accepts(ref_count_ptr<TamValue> v) { return v < value_; }
bool TamOptionMinValue::accepts(ref_count_ptr<TamValue> v) { return v > value_; }
bool TamOptionMaxIncValue::accepts(ref_count_ptr<TamValue> v) { return v <= value_; }
bool TamOptionMinIncValue::accepts(ref_count_ptr<TamValue> v) { return v >= value_; }

TamOptionRangeValue::TamOptionRangeValue(const ref_count_ptr<TamOptionValue>& first,
                                         const ref_count_ptr<TamOptionValue>& second)
    : first_(first), second_(second) {
  if (first_->value() >= second_->value()) raiseMisuse("Max must be > min for range value");
}

bool TamOptionRangeValue::accepts(ref_count_ptr<TamValue> v) {
  return first_->accepts(v) && second_->accepts(v);
}

bool TamOptionAnyStringValue::accepts(ref_count_ptr<TamValue> v) {
  return v->type() == TamValue::VT_STRING;
}

bool TamOptionAnyIntValue::accepts(ref_count_ptr<TamValue> v) { return isNumber(v); }

bool TamOptionAnyRealValue::accepts(ref_count_ptr<TamValue> v) { return isNumber(v); }

bool TamOptionBooleanValue::accepts(ref_count_ptr<TamValue> v) {
  return v->type() == TamValue::VT_BOOL;
}
