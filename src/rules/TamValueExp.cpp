#include "rules/TamValueExp.h"

#include <utility>

#include "evaluation/NodeTrace.h"
#include "tam/TamSelOptionSet.h"
#include "tam/TamWindow.h"

namespace {

bool isUnset(const ref_count_ptr<TamValue>& value) {
  return value->type() == TamValue::VT_UNSET;
}

bool isTrue(const ref_count_ptr<TamValue>& value) {
  return value->type() == TamValue::VT_BOOL && value->boolValue();
}

// Or: true wins over Unset, Unset wins over false; kinds other than Bool count as not true.
ref_count_ptr<TamValue> combineOr(const ref_count_ptr<TamValue>& left,
                                  const ref_count_ptr<TamValue>& right) {
  if (isTrue(left) || isTrue(right)) return TamValue::createBool(true);
  if (isUnset(left)) return left;
  if (isUnset(right)) return right;
  return TamValue::createBool(false);
}

// And: true only when both are true; otherwise Unset wins over false.
ref_count_ptr<TamValue> combineAnd(const ref_count_ptr<TamValue>& left,
                                   const ref_count_ptr<TamValue>& right) {
  if (isTrue(left) && isTrue(right)) return TamValue::createBool(true);
  if (isUnset(left)) return left;
  if (isUnset(right)) return right;
  return TamValue::createBool(false);
}

// Evaluates a right-leaning chain of one connective (a op (b op (c ...))) in a loop: every
// operand from left to right, then folds from the right end, exactly as the nested evaluation
// would.
template <class Node, class Operand, class Combine>
ref_count_ptr<TamValue> evaluateRightChain(const Node* top, Operand leftOf, Operand rightOf,
                                           const TamSelOptionSet& sos, Combine combine) {
  std::vector<ref_count_ptr<TamValue>> lefts;
  const TamValueExp* last = top;
  for (const Node* node = top; node != nullptr; node = dynamic_cast<const Node*>(last)) {
    lefts.push_back(leftOf(node)->evaluate(sos));
    last = rightOf(node);
  }
  ref_count_ptr<TamValue> result = last->evaluate(sos);
  for (auto it = lefts.rbegin(); it != lefts.rend(); ++it) result = combine(*it, result);
  return result;
}

// Prints a right-leaning chain of one connective as name(a, name(b, c)) without recursing.
template <class Node, class Operand>
std::string dumpRightChain(const Node* top, const char* name, Operand leftOf, Operand rightOf) {
  std::string text;
  size_t open = 0;
  const TamValueExp* last = top;
  for (const Node* node = top; node != nullptr; node = dynamic_cast<const Node*>(last)) {
    text += name;
    text += "(";
    text += leftOf(node)->dump();
    text += ", ";
    ++open;
    last = rightOf(node);
  }
  text += last->dump();
  text.append(open, ')');
  return text;
}

}  // namespace

bool TamValueExp::isMultiValued(const TamSelOptionSet&) const { return false; }

// Literals.

TamLiteralValueExp::TamLiteralValueExp() : value_(TamValue::createUnset()) {}
TamLiteralValueExp::TamLiteralValueExp(std::string value)
    : value_(TamValue::createString(std::move(value))) {}
TamLiteralValueExp::TamLiteralValueExp(int value) : value_(TamValue::createInt(value)) {}
TamLiteralValueExp::TamLiteralValueExp(double value) : value_(TamValue::createReal(value)) {}
TamLiteralValueExp::TamLiteralValueExp(bool value) : value_(TamValue::createBool(value)) {}

ref_count_ptr<TamValue> TamLiteralValueExp::evaluate(const TamSelOptionSet&) const {
  return value_;
}

std::vector<ref_count_ptr<TamValue>> TamLiteralValueExp::values(const TamSelOptionSet&) const {
  return {};
}

