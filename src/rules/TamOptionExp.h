// TamOptionExp is an option reference as written in RIX: module id, option name and an optional
// node path. It resolves against a window on every use. Owned by the node that holds it.
// It also keeps where it was written: the offsets of the module id (kNoOffset for the names of a
// mutually exclusive rule, which have none), of the option name, and of the bracketed path from
// its "[" to just past its "]" (kNoOffset when no path was written).
#ifndef TAM_SRC_RULES_TAMOPTIONEXP_H
#define TAM_SRC_RULES_TAMOPTIONEXP_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "rules/RuleArena.h"
#include "tam/TamOption.h"
#include "tam/TamPath.h"
#include "tam/TamSourcePos.h"
#include "tam/ref_count.h"

class TamWindow;

class TamOptionExp : public tam::detail::ArenaNode {
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

  std::uint32_t moduleIdOffset() const { return moduleIdOffset_; }
  std::uint32_t optionNameOffset() const { return optionNameOffset_; }
  std::uint32_t pathBeginOffset() const { return pathBegin_; }
  // A written path ends the reference.
  std::uint32_t pathEndOffset() const {
    return pathBegin_ == TamSourcePos::kNoOffset ? TamSourcePos::kNoOffset : end_;
  }
  // The first byte of the reference (its module id, or its name when it has none) and just past
  // its last token (the option name, or the "]" of its path).
  std::uint32_t beginOffset() const;
  std::uint32_t endOffset() const { return end_; }
  void setOffsets(std::size_t moduleId, std::size_t optionName, std::size_t end) {
    moduleIdOffset_ = TamSourcePos::narrow(moduleId);
    optionNameOffset_ = TamSourcePos::narrow(optionName);
    end_ = TamSourcePos::narrow(end);
  }
  void setPathRange(std::size_t begin, std::size_t end) {
    pathBegin_ = TamSourcePos::narrow(begin);
    end_ = TamSourcePos::narrow(end);
  }

 private:
  const std::string moduleId_;
  const std::string optionName_;
  const TamPath path_;
  std::uint32_t moduleIdOffset_ = TamSourcePos::kNoOffset;
  std::uint32_t optionNameOffset_ = TamSourcePos::kNoOffset;
  std::uint32_t pathBegin_ = TamSourcePos::kNoOffset;
  std::uint32_t end_ = TamSourcePos::kNoOffset;
};

#endif  // TAM_SRC_RULES_TAMOPTIONEXP_H
