// A TamWindow holds one configuration a host works on: its modules by identifier, the root of
// the host's node tree, and the node being evaluated. Windows are shared through handles; the
// window owns its modules, and holds the root and current node as plain pointers it never frees.
// Modules missing from the window are asked of the host adapter; modules queued for refresh are
// refreshed lazily at the next lookup. Not thread-safe: use a window from one thread at a time
// (different windows may be used from different threads at once; see Tam.h).
//
// The window distrusts its host: every call that can call back into the host holds a handle on
// the window while it runs, so a host may drop its last handle (or delete modules) inside any
// callback and the window goes only when the call returns. Re-entry that would never end is
// refused with TamException kHostMisuseCode: asking for a module again while the host's
// loadModule is loading it, refreshing a module while it is being loaded or refreshed, module
// loads and refreshes nesting deeper than kMaxNestedModuleCalls, and evaluating the window again
// while it is being evaluated.
#ifndef TAM_TAMWINDOW_H
#define TAM_TAMWINDOW_H

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamModule.h"
#include "tam/TamValue.h"
#include "tam/ref_count.h"

namespace tam {
namespace detail {
class OptionBlocks;
}  // namespace detail
}  // namespace tam

class Tam;
class TamNode;
class TamObserver;
class TamOption;

class TAM_API TamWindow : public ref_count {
 public:
  enum VariantsMode { VM_MODULAR = 0, VM_MODULAR_AND_LEGACY = 1, VM_LEGACY = 2 };
  using ModuleMap = std::map<std::string, ref_count_ptr<TamModule>>;

  // The code of the refusals above (the library used against its contract).
  static constexpr int kHostMisuseCode = 2;
  // How deep the host's loadModule and refreshModule calls may nest (a module text naming
  // another module that is loaded in turn, and so on). Each level costs the stack of a module
  // text read; a host whose modules keep naming new ones is stopped here.
  static constexpr int kMaxNestedModuleCalls = 100;

  ~TamWindow() override;

  void setRoot(TamNode* root) { root_ = root; }
  TamNode* askRoot() const { return root_; }
  void setCurrentlyEvaluating(TamNode* node) { currentlyEvaluating_ = node; }
  TamNode* currentlyEvaluating() const { return currentlyEvaluating_; }

  void setVariantsMode(VariantsMode mode) { variantsMode_ = mode; }
  VariantsMode askVariantsMode() const { return variantsMode_; }
  bool evaluateModular() const { return variantsMode_ != VM_LEGACY; }
  bool evaluateLegacy() const { return variantsMode_ != VM_MODULAR; }

  const ModuleMap& moduleMap() const { return moduleMap_; }
  // Raises 301 when the id is taken.
  ref_count_ptr<TamModule> createModule(const std::string& id);
  void deleteModule(const std::string& id);
  // Returns the module with this identifier, asking the host's adapter to load it when the window
  // does not hold it. Throws TamException 302 (info: the identifier) when the host cannot supply
  // it. A module loaded by this call is marked external when `external` is true; a module the
  // window already holds keeps its flag.
  // Before the lookup, modules queued for refresh are handed to the adapter's refreshModule in
  // ascending id order (a false answer deletes the module). Identifiers whose module was deleted
  // after it was queued are skipped: refreshModule is not called for them and no entry is made,
  // so a lookup never returns a null module. Ids queued during the pass wait for the next one.
  // Raises 3 when the host has uninstalled its adapter.
  ref_count_ptr<TamModule> getModule(const std::string& id);
  ref_count_ptr<TamModule> getModule(const std::string& id, bool external);
  // Queues a module the window holds for refresh at the next lookup; other ids are ignored.
  void moduleNeedsRefresh(const std::string& id);
  // Queues every module marked external.
  void externalsNeedRefresh();

  // Evaluates the root (if any) with an empty selected option set. Raises kHostMisuseCode when
  // the window is being evaluated already (a callback evaluating it again would never end).
  void evaluate(bool notify);

  // The observer that hears how this window's evaluations reach their results (see
  // TamObserver.h); null, the default, removes it. The window borrows it: the host keeps it alive
  // while it is installed. Each window has its own, so windows used from different threads may
  // each have one.
  void setObserver(TamObserver* observer) { observer_ = observer; }
  TamObserver* observer() const { return observer_; }

  // The host's legacy values; a null value from the adapter stands for Unset.
  ref_count_ptr<TamValue> getLegacyOptionValue(const ref_count_ptr<TamOption>& option);
  std::vector<ref_count_ptr<TamValue>> getLegacyOptionValues(const ref_count_ptr<TamOption>& option);
  void setLegacyOptionValue(const ref_count_ptr<TamOption>& option,
                            const ref_count_ptr<TamValue>& value);
  void setLegacyOptionValues(const ref_count_ptr<TamOption>& option,
                             std::vector<ref_count_ptr<TamValue>> values);

 private:
  friend class Tam;
  friend class TamModule;  // places the options it reads in optionBlocks_
  TamWindow();

  class ModuleCall;

  void refreshQueuedModules();

  TamNode* root_ = nullptr;
  TamNode* currentlyEvaluating_ = nullptr;
  std::set<std::string> refreshQueue_;
  VariantsMode variantsMode_ = VM_LEGACY;
  ModuleMap moduleMap_;
  // The modules of moduleMap_ by id, for lookups without comparing ids along a tree. A key is a
  // view of the map's key of the same module; both change together.
  std::unordered_map<std::string_view, TamModule*> moduleIndex_;
  // Modules whose loadModule or refreshModule call is under way.
  std::set<std::string> busyModules_;
  bool evaluating_ = false;
  TamObserver* observer_ = nullptr;
  // Where the modules' options go when read from their texts (see OptionBlocks).
  std::unique_ptr<tam::detail::OptionBlocks> optionBlocks_;
};

#endif  // TAM_TAMWINDOW_H
