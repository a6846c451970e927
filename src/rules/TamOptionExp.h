// TamOptionExp is an option reference as written in RIX: module id, option name and an optional
// node path. It resolves against a window on every use. Owned by the node that holds it.
#ifndef TAM_SRC_RULES_TAMOPTIONEXP_H
#define TAM_SRC_RULES_TAMOPTIONEXP_H

#include <string>

#include "tam/TamOption.h"
#include "tam/TamPath.h"
#include "tam/ref_count.h"

class TamWindow;

class TamOptionExp {
 public:
  TamOptionExp(const std::string& moduleId, const std::string& optionName, const TamPath& path)
      : moduleId_(moduleId), optionName_(optionName), path_(path) {}
  virtual ~TamOptionExp() = default;
  TamOptionExp(const TamOptionExp&) = delete;
  TamOptionExp& operator=(const TamOptionExp&) = delete;

  // TamOption::findOption(window, moduleId, optionName): raises 302 or 102 when it is missing.
  virtual ref_count_ptr<TamOption> resolve(const ref_count_ptr<TamWindow>& window) const;
  virtual const TamPath& path() const { return path_; }
  const std::string& moduleId() const { return moduleId_; }
  const std::string& optionName() const { return optionName_; }
  // "module:option" followed by "[path]" when a path was written; for dumps and messages.
  std::string dump() const;

 private:
  const std::string moduleId_;
  const std::string optionName_;
  const TamPath path_;
};

#endif  // TAM_SRC_RULES_TAMOPTIONEXP_H
