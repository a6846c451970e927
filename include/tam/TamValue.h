// TamValue is an immutable option value of one of five kinds: Unset, Bool, Int, Real, String.
// Values are always held through ref_count_ptr<TamValue> and made only by the create functions;
// the Unset value and the two Bool values are shared instances that live for the whole process
// and may be used from any thread.
// The operators on value handles compare and combine the values they hold: equality never fails
// (different kinds are unequal), ordering and arithmetic raise TamException 202 for kinds that do
// not combine and division raises 203 for a zero divisor.
//
// Display texts: Unset "***UNSET***", Bool "true"/"false", Int "%d", Real "%lf" (the whole text of
// any finite double, however long), String the text itself.
// The quotient of the smallest Int by -1 wraps around to the smallest Int, like the other Int
// arithmetic, instead of trapping.
#ifndef TAM_TAMVALUE_H
#define TAM_TAMVALUE_H

#include <string>
#include <utility>

#include "tam/TamExport.h"
#include "tam/ref_count.h"

class TAM_API TamValue : public ref_count {
 public:
  enum ValueType { VT_UNSET = 0, VT_BOOL = 1, VT_INT = 2, VT_REAL = 3, VT_STRING = 4 };

  ~TamValue() override;

  virtual std::string displayString() const = 0;
  // Typed accessors: each kind answers its own (and Int also realValue); any other raises 202.
  virtual std::string strValue() const;
  virtual int intValue() const;
  virtual double realValue() const;
  virtual bool boolValue() const;
  virtual ValueType type() const = 0;

  // The text of a value type: "Unset", "bool", "integer", "real", "string"; the empty text for a
  // number that is no value type.
  static const std::string& typeName(ValueType type);

  static ref_count_ptr<TamValue> createInt(int value);
  static ref_count_ptr<TamValue> createReal(double value);
  static ref_count_ptr<TamValue> createString(const std::string& value);
  // The same, taking the text over instead of copying it.
  static ref_count_ptr<TamValue> createString(std::string&& value);
  // The two shared Bool instances; never allocates after the first call.
  static ref_count_ptr<TamValue> createBool(bool value);
  // The shared Unset instance; never allocates after the first call.
  static ref_count_ptr<TamValue> createUnset();

  friend TAM_API bool operator==(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);
  friend TAM_API bool operator!=(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);

 protected:
  TamValue() = default;
  virtual bool equals(const TamValue& other) const = 0;
  // Marks a value as one of the process-wide instances and returns it.
  static TamValue* makeProcessWide(TamValue* value);

  static const std::string typeNames[5];
};

class TAM_API TamUnsetValue : public TamValue {
 public:
  TamUnsetValue() = default;
  std::string displayString() const override;
  ValueType type() const override { return VT_UNSET; }

 protected:
  bool equals(const TamValue& other) const override;
};

class TAM_API TamBoolValue : public TamValue {
 public:
  explicit TamBoolValue(bool value) : value_(value) {}
  std::string displayString() const override;
  bool boolValue() const override { return value_; }
  ValueType type() const override { return VT_BOOL; }

 protected:
  bool equals(const TamValue& other) const override;

 private:
  const bool value_;
};

class TAM_API TamIntValue : public TamValue {
 public:
  explicit TamIntValue(int value) : value_(value) {}
  std::string displayString() const override;
  int intValue() const override { return value_; }
  double realValue() const override { return value_; }
  ValueType type() const override { return VT_INT; }

 protected:
  bool equals(const TamValue& other) const override;

 private:
  const int value_;
};

class TAM_API TamRealValue : public TamValue {
 public:
  explicit TamRealValue(double value) : value_(value) {}
  std::string displayString() const override;
  double realValue() const override { return value_; }
  ValueType type() const override { return VT_REAL; }

 protected:
  bool equals(const TamValue& other) const override;

 private:
  const double value_;
};

class TAM_API TamStringValue : public TamValue {
 public:
  explicit TamStringValue(const std::string& value) : value_(value) {}
  explicit TamStringValue(std::string&& value) : value_(std::move(value)) {}
  std::string displayString() const override { return value_; }
  std::string strValue() const override { return value_; }
  ValueType type() const override { return VT_STRING; }

 protected:
  bool equals(const TamValue& other) const override;

 private:
  const std::string value_;
};

// Both handles must be non-null. Unset on either side makes every ordering false.
TAM_API bool operator==(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);
TAM_API bool operator!=(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);
TAM_API bool operator<(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);
TAM_API bool operator>(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);
TAM_API bool operator<=(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);
TAM_API bool operator>=(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);
// Unset on either side gives Unset; Int with Int stays Int (32-bit wrap-around), a Real on either
// side gives Real; String + String concatenates. Any other mix (a Bool, a String with a number)
// raises 202.
TAM_API ref_count_ptr<TamValue> operator+(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);
TAM_API ref_count_ptr<TamValue> operator-(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);
TAM_API ref_count_ptr<TamValue> operator*(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);
// Checks the divisor first: a zero Int or Real divisor raises 203 even when the left side is Unset.
TAM_API ref_count_ptr<TamValue> operator/(const ref_count_ptr<TamValue>& a, const ref_count_ptr<TamValue>& b);

#endif  // TAM_TAMVALUE_H
