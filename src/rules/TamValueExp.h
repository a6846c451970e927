// The value expressions of RIX rules: literals, option value references, arithmetic, comparisons
// and the logical connectives. Evaluating one against a selected option set yields a value; it
// changes the set only through TamSelOptionSet::get (default entries, legacy refresh). Every
// pointer field owns its node. Trees never change after parsing.
// Comparisons of multi-valued options hold when some pair of values satisfies them; Unset on the
// left or right of a comparison makes it Unset; arithmetic evaluates its right operand first.
// Every expression knows the range of the rules text it was read from (32-bit offsets, the first
// byte and just past the last; kNoOffset when not recorded). A parenthesised expression's range
// takes in its parentheses; the 0 the parser puts before a prefix "-" has the empty range at it.
#ifndef TAM_SRC_RULES_TAMVALUEEXP_H
#define TAM_SRC_RULES_TAMVALUEEXP_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rules/TamOptionExp.h"
#include "tam/TamSelOptionSet.h"
#include "tam/TamSourcePos.h"
#include "tam/TamValue.h"
#include "tam/ref_count.h"

class TamSelOptionSet;

class TamValueExp : public tam::detail::ArenaNode {
 public:
  TamValueExp() = default;
  virtual ~TamValueExp() = default;
  TamValueExp(const TamValueExp&) = delete;
  TamValueExp& operator=(const TamValueExp&) = delete;

  virtual ref_count_ptr<TamValue> evaluate(const TamSelOptionSet& sos) const = 0;
  // Every value the expression stands for; empty for everything but option references.
  virtual std::vector<ref_count_ptr<TamValue>> values(const TamSelOptionSet& sos) const = 0;
  virtual bool isMultiValued(const TamSelOptionSet& sos) const;
  // A printed form of the tree for tests and diagnostics, e.g. plus(1, multiplies(2, 3)).
  virtual std::string dump() const = 0;
  // This node as a two-operand node, or null (a cheap test for freeing long chains).
  virtual class TamBinaryValueExp* asBinary() { return nullptr; }

  std::uint32_t beginOffset() const { return begin_; }
  std::uint32_t endOffset() const { return end_; }
  void setSourceRange(std::size_t begin, std::size_t end) {
    begin_ = TamSourcePos::narrow(begin);
    end_ = TamSourcePos::narrow(end);
  }

 private:
  std::uint32_t begin_ = TamSourcePos::kNoOffset;
  std::uint32_t end_ = TamSourcePos::kNoOffset;
};

class TamLiteralValueExp : public TamValueExp {
 public:
  TamLiteralValueExp();  // Unset
  explicit TamLiteralValueExp(std::string value);
  explicit TamLiteralValueExp(int value);
  explicit TamLiteralValueExp(double value);
  explicit TamLiteralValueExp(bool value);
  // Not part of the parser's vocabulary, but lets a tree hold any value it was given.
  explicit TamLiteralValueExp(const ref_count_ptr<TamValue>& value) : value_(value) {}
  // Keeps a string literal from choosing the bool constructor.
  explicit TamLiteralValueExp(const char* value) : TamLiteralValueExp(std::string(value)) {}

  ref_count_ptr<TamValue> evaluate(const TamSelOptionSet& sos) const override;
  std::vector<ref_count_ptr<TamValue>> values(const TamSelOptionSet& sos) const override;
  std::string dump() const override;
  const ref_count_ptr<TamValue>& value() const { return value_; }

 private:
  ref_count_ptr<TamValue> value_;
};

class TamOptionValueExp : public TamValueExp {
 public:
  explicit TamOptionValueExp(TamOptionExp* optionExp) : optionExp_(optionExp) {}
  ~TamOptionValueExp() override;

  ref_count_ptr<TamValue> evaluate(const TamSelOptionSet& sos) const override;
  std::vector<ref_count_ptr<TamValue>> values(const TamSelOptionSet& sos) const override;
  bool isMultiValued(const TamSelOptionSet& sos) const override;
  std::string dump() const override;
  const TamOptionExp* optionExp() const { return optionExp_; }

 private:
  // The set's entry of the option (a default entry when it has none).
  const TamSelOptionSet::TamSosEntry& entry(const TamSelOptionSet& sos) const;

  TamOptionExp* optionExp_;
};

// Shared shape of the nodes with two operands.
class TamBinaryValueExp : public TamValueExp {
 public:
  TamBinaryValueExp(TamValueExp* left, TamValueExp* right) : left_(left), right_(right) {}
  // Frees nested two-operand nodes in a loop, so a long chain does not recurse; never allocates.
  ~TamBinaryValueExp() override;
  std::vector<ref_count_ptr<TamValue>> values(const TamSelOptionSet& sos) const override;
  TamBinaryValueExp* asBinary() override { return this; }
  const TamValueExp* left() const { return left_; }
  const TamValueExp* right() const { return right_; }

 protected:
  std::string dumpAs(const char* name) const;
  static void destroyTree(TamValueExp* node);
  TamValueExp* left_;
  TamValueExp* right_;
};

