#include "rules/TamOptionExp.h"

#include <cstring>

#include "model/LookupEpoch.h"
#include "tam/TamWindow.h"

TamOptionExp::TamOptionExp(std::string_view moduleId, std::string_view optionName,
                           const TamPath& path)
    : ownNames_(new char[moduleId.size() + optionName.size()]),
      path_(path.isEmpty() ? nullptr : new TamPath(path)) {
  char* names = ownNames_.get();
  std::memcpy(names, moduleId.data(), moduleId.size());
  std::memcpy(names + moduleId.size(), optionName.data(), optionName.size());
  moduleId_ = std::string_view(names, moduleId.size());
  optionName_ = std::string_view(names + moduleId.size(), optionName.size());
}

TamOptionExp::TamOptionExp(tam::detail::RuleArena& names, std::string_view moduleId,
                           std::string_view optionName, const TamPath& path)
    : moduleId_(names.copy(moduleId)),
      optionName_(names.copy(optionName)),
      path_(path.isEmpty() ? nullptr : new TamPath(path)) {}

// The epoch is read before the lookup: a change the lookup itself causes (the host loading or
// refreshing a module) makes the remembered answer stale at once.
ref_count_ptr<TamOption> TamOptionExp::resolve(const ref_count_ptr<TamWindow>& window) const {
  const std::uint64_t epoch = tam::detail::lookupEpoch();
  if (resolvedAt_ == epoch && resolvedIn_ == window.get() && resolved_ != nullptr) {
    return ref_count_ptr<TamOption>(resolved_);
  }
  ref_count_ptr<TamOption> option = TamOption::findOption(window, std::string(moduleId_), std::string(optionName_));
  resolved_ = option.get();
  resolvedIn_ = window.get();
  resolvedAt_ = epoch;
  return option;
}

const TamPath& TamOptionExp::noPath() {
  static const TamPath* none = new TamPath();
  return *none;
}

std::string TamOptionExp::dump() const {
  std::string text = std::string(moduleId_) + ":" + std::string(optionName_);
  if (path_) text += "[" + path_->toDisplayString() + "]";
  return text;
}

std::uint32_t TamOptionExp::beginOffset() const {
  return moduleIdOffset_ != TamSourcePos::kNoOffset ? moduleIdOffset_ : optionNameOffset_;
}
