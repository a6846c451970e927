#include "tam/TamWindow.h"

#include <utility>

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

TamWindow::~TamWindow() = default;

ref_count_ptr<TamModule> TamWindow::createModule(const std::string& id) {
  if (moduleMap_.count(id) != 0) {
    throw TamException(kModuleExistsCode, std::string(), std::string(), std::string());
  }
  ref_count_ptr<TamModule> module(new TamModule(this, id));
  moduleMap_[id] = module;
  return module;
}

void TamWindow::deleteModule(const std::string& id) {
  auto it = moduleMap_.find(id);
  if (it == moduleMap_.end()) return;
  // The module goes only after the map is consistent again.
  ref_count_ptr<TamModule> leaving = it->second;
  moduleMap_.erase(it);
}

ref_count_ptr<TamModule> TamWindow::getModule(const std::string& id) {
  return getModule(id, false);
}

ref_count_ptr<TamModule> TamWindow::getModule(const std::string& id, bool external) {
  if (!refreshQueue_.empty()) refreshQueuedModules();

  auto it = moduleMap_.find(id);
  if (it != moduleMap_.end()) return it->second;

  if (!adapter().loadModule(this, id)) {
    throw TamException(kModuleNotSuppliedCode, id, std::string(), std::string());
  }
  it = moduleMap_.find(id);
  if (it == moduleMap_.end()) {
    throw TamException(kModuleNotSuppliedCode, id, std::string(), std::string());
  }
  if (external) it->second->setExternal(true);
  return it->second;
}

void TamWindow::refreshQueuedModules() {
  // Identifiers the host queues while refreshing wait for the next pass.
  std::set<std::string> queued;
  queued.swap(refreshQueue_);
  for (const std::string& id : queued) {
    auto it = moduleMap_.find(id);
    if (it == moduleMap_.end()) continue;
    ref_count_ptr<TamModule> module = it->second;
    if (!adapter().refreshModule(this, module)) deleteModule(id);
  }
}

void TamWindow::moduleNeedsRefresh(const std::string& id) {
  if (moduleMap_.count(id) != 0) refreshQueue_.insert(id);
}

void TamWindow::externalsNeedRefresh() {
  for (const auto& entry : moduleMap_) {
    if (entry.second && entry.second->isExternal()) refreshQueue_.insert(entry.first);
  }
}

void TamWindow::evaluate(bool notify) {
  TamSelOptionSet sos(this);
  if (root_) root_->evaluate(sos, notify);
}

ref_count_ptr<TamValue> TamWindow::getLegacyOptionValue(const ref_count_ptr<TamOption>& option) {
  return adapter().getLegacyOptionValue(this, option);
}

std::vector<ref_count_ptr<TamValue>> TamWindow::getLegacyOptionValues(
    const ref_count_ptr<TamOption>& option) {
  return adapter().getLegacyOptionValues(this, option);
}

void TamWindow::setLegacyOptionValue(const ref_count_ptr<TamOption>& option,
                                     const ref_count_ptr<TamValue>& value) {
  adapter().setLegacyOptionValue(this, option, value);
}

void TamWindow::setLegacyOptionValues(const ref_count_ptr<TamOption>& option,
                                      std::vector<ref_count_ptr<TamValue>> values) {
  adapter().setLegacyOptionValues(this, option, std::move(values));
}
