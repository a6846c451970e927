#include "tam/TamWindow.h"

#include <utility>

#include "model/LookupEpoch.h"
#include "model/OptionBlocks.h"
#include "tam/Tam.h"
#include "tam/TamException.h"
#include "tam/TamNode.h"
#include "tam/TamSelOptionSet.h"

namespace {

constexpr int kNoAdapterCode = 3;
constexpr int kModuleExistsCode = 301;
constexpr int kModuleNotSuppliedCode = 302;

// The installed adapter. A window exists only under an installed adapter; a host that uninstalls
// it while windows remain gets the same failure as creating a window without one, not a crash.
Tam::AdapterInterface& adapter() {
  Tam::AdapterInterface* installed = Tam::adapterInterface();
  if (!installed) throw TamException(kNoAdapterCode, std::string(), std::string(), std::string());
  return *installed;
}

}  // namespace

// One call of the host's loadModule or refreshModule under way: its module is busy until the
// call returns, and such calls nest at most kMaxNestedModuleCalls deep.
class TamWindow::ModuleCall {
 public:
  ModuleCall(TamWindow& window, const std::string& id, const char* refusal) : window_(window) {
    if (window.busyModules_.count(id) != 0) refuse("Module '" + id + "' " + refusal);
    if (window.busyModules_.size() >= static_cast<size_t>(kMaxNestedModuleCalls)) {
      refuse("Module loads and refreshes nest more than " +
             std::to_string(kMaxNestedModuleCalls) + " deep at module '" + id + "'");
    }
    at_ = window.busyModules_.insert(id).first;
  }
  ~ModuleCall() { window_.busyModules_.erase(at_); }
  ModuleCall(const ModuleCall&) = delete;
  ModuleCall& operator=(const ModuleCall&) = delete;

 private:
  [[noreturn]] static void refuse(const std::string& why) {
    throw TamException(kHostMisuseCode, why, std::string(), std::string());
  }

  TamWindow& window_;
  std::set<std::string>::iterator at_;
};

TamWindow::TamWindow() : optionBlocks_(new tam::detail::OptionBlocks()) {}

TamWindow::~TamWindow() { tam::detail::foundLookupsChanged(); }

ref_count_ptr<TamModule> TamWindow::createModule(const std::string& id) {
  if (moduleIndex_.count(id) != 0) {
    throw TamException(kModuleExistsCode, std::string(), std::string(), std::string());
  }
  ref_count_ptr<TamModule> module(new TamModule(this, id));
  const auto entered = moduleMap_.emplace(id, module).first;
  try {
    moduleIndex_.emplace(entered->first, module.get());
  } catch (...) {
    moduleMap_.erase(entered);
    throw;
  }
  tam::detail::lookupsChanged();
  return module;
}

void TamWindow::deleteModule(const std::string& id) {
  auto it = moduleMap_.find(id);
  if (it == moduleMap_.end()) return;
  // The module goes only after the map is consistent again.
  ref_count_ptr<TamModule> leaving = it->second;
  moduleIndex_.erase(it->first);
  moduleMap_.erase(it);
  tam::detail::foundLookupsChanged();
}

ref_count_ptr<TamModule> TamWindow::getModule(const std::string& id) {
  return getModule(id, false);
}

ref_count_ptr<TamModule> TamWindow::getModule(const std::string& id, bool external) {
  const ref_count_ptr<TamWindow> keep(this);
  if (!refreshQueue_.empty()) refreshQueuedModules();

  auto it = moduleIndex_.find(id);
  if (it != moduleIndex_.end()) return ref_count_ptr<TamModule>(it->second);

  bool supplied = false;
  {
    ModuleCall call(*this, id, "is asked for again while the host is loading it");
    supplied = adapter().loadModule(this, id);
  }
  if (!supplied) {
    throw TamException(kModuleNotSuppliedCode, id, std::string(), std::string());
  }
  it = moduleIndex_.find(id);
  if (it == moduleIndex_.end()) {
    throw TamException(kModuleNotSuppliedCode, id, std::string(), std::string());
  }
  if (external) it->second->setExternal(true);
  return ref_count_ptr<TamModule>(it->second);
}

void TamWindow::refreshQueuedModules() {
  // Identifiers the host queues while refreshing wait for the next pass.
  std::set<std::string> queued;
  queued.swap(refreshQueue_);
  for (const std::string& id : queued) {
    auto it = moduleMap_.find(id);
    if (it == moduleMap_.end()) continue;
    ref_count_ptr<TamModule> module = it->second;
    bool keepIt = false;
    {
      ModuleCall call(*this, id, "is queued for refresh while the host is loading or refreshing it");
      keepIt = adapter().refreshModule(this, module);
    }
    if (!keepIt) deleteModule(id);
  }
}

void TamWindow::moduleNeedsRefresh(const std::string& id) {
  if (moduleMap_.count(id) == 0) return;
  refreshQueue_.insert(id);
  tam::detail::foundLookupsChanged();
}

void TamWindow::externalsNeedRefresh() {
  for (const auto& entry : moduleMap_) {
    if (entry.second && entry.second->isExternal()) refreshQueue_.insert(entry.first);
  }
  tam::detail::foundLookupsChanged();
}

// The handle keeps the window alive while its tree is evaluated, whatever the host's callbacks
// do with their own handles.
void TamWindow::evaluate(bool notify) {
  const ref_count_ptr<TamWindow> keep(this);
  if (evaluating_) {
    throw TamException(kHostMisuseCode, "The window is evaluated again while it is being evaluated",
                       std::string(), std::string());
  }
  evaluating_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{evaluating_};
  TamSelOptionSet sos(this);
  if (root_) root_->evaluate(sos, notify);
}

ref_count_ptr<TamValue> TamWindow::getLegacyOptionValue(const ref_count_ptr<TamOption>& option) {
  const ref_count_ptr<TamWindow> keep(this);
  ref_count_ptr<TamValue> value = adapter().getLegacyOptionValue(this, option);
  return value ? value : TamValue::createUnset();
}

std::vector<ref_count_ptr<TamValue>> TamWindow::getLegacyOptionValues(
    const ref_count_ptr<TamOption>& option) {
  const ref_count_ptr<TamWindow> keep(this);
  std::vector<ref_count_ptr<TamValue>> values = adapter().getLegacyOptionValues(this, option);
  for (ref_count_ptr<TamValue>& value : values) {
    if (!value) value = TamValue::createUnset();
  }
  return values;
}

void TamWindow::setLegacyOptionValue(const ref_count_ptr<TamOption>& option,
                                     const ref_count_ptr<TamValue>& value) {
  const ref_count_ptr<TamWindow> keep(this);
  adapter().setLegacyOptionValue(this, option, value);
}

void TamWindow::setLegacyOptionValues(const ref_count_ptr<TamOption>& option,
                                      std::vector<ref_count_ptr<TamValue>> values) {
  const ref_count_ptr<TamWindow> keep(this);
  adapter().setLegacyOptionValues(this, option, std::move(values));
}
