#include "rules/TamOptionExp.h"

#include "tam/TamWindow.h"

ref_count_ptr<TamOption> TamOptionExp::resolve(const ref_count_ptr<TamWindow>& window) const {
  return TamOption::findOption(window, moduleId_, optionName_);
}

std::string TamOptionExp::dump() const {
  std::string text = moduleId_ + ":" + optionName_;
  if (!path_.isEmpty()) text += "[" + path_.toDisplayString() + "]";
  return text;
}

std::uint32_t TamOptionExp::beginOffset() const {
  return moduleIdOffset_ != TamSourcePos::kNoOffset ? moduleIdOffset_ : optionNameOffset_;
}
