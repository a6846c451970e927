// A TamOption is one option as one module sees it: declared by the module with a value type and
// constraints, or based on a public option of another module that it presents (at a node path),
// implements or uses. A based option names its base by module id and option name and resolves it
// through the window on every use; questions about values walk the chain of bases down to the
// declared (real) option, constraints link by link, the default straight from the real option
// unless the option has its own.
// Options are created only by their module, which owns them through handles; the option borrows
// its window. Every option carries a process-wide id, starting at 1 and never reused; ids are
// handed out safely to windows on several threads at once.
// A chain of bases that loops back on itself, or is longer than kMaxBaseChain links, raises
// TamException 114 naming the option where the walk started, instead of looping for ever: its
// info is "Option base chain loops at m:a" or "Option base chain too long (more than 1000 links)
// at m:a".
#ifndef TAM_TAMOPTION_H
#define TAM_TAMOPTION_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamOptionValue.h"
#include "tam/TamPath.h"
#include "tam/TamValue.h"
#include "tam/ref_count.h"

class TamModule;
class TamWindow;
class TamDeclarationParser;

class TAM_API TamOption : public ref_count {
 public:
  enum Scope { SCOPE_PUBLIC = 0, SCOPE_PRIVATE = 1, SCOPE_LEGACY = 2 };
  enum Type { TYPE_DECLARED = 0, TYPE_PRESENTS = 1, TYPE_IMPLEMENTS = 2, TYPE_USES = 3 };

  // Code raised for a base chain that loops or runs longer than kMaxBaseChain links.
  static constexpr int kBaseChainLoopCode = 114;
  static constexpr int kMaxBaseChain = 1000;

  ~TamOption() override;

  const std::string& name() const { return name_; }
  const std::string& moduleId() const { return *moduleId_; }
  const std::string& description() const { return extraOrNone().description; }
  bool mandatory() const { return mandatory_; }
  bool mutually_exclusive() const { return mutually_exclusive_; }
  const TamPath& path() const { return extraOrNone().path; }
  Scope scope() const { return scope_; }
  Type type() const { return type_; }
  int id() const { return id_; }
  const std::string& basedOnModuleId() const { return extraOrNone().basedOnModuleId; }
  const std::string& basedOnName() const { return extraOrNone().basedOnName; }

  void setMutuallyExclusive(bool value) { mutually_exclusive_ = value; }
  void setVisibility(Scope scope) { scope_ = scope; }

  ref_count_ptr<TamWindow> window() const;
  // The base option, resolved anew on each call; null for a declared option.
  ref_count_ptr<TamOption> basedOn() const;
  ref_count_ptr<TamOption> realOption() const;
  TamValue::ValueType valueType() const;
  // The constraints that apply: the option's own, or inherited link by link. The list stays as
  // it is until this option (or the base it comes from) changes.
  const std::vector<ref_count_ptr<TamOptionValue>>& values() const;
  // Never null: Unset when there is no default.
  ref_count_ptr<TamValue> defaultValue() const;
  // Unset is always valid; otherwise the first constraint that accepts decides.
  bool validateValue(const ref_count_ptr<TamValue>& value) const;

  bool isReferenced() const;
  std::vector<ref_count_ptr<TamOption>> references() const;

  static ref_count_ptr<TamOption> findOption(const ref_count_ptr<TamWindow>& window,
                                             const std::string& moduleId,
                                             const std::string& optionName, bool external);
  static ref_count_ptr<TamOption> findOption(const ref_count_ptr<TamWindow>& window,
                                             const std::string& moduleId,
                                             const std::string& optionName);
  // Raises 110 for an id of no live option. Only for options of windows the calling thread is
  // working on: an option of another thread's window may be freed while it is looked up.
  static ref_count_ptr<TamOption> optionForId(int id);

 private:
  friend class TamModule;
  friend class TamDeclarationParser;
  friend class TamSelOptionSet;  // asks listedBy_ instead of looking the name up
  // Unit tests drive the declaration parser's operations (addValue, setDefaultValue) directly.
  friend class TamOptionTestPeer;

  // A module places the options it reads from its text side by side; an option gives its room
  // back however it was placed.
  static void* operator new(std::size_t size);
  static void operator delete(void* option) noexcept;

