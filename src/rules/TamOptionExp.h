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
  // expression itself is placed in. When `written` (storage that outlives the expression too,
  // such as the text of a parse) holds exactly the module id, a separator and the option name,
  // or the option name alone when there is no module id, the names are read there instead.
  TamOptionExp(tam::detail::RuleArena& names, std::string_view moduleId,
               std::string_view optionName, const TamPath& path,
               std::string_view written = std::string_view());
  ~TamOptionExp();
  TamOptionExp(const TamOptionExp&) = delete;
  TamOptionExp& operator=(const TamOptionExp&) = delete;

  // TamOption::findOption(window, moduleId, optionName): raises 302 or 102 when it is missing.
  ref_count_ptr<TamOption> resolve(const ref_count_ptr<TamWindow>& window) const;
  const TamPath& path() const { return isRare() ? rare_->path : noPath(); }
  std::string_view moduleId() const {
    return isRare() ? std::string_view(rare_->names.data(), rare_->moduleIdSize)
                    : std::string_view(names_, moduleIdSize_);
  }
  std::string_view optionName() const {
    if (isRare()) return std::string_view(rare_->names).substr(rare_->moduleIdSize);
    const std::size_t separator = (optionNameSize_ & kSeparated) != 0 ? 1 : 0;
    return std::string_view(names_ + moduleIdSize_ + separator, optionNameSize_ & ~kSeparated);
  }
  // "module:option" followed by "[path]" when a path was written; for dumps and messages.
  std::string dump() const;

  std::uint32_t moduleIdOffset() const { return moduleIdOffset_; }
  std::uint32_t optionNameOffset() const { return optionNameOffset_; }
  std::uint32_t pathBeginOffset() const {
    return isRare() ? rare_->pathBegin : TamSourcePos::kNoOffset;
  }
  // A written path ends the reference.
  std::uint32_t pathEndOffset() const {
    return pathBeginOffset() == TamSourcePos::kNoOffset ? TamSourcePos::kNoOffset : end_;
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
  // Raises std::bad_alloc (and then changes nothing) when the reference had no rare block yet.
  void setPathRange(std::size_t begin, std::size_t end);

 private:
  static const TamPath& noPath();

  // What few references need, kept apart: the path and where it was written, and the names
  // when the reference keeps them itself (one built outside a parse, or names too long for the
  // compact sizes).
  struct Rare {
    std::string names;  // the module id followed by the option name
    std::size_t moduleIdSize;
    TamPath path;
    std::uint32_t pathBegin = TamSourcePos::kNoOffset;
  };
  // moduleIdSize_ says a reference has a rare block; optionNameSize_'s top bit that a
  // separator byte stands between the names.
  static constexpr std::uint16_t kRare = 0xFFFF;
  static constexpr std::uint16_t kSeparated = 0x8000;

  bool isRare() const { return moduleIdSize_ == kRare; }
  // Keeps the names and path in a new rare block; raises std::bad_alloc.
  void makeRare(std::string_view moduleId, std::string_view optionName, const TamPath& path);

  // The last resolution: the option found, in which window, in which found epoch (0: none).
  // Not owning: an option leaves its module only by a change that moves the epoch on.
  mutable TamOption* resolved_ = nullptr;
  mutable const TamWindow* resolvedIn_ = nullptr;
  mutable std::uint64_t resolvedAt_ = 0;
  union {
    const char* names_;  // the module id, a separator when marked, then the option name
    Rare* rare_;         // owned, when isRare()
  };
  std::uint16_t moduleIdSize_ = 0;
  std::uint16_t optionNameSize_ = 0;
  std::uint32_t moduleIdOffset_ = TamSourcePos::kNoOffset;
  std::uint32_t optionNameOffset_ = TamSourcePos::kNoOffset;
  std::uint32_t end_ = TamSourcePos::kNoOffset;
};

#endif  // TAM_SRC_RULES_TAMOPTIONEXP_H
