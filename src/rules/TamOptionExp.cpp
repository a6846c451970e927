#include "rules/TamOptionExp.h"

#include "model/LookupEpoch.h"
#include "tam/TamWindow.h"

TamOptionExp::TamOptionExp(std::string_view moduleId, std::string_view optionName,
                           const TamPath& path)
    : owned_(new Owned{std::string(moduleId) + std::string(optionName), path}),
      names_(owned_->names.data()),
      moduleIdSize_(moduleId.size()),
      optionNameSize_(optionName.size()) {}

TamOptionExp::TamOptionExp(tam::detail::RuleArena& names, std::string_view moduleId,
                           std::string_view optionName, const TamPath& path)
    : owned_(path.isEmpty() ? nullptr : new Owned{std::string(), path}),
      names_(names.copy(moduleId, optionName).data()),
      moduleIdSize_(moduleId.size()),
      optionNameSize_(optionName.size()) {}

// Only a found option is remembered, so the found epoch tells when to look again: modules the
// host loads meanwhile cannot change what a successful lookup finds. The epoch is read before
// the lookup: a removal the lookup itself causes (the host refreshing a module) makes the
// remembered answer stale at once.
ref_count_ptr<TamOption> TamOptionExp::resolve(const ref_count_ptr<TamWindow>& window) const {
  const std::uint64_t epoch = tam::detail::foundEpoch();
  if (resolvedAt_ == epoch && resolvedIn_ == window.get() && resolved_ != nullptr) {
    return ref_count_ptr<TamOption>(resolved_);
  }
  ref_count_ptr<TamOption> option =
      TamOption::findOption(window, std::string(moduleId()), std::string(optionName()));
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
  std::string text = std::string(moduleId()) + ":" + std::string(optionName());
  if (!path().isEmpty()) text += "[" + path().toDisplayString() + "]";
  return text;
}

std::uint32_t TamOptionExp::beginOffset() const {
  return moduleIdOffset_ != TamSourcePos::kNoOffset ? moduleIdOffset_ : optionNameOffset_;
}
