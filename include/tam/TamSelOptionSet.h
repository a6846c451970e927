// A TamSelOptionSet holds the option values selected while a node tree is evaluated: per option
// one or more entries, each tied to a node path and holding the values with how each was set.
// Rules write through set(), value expressions read through get(), the host reads contents() and
// brings its own choices in through set() and merge(). setContext() rebinds the set to a node of
// a module: presented values move to their base options, only the module's entries matching the
// node's position stay, and used options inherit values from the ancestors that provide them.
// Sets are values: a copy behaves as if it copied the entries (sharing the value handles), but
// copies share one table of entries until one of them changes, and only then does that one take
// a table of its own; so copying, handing a set to a child and keeping it at a node cost no more
// than a handle. The window and the context node are borrowed, never owned. Entries of one option keep their insertion order, and
// options are visited in creation order. While a node is evaluated under a window's observer
// (TamObserver.h), the node's working set reports what enters it; copies never do.
#ifndef TAM_TAMSELOPTIONSET_H
#define TAM_TAMSELOPTIONSET_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamOption.h"
#include "tam/TamPath.h"
#include "tam/TamValue.h"
#include "tam/ref_count.h"

class TamModule;
class TamNode;
class TamWindow;

namespace tam {
namespace detail {
class NodeTrace;
}  // namespace detail
}  // namespace tam

class TAM_API TamSelOptionSet {
 public:
  enum HowSet {
    HOWSET_DEFAULT = 0,
    HOWSET_HOST = 1,
    HOWSET_SET = 2,
    HOWSET_HOST_FIRM = 3,
    HOWSET_FIX = 4,
    HOWSET_INHERITED = 5,
    HOWSET_HOST_FORCED = 6
  };

  struct TAM_API TamSosEntry {
    ref_count_ptr<TamOption> option;
    TamPath path;
    std::vector<ref_count_ptr<TamValue>> values;  // never empty once stored
    std::vector<HowSet> howSet;                   // one element per value
  };

  using Contents = std::multimap<ref_count_ptr<TamOption>, TamSosEntry>;

  explicit TamSelOptionSet(const ref_count_ptr<TamWindow>& window);
  // Copies the entries, binding and window; the copy's legacy cache starts empty.
  TamSelOptionSet(const TamSelOptionSet& other);
  // Copies the entries and binding; keeps this set's window and legacy cache.
  TamSelOptionSet& operator=(const TamSelOptionSet& other);
  ~TamSelOptionSet();

  const std::string& contextId() const { return contextId_; }
  ref_count_ptr<TamWindow> window() const;
  const Contents& contents() const;

  // The entry of the option at this path. An option without one gets a default entry, which
  // stays in the set; a legacy option is read from the host on every call. Raises 103 for a
  // null option. The returned reference is valid until the set next changes (a default that get()
  // adds does not end it).
  const TamSosEntry& get(const ref_count_ptr<TamOption>& option, const TamPath& path) const;
  const TamSosEntry& get(const ref_count_ptr<TamOption>& option) const;
  // The first String option of this name holding a value that is not Unset; null when none.
  ref_count_ptr<TamOption> getOption(std::string name) const;
  bool matchValue(std::string optionName, std::string valueText) const;
  // Raises 113 (info: the option name) at the first mandatory option whose value is Unset.
  void verifyCompleteness() const;

  // The one way values enter the set: validates the first value (204), then stores, replaces
  // (mutually exclusive options, as the host's override decision allows) or adds values.
  // An entry without values, or with fewer howSet elements than values, raises code 2.
  void set(const TamSosEntry& entry);
  void clearEntry(const TamSosEntry& entry);
  void clear();
  // Sets every value of other that the host set (HOWSET_HOST, _HOST_FIRM, _HOST_FORCED).
  void merge(const TamSelOptionSet& other);
  void setContext(const TamNode* node, bool skipPath);

 private:
  friend class TamWindow;
  friend class tam::detail::NodeTrace;
  explicit TamSelOptionSet(TamWindow* window);

  const TamSosEntry& setDefault(const ref_count_ptr<TamOption>& option, const TamPath& path) const;
  static const Contents& emptyContents();
  // The table of entries, this set's own: a table shared with other sets is copied first. The
  // const form is for get(), which adds defaults: the table it leaves is kept until the set next
  // changes, so that entries get() returned before stay valid.
  Contents& ownContents();
  Contents& ownContentsForRead() const;
  // A change ends the validity of every entry reference handed out; tables kept for them go.
  void changing() { retired_.clear(); }
  void ensureContains(const ref_count_ptr<TamOption>& option);

  // The steps of set(): storeEntry() is all of it but the report to an observer.
  void storeEntry(const TamSosEntry& entry);
  void checkEntry(const TamSosEntry& entry) const;
  void setLegacy(const TamSosEntry& entry);
  TamSosEntry* storedEntry(const ref_count_ptr<TamOption>& option, const TamPath& path);
  void replaceExclusive(TamSosEntry& stored, const TamSosEntry& entry);
  static void addValues(TamSosEntry& stored, const TamSosEntry& entry);
  // The steps of setContext().
  // The node's position, walked up to only when an entry with a path needs it.
  class ContextPath;
  // What binding a table to a node of one module needs, found once per table (see the source).
  struct Binding;
  struct Table;
  bool boundAlready(const TamModule& module) const;
  static Binding& bindingFor(Table& table, const std::string& moduleId);
  bool bindInOnePass(const ref_count_ptr<TamModule>& module, ContextPath& contextPath,
                     Binding*& binding);
  void carryPresentedValues(const std::string& moduleId, ContextPath& contextPath,
                            const Binding* binding);
  void keepBestEntries(const ref_count_ptr<TamModule>& module, ContextPath& contextPath);
  static void inheritUsedOption(TamSelOptionSet& sos, TamNode* node,
                                const ref_count_ptr<TamOption>& option);

  const TamNode* contextNode_ = nullptr;
  std::string contextId_;
  // The entries, with what was found out about them while they stay as they are; null while
  // there are none. Shared with copies of this set until one changes. get() is const but may add
  // default entries and refresh the legacy cache.
  mutable std::shared_ptr<Table> contents_;
  mutable std::vector<std::shared_ptr<Table>> retired_;
  mutable std::map<ref_count_ptr<TamOption>, TamSosEntry> legacyCache_;
  TamWindow* window_ = nullptr;
  // The evaluation this set is the working set of (or whose load-if reads it) when the window has
  // an observer; null otherwise. Neither copied nor assigned.
  mutable tam::detail::NodeTrace* trace_ = nullptr;
};

#endif  // TAM_TAMSELOPTIONSET_H
