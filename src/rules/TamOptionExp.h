// TamOptionExp is an option reference as written in RIX: module id, option name and an optional
// node path. It resolves against a window on use, and remembers the option found for as long as
// no successful lookup of the process can have changed (the found epoch, model/LookupEpoch.h):
// a rule that runs at many nodes looks its options up by name once. Owned by the node that holds it; used
// by one thread at a time, like the module whose rules hold it.
// It also keeps where it was written: the offsets of the module id (kNoOffset for the names of a
// mutually exclusive rule, which have none), of the option name, and of the bracketed path from
// its "[" to just past its "]" (kNoOffset when no path was written).
#ifndef TAM_SRC_RULES_TAMOPTIONEXP_H
#define TAM_SRC_RULES_TAMOPTIONEXP_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "rules/RuleArena.h"
#include "tam/TamOption.h"
#include "tam/TamPath.h"
#include "tam/TamSourcePos.h"
#include "tam/ref_count.h"

class TamWindow;

class TamOptionExp : public tam::detail::ArenaNode {
 public:
  // The names are copied into storage the expression owns.
  TamOptionExp(std::string_view moduleId, std::string_view optionName, const TamPath& path);
  // The names are copied into `names`, which must outlive the expression: the arena the
  // expression itself is placed in.
  TamOptionExp(tam::detail::RuleArena& names, std::string_view moduleId,
               std::string_view optionName, const TamPath& path);
  ~TamOptionExp() = default;
  TamOptionExp(const TamOptionExp&) = delete;
  TamOptionExp& operator=(const TamOptionExp&) = delete;

  // TamOption::findOption(window, moduleId, optionName): raises 302 or 102 when it is missing.
  ref_count_ptr<TamOption> resolve(const ref_count_ptr<TamWindow>& window) const;
  const TamPath& path() const { return owned_ ? owned_->path : noPath(); }
  std::string_view moduleId() const { return std::string_view(names_, moduleIdSize_); }
  std::string_view optionName() const {
    return std::string_view(names_ + moduleIdSize_, optionNameSize_);
  }
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
  static const TamPath& noPath();

  // What few references need: the path written, and the names when the reference keeps them
  // itself (one built outside a parse). Null for most.
  struct Owned {
    std::string names;
    TamPath path;
  };
  std::unique_ptr<const Owned> owned_;
  // The module id followed by the option name, where the arena or owned_ keeps them.
  const char* names_ = nullptr;
  std::size_t moduleIdSize_ = 0;
  std::size_t optionNameSize_ = 0;
  // The last resolution: the option found, in which window, in which found epoch (0: none).
  // Not owning: an option leaves its module only by a change that moves the epoch on.
  mutable TamOption* resolved_ = nullptr;
  mutable const TamWindow* resolvedIn_ = nullptr;
  mutable std::uint64_t resolvedAt_ = 0;
  std::uint32_t moduleIdOffset_ = TamSourcePos::kNoOffset;
  std::uint32_t optionNameOffset_ = TamSourcePos::kNoOffset;
  std::uint32_t pathBegin_ = TamSourcePos::kNoOffset;
  std::uint32_t end_ = TamSourcePos::kNoOffset;
};

#endif  // TAM_SRC_RULES_TAMOPTIONEXP_H
