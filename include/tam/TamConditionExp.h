// TamConditionExp is a parsed condition, such as a node's load-if: it owns one value expression
// (or none) and answers it as (undecided, value). Made by the rule parser; shared through handles.
#ifndef TAM_TAMCONDITIONEXP_H
#define TAM_TAMCONDITIONEXP_H

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamRixExp.h"
#include "tam/TamRixOutline.h"

class TamValueExp;
class TamSelOptionSet;
class TamNode;
class TamRuleParser;

class TAM_API TamConditionExp : public TamRixExp {
 public:
  ~TamConditionExp() override;
  // first: the condition is undecided (no expression, or its value is Unset); second: the decided
  // truth value. A value of another kind than Bool or Unset raises 202.
  std::pair<bool, bool> getValue(const TamSelOptionSet& sos) const;
  // The expression, null for an empty condition. Owned by this condition.
  const TamValueExp* condition() const { return condition_; }
  // A read-only outline of the condition with its places (TamRixOutline::fromRoot).
  TamRixOutline outline() const { return TamRixOutline::fromRoot(*this); }

 private:
  friend class TamNode;
  friend class TamRuleParser;
  TamConditionExp();
  // Takes ownership of condition.
  TamConditionExp(const TamValueExp* condition, std::shared_ptr<const std::string> text,
                  std::string_view rix, std::vector<TamOptionExp*> refs);

  TamValueExp* condition_ = nullptr;
};

#endif  // TAM_TAMCONDITIONEXP_H
