// The parsed roots: a module's rule body (TamExpRoot) and a condition (TamConditionExp), with the
// RIX text and option references they share through TamRixExp.
#include "tam/TamRixExp.h"

#include "rules/RuleArena.h"
#include "rules/TamExp.h"
#include "rules/TamOptionExp.h"
#include "rules/TamValueExp.h"
#include "tam/TamConditionExp.h"
#include "tam/TamExpRoot.h"
#include "tam/TamSelOptionSet.h"
#include "tam/TamValue.h"
#include "tam/TamWindow.h"

TamRixExp::TamRixExp() = default;

TamRixExp::TamRixExp(std::shared_ptr<const std::string> text, std::string_view rix,
                     std::vector<TamOptionExp*> optionRefs)
    : text_(std::move(text)), rix_(rix), optionRefs_(std::move(optionRefs)) {}

TamRixExp::~TamRixExp() = default;

const std::string& TamRixExp::rix() const {
  static const std::string kNoText;
  if (!text_) return kNoText;
  if (rix_.data() == text_->data() && rix_.size() == text_->size()) return *text_;
  if (!rixCopy_) rixCopy_.reset(new std::string(rix_));
  return *rixCopy_;
}

TamSourcePos TamRixExp::position(std::uint32_t offset) const {
  if (!lines_) lines_.reset(new TamLineIndex(rix()));
  return offset == TamSourcePos::kNoOffset ? TamSourcePos() : lines_->position(offset);
}

void TamRixExp::referencedOptions(const ref_count_ptr<TamWindow>& window,
                                  std::set<ref_count_ptr<TamOption>>& out) const {
  for (const TamOptionExp* reference : optionRefs_) out.insert(reference->resolve(window));
}

void TamRixExp::referencedOptions(const ref_count_ptr<TamWindow>& window,
                                  std::vector<ref_count_ptr<TamOption>>& out) const {
  out.reserve(out.size() + optionRefs_.size());
  for (const TamOptionExp* reference : optionRefs_) out.push_back(reference->resolve(window));
}

// Rule bodies.

TamExpRoot::TamExpRoot() = default;

TamExpRoot::TamExpRoot(const TamExp* body, std::shared_ptr<const std::string> text,
                       std::string_view rix, std::vector<TamOptionExp*> refs)
    : TamRixExp(std::move(text), rix, std::move(refs)), body_(const_cast<TamExp*>(body)) {}

TamExpRoot::~TamExpRoot() { delete body_; }

// Rules and conditions call the host; the window is held while they run, so that a host that
// drops its own handle in a callback does not free it under them.
void TamExpRoot::execute(TamSelOptionSet& sos) {
  const ref_count_ptr<TamWindow> keep = sos.window();
  if (body_ != nullptr) body_->execute(sos);
}

// Conditions.

TamConditionExp::TamConditionExp() = default;

TamConditionExp::TamConditionExp(const TamValueExp* condition,
                                 std::shared_ptr<const std::string> text, std::string_view rix,
                                 std::vector<TamOptionExp*> refs)
    : TamRixExp(std::move(text), rix, std::move(refs)),
      condition_(const_cast<TamValueExp*>(condition)) {}

TamConditionExp::~TamConditionExp() { delete condition_; }

std::pair<bool, bool> TamConditionExp::getValue(const TamSelOptionSet& sos) const {
  if (condition_ == nullptr) return {true, false};
  const ref_count_ptr<TamWindow> keep = sos.window();
  ref_count_ptr<TamValue> value = condition_->evaluate(sos);
  if (value->type() == TamValue::VT_UNSET) return {true, false};
  // boolValue() raises 202 for any kind but Bool.
  return {false, value->boolValue()};
}