std::string TamLiteralValueExp::dump() const {
  switch (value_->type()) {
    case TamValue::VT_UNSET:
      return "unset";
    case TamValue::VT_STRING:
      return "\"" + value_->displayString() + "\"";
    default:
      return value_->displayString();
  }
}

// Option value references read the entry of the empty path, the position the set is bound to.

TamOptionValueExp::~TamOptionValueExp() { delete optionExp_; }

// An observer judging a load-if hears of every entry read.
const TamSelOptionSet::TamSosEntry& TamOptionValueExp::entry(const TamSelOptionSet& sos) const {
  ref_count_ptr<TamOption> option = optionExp_->resolve(sos.window());
  const TamSelOptionSet::TamSosEntry& read = sos.get(option);
  if (tam::detail::NodeTrace* trace = tam::detail::NodeTrace::of(sos)) trace->read(read);
  return read;
}

ref_count_ptr<TamValue> TamOptionValueExp::evaluate(const TamSelOptionSet& sos) const {
  const TamSelOptionSet::TamSosEntry& read = entry(sos);
  if (read.values.empty()) return TamValue::createUnset();
  return read.values.front();
}

std::vector<ref_count_ptr<TamValue>> TamOptionValueExp::values(const TamSelOptionSet& sos) const {
  return entry(sos).values;
}

bool TamOptionValueExp::isMultiValued(const TamSelOptionSet& sos) const {
  return entry(sos).values.size() > 1;
}

std::string TamOptionValueExp::dump() const { return optionExp_->dump(); }

// Two-operand nodes.

// A destructor must not allocate (a failed allocation there would end the process), so the
// operands are freed by rotating each two-operand node's left operand up until it is no such
// node, then freeing it and moving on to the right operand: a loop over the tree that needs no
// work list and no recursion, however long the chain.
void TamBinaryValueExp::destroyTree(TamValueExp* node) {
  while (node != nullptr) {
    TamBinaryValueExp* binary = node->asBinary();
    if (binary == nullptr) {
      delete node;
      return;
    }
    TamBinaryValueExp* left = binary->left_ != nullptr ? binary->left_->asBinary() : nullptr;
    if (left != nullptr) {
      binary->left_ = left->right_;
      left->right_ = binary;
      node = left;
      continue;
    }
    delete binary->left_;
    node = binary->right_;
    binary->left_ = nullptr;
    binary->right_ = nullptr;
    delete binary;
  }
}

TamBinaryValueExp::~TamBinaryValueExp() {
  destroyTree(left_);
  destroyTree(right_);
}

std::vector<ref_count_ptr<TamValue>> TamBinaryValueExp::values(const TamSelOptionSet&) const {
  return {};
}

std::string TamBinaryValueExp::dumpAs(const char* name) const {
  return std::string(name) + "(" + left_->dump() + ", " + right_->dump() + ")";
}

// Arithmetic over a left-leaning chain ((a op1 b) op2 c): the nested evaluation takes c, then b,
// then a, and applies op1 before op2. The loop keeps that order, so the first failure reported
// is the same.
ref_count_ptr<TamValue> TamArithmeticValueExp::evaluate(const TamSelOptionSet& sos) const {
  std::vector<std::pair<const TamArithmeticValueExp*, ref_count_ptr<TamValue>>> spine;
  const TamValueExp* node = this;
  while (const auto* math = dynamic_cast<const TamArithmeticValueExp*>(node)) {
    spine.emplace_back(math, math->right_->evaluate(sos));
    node = math->left_;
  }
  ref_count_ptr<TamValue> result = node->evaluate(sos);
  for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
    result = it->first->combine(result, it->second);
  }
  return result;
}

std::string TamArithmeticValueExp::dump() const {
  std::vector<const TamArithmeticValueExp*> spine;
  const TamValueExp* node = this;
  while (const auto* math = dynamic_cast<const TamArithmeticValueExp*>(node)) {
    spine.push_back(math);
    node = math->left_;
  }
  std::string text;
  for (const TamArithmeticValueExp* math : spine) {
    text += math->operatorName();
    text += "(";
  }
  text += node->dump();
  for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
    text += ", " + (*it)->right_->dump() + ")";
  }
  return text;
}