  // moduleId: the id of the declaring module, shared by its options.
  using SharedId = std::shared_ptr<const std::string>;
  TamOption(TamWindow* window, SharedId moduleId, const std::string& name, Scope scope);
  TamOption(const ref_count_ptr<TamOption>& base, SharedId moduleId, const std::string& name,
            const TamPath& path);
  TamOption(const ref_count_ptr<TamOption>& base, SharedId moduleId, const std::string& name,
            Scope scope, Type type);

  // The option's own constraints. Options declared alike in one module text share one list (see
  // TamDeclarationParser); a change to a shared list gives the option a copy of its own first.
  using ConstraintList = std::vector<ref_count_ptr<TamOptionValue>>;

  void setDescription(std::string description);
  void setMandatory(bool mandatory) { mandatory_ = mandatory; }
  void addValue(const ref_count_ptr<TamOptionValue>& constraint);
  // What addValue does for each of `constraints` in turn, taking `list` (holding the same
  // constraints) as the option's own list instead of copying them one by one. Raises what
  // addValue would, after adding the constraints before the one refused.
  void addValues(const ConstraintList& constraints, std::shared_ptr<ConstraintList> list);
  void setDefaultValue(const ref_count_ptr<TamValue>& value);
  void clearValues();
  void rebase(const ref_count_ptr<TamOption>& base, const TamPath& path);
  // The base basedOn() would give without looking it up (so without calling the host): the one
  // it found last, while the found epoch stays. Null when it would have to look, or when the
  // option has no base.
  TamOption* knownBase() const;

  static int idCounter();
  // Raises what addValue raises for `constraint`, else notes its value type; adds nothing.
  void checkValue(const ref_count_ptr<TamOptionValue>& constraint);

  const ConstraintList& ownValues() const;
  bool hasOwnValues() const { return ownValues_ && !ownValues_->empty(); }
  ConstraintList& ownValuesToChange();

  // A long list of ownValues() as a set of the values it enumerates, so that a value is found
  // without a scan; made when first asked for, dropped whenever the list changes.
  struct ValueIndex;
  bool ownValuesAccept(const ref_count_ptr<TamValue>& value) const;

  // What most options lack: a description, and for a based option the names of its base, the
  // path it presents at, and the base basedOn() last found with the found epoch it was found in
  // (0: none; not owning: the base leaves its module only by a change that moves the epoch on);
  // the index of a long list of constraints. Made when first set; options without any share
  // noExtra().
  struct Extra {
    std::string description;
    std::string basedOnModuleId;
    std::string basedOnName;
    TamPath path;
    TamOption* baseFound = nullptr;
    uint64_t baseFoundAt = 0;
    std::shared_ptr<const ValueIndex> valueIndex;
  };
  const Extra& extraOrNone() const { return extra_ ? *extra_ : noExtra(); }
  Extra& extra() const;
  static const Extra& noExtra();

  // The declaration line its module read it from, as a stretch of a text the options declared
  // together share; none (a null text) when the module keeps none: test mode, a declaration
  // that failed, an option the module forgot.
  void setDeclaration(std::shared_ptr<const std::string> text, std::size_t begin,
                      std::size_t size);
  bool hasDeclaration() const { return declarationText_ != nullptr; }
  std::string declaration() const;

  std::string name_;
  SharedId moduleId_;
  mutable std::unique_ptr<Extra> extra_;
  std::shared_ptr<const std::string> declarationText_;
  TamWindow* window_ = nullptr;
  // The module whose option map holds this option under its name; null once it is no longer
  // held (the module forgot the option or was destroyed). Not owning.
  const TamModule* listedBy_ = nullptr;
  std::shared_ptr<ConstraintList> ownValues_;  // null: none
  ref_count_ptr<TamValue> ownDefault_;
  std::uint32_t declarationBegin_ = 0;
  std::uint32_t declarationSize_ = 0;
  Scope scope_ = SCOPE_PUBLIC;
  Type type_ = TYPE_DECLARED;
  TamValue::ValueType declaredValueType_ = TamValue::VT_UNSET;
  int id_ = 0;
  bool mandatory_ = false;
  bool mutually_exclusive_ = true;
};

// Option handles order by option id, that is by creation order; a null handle comes first.
// Defined here, so that the sets and maps keyed by options compare without a call.
inline bool operator<(const ref_count_ptr<TamOption>& a, const ref_count_ptr<TamOption>& b) {
  if (!b) return false;
  if (!a) return true;
  return a->id() < b->id();
}

#endif  // TAM_TAMOPTION_H
