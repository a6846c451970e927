#include "rules/TamOptionExp.h"

#include "foundation/SameBytes.h"
#include "model/LookupEpoch.h"
#include "tam/TamWindow.h"

TamOptionExp::TamOptionExp(std::string_view moduleId, std::string_view optionName,
                           const TamPath& path)
    : names_(nullptr) {
  makeRare(moduleId, optionName, path);
}

TamOptionExp::TamOptionExp(tam::detail::RuleArena& names, std::string_view moduleId,
                           std::string_view optionName, const TamPath& path,
                           std::string_view written)
    : names_(nullptr) {
  if (!path.isEmpty() || moduleId.size() >= kRare || optionName.size() >= kSeparated) {
    makeRare(moduleId, optionName, path);
    return;
  }
  const std::size_t separator = moduleId.empty() ? 0 : 1;
  if (written.size() == moduleId.size() + separator + optionName.size() &&
      tam::detail::sameBytes(written.data(), moduleId.data(), moduleId.size()) &&
      tam::detail::sameBytes(written.data() + moduleId.size() + separator, optionName.data(),
                             optionName.size())) {
    names_ = written.data();
    if (separator != 0) optionNameSize_ = kSeparated;
  } else {
    names_ = names.copy(moduleId, optionName).data();
  }
  moduleIdSize_ = static_cast<std::uint16_t>(moduleId.size());
  optionNameSize_ |= static_cast<std::uint16_t>(optionName.size());
}

TamOptionExp::~TamOptionExp() {
  if (isRare()) delete rare_;
}

void TamOptionExp::makeRare(std::string_view moduleId, std::string_view optionName,
                            const TamPath& path) {
  auto* rare = new Rare{std::string(moduleId) + std::string(optionName), moduleId.size(), path};
  rare_ = rare;
  moduleIdSize_ = kRare;
  optionNameSize_ = 0;
}

void TamOptionExp::setPathRange(std::size_t begin, std::size_t end) {
  if (!isRare()) makeRare(moduleId(), optionName(), TamPath());
  rare_->pathBegin = TamSourcePos::narrow(begin);
  end_ = TamSourcePos::narrow(end);
}

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