// Comparisons.

namespace tam {
namespace detail {

ref_count_ptr<TamValue> compareOperands(
    const TamValueExp& left, const TamValueExp& right, const TamSelOptionSet& sos,
    const std::function<bool(const ref_count_ptr<TamValue>&, const ref_count_ptr<TamValue>&)>& test) {
  ref_count_ptr<TamValue> leftValue = left.evaluate(sos);
  if (isUnset(leftValue)) return leftValue;
  ref_count_ptr<TamValue> rightValue = right.evaluate(sos);
  if (isUnset(rightValue)) return rightValue;

  const bool leftMulti = left.isMultiValued(sos);
  const bool rightMulti = right.isMultiValued(sos);
  if (!leftMulti && !rightMulti) return TamValue::createBool(test(leftValue, rightValue));

  // Any pair that passes makes the comparison true.
  std::vector<ref_count_ptr<TamValue>> rightValues;
  if (rightMulti) rightValues = right.values(sos);
  else rightValues.push_back(rightValue);
  std::vector<ref_count_ptr<TamValue>> leftValues;
  if (leftMulti) leftValues = left.values(sos);
  else leftValues.push_back(leftValue);

  for (const ref_count_ptr<TamValue>& l : leftValues) {
    for (const ref_count_ptr<TamValue>& r : rightValues) {
      if (test(l, r)) return TamValue::createBool(true);
    }
  }
  return TamValue::createBool(false);
}

}  // namespace detail
}  // namespace tam

// Logical connectives. The operand accessors are lambdas of the members so that they may read
// the protected operands.
ref_count_ptr<TamValue> TamOrValueExp::evaluate(const TamSelOptionSet& sos) const {
  auto leftOf = [](const TamOrValueExp* node) -> const TamValueExp* { return node->left_; };
  auto rightOf = [](const TamOrValueExp* node) -> const TamValueExp* { return node->right_; };
  return evaluateRightChain(this, +leftOf, +rightOf, sos, combineOr);
}

std::string TamOrValueExp::dump() const {
  auto leftOf = [](const TamOrValueExp* node) -> const TamValueExp* { return node->left_; };
  auto rightOf = [](const TamOrValueExp* node) -> const TamValueExp* { return node->right_; };
  return dumpRightChain(this, "or", +leftOf, +rightOf);
}

ref_count_ptr<TamValue> TamAndValueExp::evaluate(const TamSelOptionSet& sos) const {
  auto leftOf = [](const TamAndValueExp* node) -> const TamValueExp* { return node->left_; };
  auto rightOf = [](const TamAndValueExp* node) -> const TamValueExp* { return node->right_; };
  return evaluateRightChain(this, +leftOf, +rightOf, sos, combineAnd);
}

std::string TamAndValueExp::dump() const {
  auto leftOf = [](const TamAndValueExp* node) -> const TamValueExp* { return node->left_; };
  auto rightOf = [](const TamAndValueExp* node) -> const TamValueExp* { return node->right_; };
  return dumpRightChain(this, "and", +leftOf, +rightOf);
}

// Not: Unset stays Unset, a Bool is negated, every other kind counts as not false.

TamNotValueExp::~TamNotValueExp() { delete operand_; }

ref_count_ptr<TamValue> TamNotValueExp::evaluate(const TamSelOptionSet& sos) const {
  ref_count_ptr<TamValue> value = operand_->evaluate(sos);
  if (isUnset(value)) return value;
  if (value->type() == TamValue::VT_BOOL) return TamValue::createBool(!value->boolValue());
  return TamValue::createBool(true);
}

std::vector<ref_count_ptr<TamValue>> TamNotValueExp::values(const TamSelOptionSet&) const {
  return {};
}

std::string TamNotValueExp::dump() const { return "not(" + operand_->dump() + ")"; }
