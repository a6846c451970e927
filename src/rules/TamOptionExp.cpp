#include "rules/TamOptionExp.h"

#include "model/LookupEpoch.h"
#include "tam/TamWindow.h"

// The epoch is read before the lookup: a change the lookup itself causes (the host loading or
// refreshing a module) makes the remembered answer stale at once.
ref_count_ptr<TamOption> TamOptionExp::resolve(const ref_count_ptr<TamWindow>& window) const {
  const std::uint64_t epoch = tam::detail::lookupEpoch();
  if (resolvedAt_ == epoch && resolvedIn_ == window.get() && resolved_ != nullptr) {
    return ref_count_ptr<TamOption>(resolved_);
  }
  ref_count_ptr<TamOption> option = TamOption::findOption(window, moduleId_, optionName_);
  resolved_ = option.get();
  resolvedIn_ = window.get();
  resolvedAt_ = epoch;
  return option;
}

std::string TamOptionExp::dump() const {
  std::string text = moduleId_ + ":" + optionName_;
  if (!path_.isEmpty()) text += "[" + path_.toDisplayString() + "]";
  return text;
}

std::uint32_t TamOptionExp::beginOffset() const {
  return moduleIdOffset_ != TamSourcePos::kNoOffset ? moduleIdOffset_ : optionNameOffset_;
}
