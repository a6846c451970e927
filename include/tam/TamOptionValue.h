// The value constraints of an option: one allowed value, a strict or inclusive bound, a range of
// two bounds, or any value of one kind. An option accepts a value when any of its constraints
// accepts it (see TamOption::validateValue). Constraints are immutable and shared through
// ref_count_ptr<TamOptionValue>; a constraint owns handles on its payload only.
// Comparisons are those of value handles with the candidate on the left: a candidate that cannot
// be ordered against the bound raises 202 rather than answering false.
#ifndef TAM_TAMOPTIONVALUE_H
#define TAM_TAMOPTIONVALUE_H

#include <utility>

#include "tam/TamExport.h"
#include "tam/TamValue.h"
#include "tam/ref_count.h"

class TAM_API TamOptionValue : public ref_count {
 public:
  enum Kind {
    KIND_ENUM = 0,
    KIND_MAX = 1,
    KIND_MIN = 2,
    KIND_MAX_INC = 3,
    KIND_MIN_INC = 4,
    KIND_RANGE = 5,
    KIND_ANY_STRING = 6,
    KIND_ANY_INT = 7,
    KIND_ANY_REAL = 8,
    KIND_BOOLEAN = 9
  };
  using Range = std::pair<ref_count_ptr<TamOptionValue>, ref_count_ptr<TamOptionValue>>;

  ~TamOptionValue() override;
  virtual Kind kind() = 0;
  virtual bool accepts(ref_count_ptr<TamValue> v) = 0;
  // The payload of a valued constraint; code 2 for a range or an any-kind constraint.
  virtual ref_count_ptr<TamValue> value();
  // The two bounds of a range; code 2 for every other constraint.
  virtual Range range();
};

// Shared shape of the constraints that hold one value.
class TAM_API TamOptionSingleValue : public TamOptionValue {
 public:
  ref_count_ptr<TamValue> value() override { return value_; }

 protected:
  explicit TamOptionSingleValue(const ref_count_ptr<TamValue>& value) : value_(value) {}
  ref_count_ptr<TamValue> value_;
};

class TAM_API TamOptionEnumValue : public TamOptionSingleValue {
 public:
  explicit TamOptionEnumValue(const ref_count_ptr<TamValue>& value) : TamOptionSingleValue(value) {}
  Kind kind() override { return KIND_ENUM; }
  bool accepts(ref_count_ptr<TamValue> v) override;
};

class TAM_API TamOptionMaxValue : public TamOptionSingleValue {
 public:
  explicit TamOptionMaxValue(const ref_count_ptr<TamValue>& value) : TamOptionSingleValue(value) {}
  Kind kind() override { return KIND_MAX; }
  bool accepts(ref_count_ptr<TamValue> v) override;
};

class TAM_API TamOptionMinValue : public TamOptionSingleValue {
 public:
  explicit TamOptionMinValue(const ref_count_ptr<TamValue>& value) : TamOptionSingleValue(value) {}
  Kind kind() override { return KIND_MIN; }
  bool accepts(ref_count_ptr<TamValue> v) override;
};

class TAM_API TamOptionMaxIncValue : public TamOptionSingleValue {
 public:
  explicit TamOptionMaxIncValue(const ref_count_ptr<TamValue>& value)
      : TamOptionSingleValue(value) {}
  Kind kind() override { return KIND_MAX_INC; }
  bool accepts(ref_count_ptr<TamValue> v) override;
};

class TAM_API TamOptionMinIncValue : public TamOptionSingleValue {
 public:
  explicit TamOptionMinIncValue(const ref_count_ptr<TamValue>& value)
      : TamOptionSingleValue(value) {}
  Kind kind() override { return KIND_MIN_INC; }
  bool accepts(ref_count_ptr<TamValue> v) override;
};

// Both bounds must accept. Construction raises code 2 "Max must be > min for range value" unless
// the lower bound's value is strictly below the upper bound's.
class TAM_API TamOptionRangeValue : public TamOptionValue {
 public:
  TamOptionRangeValue(const ref_count_ptr<TamOptionValue>& first,
                      const ref_count_ptr<TamOptionValue>& second);
  Kind kind() override { return KIND_RANGE; }
  bool accepts(ref_count_ptr<TamValue> v) override;
  Range range() override { return Range(first_, second_); }

 private:
  ref_count_ptr<TamOptionValue> first_;
  ref_count_ptr<TamOptionValue> second_;
};

class TAM_API TamOptionAnyStringValue : public TamOptionValue {
 public:
  Kind kind() override { return KIND_ANY_STRING; }
  bool accepts(ref_count_ptr<TamValue> v) override;
};

// Accepts Int and Real values.
class TAM_API TamOptionAnyIntValue : public TamOptionValue {
 public:
  Kind kind() override { return KIND_ANY_INT; }
  bool accepts(ref_count_ptr<TamValue> v) override;
};

// Accepts Int and Real values.
class TAM_API TamOptionAnyRealValue : public TamOptionValue {
 public:
  Kind kind() override { return KIND_ANY_REAL; }
  bool accepts(ref_count_ptr<TamValue> v) override;
};

class TAM_API TamOptionBooleanValue : public TamOptionValue {
 public:
  Kind kind() override { return KIND_BOOLEAN; }
  bool accepts(ref_count_ptr<TamValue> v) override;
};

#endif  // TAM_TAMOPTIONVALUE_H