// The names the dumps print for each function object.
template <class Op> struct TamOperatorName;
template <> struct TamOperatorName<std::plus<ref_count_ptr<TamValue>>> { static const char* name() { return "plus"; } };
template <> struct TamOperatorName<std::minus<ref_count_ptr<TamValue>>> { static const char* name() { return "minus"; } };
template <> struct TamOperatorName<std::multiplies<ref_count_ptr<TamValue>>> { static const char* name() { return "multiplies"; } };
template <> struct TamOperatorName<std::divides<ref_count_ptr<TamValue>>> { static const char* name() { return "divides"; } };
template <> struct TamOperatorName<std::equal_to<ref_count_ptr<TamValue>>> { static const char* name() { return "eq"; } };
template <> struct TamOperatorName<std::not_equal_to<ref_count_ptr<TamValue>>> { static const char* name() { return "ne"; } };
template <> struct TamOperatorName<std::less<ref_count_ptr<TamValue>>> { static const char* name() { return "lt"; } };
template <> struct TamOperatorName<std::greater<ref_count_ptr<TamValue>>> { static const char* name() { return "gt"; } };
template <> struct TamOperatorName<std::less_equal<ref_count_ptr<TamValue>>> { static const char* name() { return "le"; } };
template <> struct TamOperatorName<std::greater_equal<ref_count_ptr<TamValue>>> { static const char* name() { return "ge"; } };

// Arithmetic: the right operand is evaluated first, then the left; the result is left op right.
// The parser builds a - b - c as a left-leaning chain without nesting, so a long sum can be
// arbitrarily deep; evaluate() and dump() walk such a chain in a loop instead of recursing.
class TamArithmeticValueExp : public TamBinaryValueExp {
 public:
  TamArithmeticValueExp(TamValueExp* left, TamValueExp* right) : TamBinaryValueExp(left, right) {}
  ref_count_ptr<TamValue> evaluate(const TamSelOptionSet& sos) const override;
  std::string dump() const override;

 protected:
  // left op right, through the value handle operators.
  virtual ref_count_ptr<TamValue> combine(const ref_count_ptr<TamValue>& left,
                                          const ref_count_ptr<TamValue>& right) const = 0;
  virtual const char* operatorName() const = 0;
};

template <class Op>
class TamMathValueExp : public TamArithmeticValueExp {
 public:
  TamMathValueExp(TamValueExp* left, TamValueExp* right) : TamArithmeticValueExp(left, right) {}

 protected:
  ref_count_ptr<TamValue> combine(const ref_count_ptr<TamValue>& left,
                                  const ref_count_ptr<TamValue>& right) const override {
    return Op()(left, right);
  }
  const char* operatorName() const override { return TamOperatorName<Op>::name(); }
};

namespace tam {
namespace detail {
// Any-pair comparison of two evaluated operands; see TamLogicalValueExp.
ref_count_ptr<TamValue> compareOperands(
    const TamValueExp& left, const TamValueExp& right, const TamSelOptionSet& sos,
    const std::function<bool(const ref_count_ptr<TamValue>&, const ref_count_ptr<TamValue>&)>& test);
}  // namespace detail
}  // namespace tam

// Comparison: Unset on the left (right not evaluated) or right gives Unset; otherwise true when
// some pair of the operands' values passes the test.
template <class Op>
class TamLogicalValueExp : public TamBinaryValueExp {
 public:
  using TamBinaryValueExp::TamBinaryValueExp;
  ref_count_ptr<TamValue> evaluate(const TamSelOptionSet& sos) const override {
    return tam::detail::compareOperands(*left_, *right_, sos, Op());
  }
  std::string dump() const override { return dumpAs(TamOperatorName<Op>::name()); }
};

// Or and And evaluate both operands, left first. Both associate to the right (a or (b or c)), and
// evaluate() and dump() walk such a chain in a loop instead of recursing.
class TamOrValueExp : public TamBinaryValueExp {
 public:
  using TamBinaryValueExp::TamBinaryValueExp;
  ref_count_ptr<TamValue> evaluate(const TamSelOptionSet& sos) const override;
  std::string dump() const override;
};

class TamAndValueExp : public TamBinaryValueExp {
 public:
  using TamBinaryValueExp::TamBinaryValueExp;
  ref_count_ptr<TamValue> evaluate(const TamSelOptionSet& sos) const override;
  std::string dump() const override;
};

class TamNotValueExp : public TamValueExp {
 public:
  explicit TamNotValueExp(TamValueExp* operand) : operand_(operand) {}
  ~TamNotValueExp() override;
  ref_count_ptr<TamValue> evaluate(const TamSelOptionSet& sos) const override;
  std::vector<ref_count_ptr<TamValue>> values(const TamSelOptionSet& sos) const override;
  std::string dump() const override;
  const TamValueExp* operand() const { return operand_; }

 private:
  TamValueExp* operand_;
};

using TamPlusValueExp = TamMathValueExp<std::plus<ref_count_ptr<TamValue>>>;
using TamMinusValueExp = TamMathValueExp<std::minus<ref_count_ptr<TamValue>>>;
using TamMultipliesValueExp = TamMathValueExp<std::multiplies<ref_count_ptr<TamValue>>>;
using TamDividesValueExp = TamMathValueExp<std::divides<ref_count_ptr<TamValue>>>;

#endif  // TAM_SRC_RULES_TAMVALUEEXP_H
