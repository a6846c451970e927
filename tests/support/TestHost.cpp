#include "TestHost.h"

namespace tamtest {

TestAdapter::TestAdapter() { Tam::initialize(this); }

TestAdapter::~TestAdapter() {
  if (Tam::adapterInterface() == this) Tam::initialize(nullptr);
}

bool TestAdapter::loadModule(TamWindow* window, const std::string& moduleId) {
  loaded.push_back(moduleId);
  auto it = texts.find(moduleId);
  if (it == texts.end()) return false;
  ref_count_ptr<TamModule> module = window->createModule(moduleId);
  module->setRixData(it->second);
  return true;
}

bool TestAdapter::refreshModule(TamWindow*, ref_count_ptr<TamModule> module) {
  refreshed.push_back(module ? module->id() : std::string());
  return refreshAnswer;
}

bool TestAdapter::userMsg(TamWindow*, Tam::MsgSeverity severity, const std::string& message,
                          TamNode* node) {
  messages.push_back({severity, message, node});
  return acceptMessages;
}

static std::string legacyKey(const ref_count_ptr<TamOption>& option) {
  return option->moduleId() + ":" + option->name();
}

ref_count_ptr<TamValue> TestAdapter::getLegacyOptionValue(TamWindow*,
                                                          const ref_count_ptr<TamOption>& option) {
  auto it = legacyValues.find(legacyKey(option));
  if (it == legacyValues.end() || it->second.empty()) return TamValue::createUnset();
  return it->second.front();
}

void TestAdapter::setLegacyOptionValue(TamWindow*, const ref_count_ptr<TamOption>& option,
                                       const ref_count_ptr<TamValue>& value) {
  legacyValues[legacyKey(option)] = {value};
}

void TestAdapter::setLegacyOptionValues(TamWindow*, const ref_count_ptr<TamOption>& option,
                                        std::vector<ref_count_ptr<TamValue>> values) {
  legacyValues[legacyKey(option)] = values;
}

TamNode* TestNodeIterator::current() { return children_[index_].get(); }

TestNode* TestNode::addChild(const std::string& pathId, const std::string& moduleId) {
  children_.push_back(std::make_unique<TestNode>(window(), pathId, moduleId, this));
  return children_.back().get();
}

std::string valueText(const TamSelOptionSet& sos, const ref_count_ptr<TamOption>& option) {
  const TamSelOptionSet::TamSosEntry& entry = sos.get(option);
  return entry.values.empty() ? std::string() : entry.values.front()->displayString();
}

}  // namespace tamtest
