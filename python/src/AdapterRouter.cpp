#include "AdapterRouter.h"

AdapterRouter& AdapterRouter::instance() {
  static AdapterRouter* router = new AdapterRouter();  // lives as long as the process
  return *router;
}

AdapterRouter::Scope::Scope(Tam::AdapterInterface* adapter) : previous_(instance().current_) {
  instance().current_ = adapter;
}

AdapterRouter::Scope::~Scope() { instance().current_ = previous_; }

Tam::AdapterInterface& AdapterRouter::adapterFor(TamWindow* window) {
  auto it = routes_.find(window);
  if (it != routes_.end()) return *it->second;
  return current_ != nullptr ? *current_ : defaults_;
}

bool AdapterRouter::loadModule(TamWindow* window, const std::string& moduleId) {
  return adapterFor(window).loadModule(window, moduleId);
}

bool AdapterRouter::refreshModule(TamWindow* window, ref_count_ptr<TamModule> module) {
  return adapterFor(window).refreshModule(window, module);
}

bool AdapterRouter::userMsg(TamWindow* window, Tam::MsgSeverity severity,
                            const std::string& message, TamNode* node) {
  return adapterFor(window).userMsg(window, severity, message, node);
}

bool AdapterRouter::allowOptionOverride(const TamSelOptionSet::TamSosEntry& existing,
                                        const TamNode* node, TamSelOptionSet::HowSet howSet) {
  TamWindow* window = node != nullptr ? node->window().get() : nullptr;
  return adapterFor(window).allowOptionOverride(existing, node, howSet);
}

ref_count_ptr<TamValue> AdapterRouter::getLegacyOptionValue(
    TamWindow* window, const ref_count_ptr<TamOption>& option) {
  return adapterFor(window).getLegacyOptionValue(window, option);
}

std::vector<ref_count_ptr<TamValue>> AdapterRouter::getLegacyOptionValues(
    TamWindow* window, const ref_count_ptr<TamOption>& option) {
  return adapterFor(window).getLegacyOptionValues(window, option);
}

void AdapterRouter::setLegacyOptionValue(TamWindow* window, const ref_count_ptr<TamOption>& option,
                                         const ref_count_ptr<TamValue>& value) {
  adapterFor(window).setLegacyOptionValue(window, option, value);
}

void AdapterRouter::setLegacyOptionValues(TamWindow* window, const ref_count_ptr<TamOption>& option,
                                          std::vector<ref_count_ptr<TamValue>> values) {
  adapterFor(window).setLegacyOptionValues(window, option, std::move(values));
}

std::string AdapterRouter::localizeString(const std::string& text) {
  return adapterFor(nullptr).localizeString(text);
}
