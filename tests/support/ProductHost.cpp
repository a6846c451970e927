#include "ProductHost.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace tamtest {
namespace {

using Json = nlohmann::json;

std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ProductScalar scalarOf(const Json& value) {
  ProductScalar scalar;
  if (value.is_boolean()) {
    scalar.kind = ProductScalar::kBool;
    scalar.boolean = value.get<bool>();
  } else if (value.is_number_integer()) {
    scalar.kind = ProductScalar::kInteger;
    scalar.integer = value.get<long long>();
  } else if (value.is_number()) {
    scalar.kind = ProductScalar::kReal;
    scalar.real = value.get<double>();
  } else {
    scalar.text = value.get<std::string>();
  }
  return scalar;
}

std::vector<ProductScalar> scalarsOf(const Json& value) {
  std::vector<ProductScalar> scalars;
  if (value.is_array()) {
    for (const Json& item : value) scalars.push_back(scalarOf(item));
  } else {
    scalars.push_back(scalarOf(value));
  }
  return scalars;
}

TamSelOptionSet::HowSet howOf(const Json& value) {
  const std::string how = value.value("how", "host");
  if (how == "host_firm") return TamSelOptionSet::HOWSET_HOST_FIRM;
  if (how == "host_forced") return TamSelOptionSet::HOWSET_HOST_FORCED;
  return TamSelOptionSet::HOWSET_HOST;
}

ProductNodePlan nodeOf(const Json& node) {
  ProductNodePlan plan;
  plan.id = node.at("id").get<std::string>();
  plan.moduleId = node.value("module", "");
  plan.loadIf = node.value("load_if", "");
  const std::string forced = node.value("forced", "");
  if (forced == "configured") plan.forced = TamNode::CS_CONFIGURED;
  if (forced == "not_configured") plan.forced = TamNode::CS_NOT_CONFIGURED;
  for (const Json& value : node.value("values", Json::array())) {
    ProductHostValue host;
    const std::string option = value.at("option").get<std::string>();
    host.moduleId = option.substr(0, option.find(':'));
    host.optionName = option.substr(option.find(':') + 1);
    host.values = scalarsOf(value.contains("values") ? value.at("values") : value.at("value"));
    host.how = howOf(value);
    plan.values.push_back(host);
  }
  for (const Json& child : node.value("children", Json::array())) {
    plan.children.push_back(nodeOf(child));
  }
  return plan;
}

const char* stateName(TamNode::ConfigState state) {
  switch (state) {
    case TamNode::CS_CONFIGURED:
      return "configured";
    case TamNode::CS_NOT_CONFIGURED:
      return "not configured";
    default:
      return "undecided";
  }
}

std::string legacyKey(const ref_count_ptr<TamOption>& option) {
  return option->moduleId() + ":" + option->name();
}

class ProductNodeIterator : public TamNodeIterator {
 public:
  explicit ProductNodeIterator(const std::vector<std::unique_ptr<ProductNode>>& kids)
      : kids_(kids) {}
  bool more() override { return index_ < kids_.size(); }
  TamNode* current() override { return kids_[index_].get(); }
  void next() override { ++index_; }

 private:
  const std::vector<std::unique_ptr<ProductNode>>& kids_;
  size_t index_ = 0;
};

void digestNode(ProductNode& node, const std::string& prefix, std::string& out) {
  const std::string path = prefix.empty() ? node.pathId() : prefix + "." + node.pathId();
  out += path + ": " + stateName(node.isNodeConfigured()) + "\n";
  for (const auto& item : node.getSos().contents()) {
    const TamSelOptionSet::TamSosEntry& entry = item.second;
    out += "  " + entry.option->moduleId() + ":" + entry.option->name();
    if (!entry.path.isEmpty()) out += "[" + entry.path.toDisplayString() + "]";
    out += " =";
    for (size_t i = 0; i < entry.values.size(); ++i) {
      out += " " + entry.values[i]->displayString();
      if (i < entry.howSet.size()) out += "(" + std::to_string(entry.howSet[i]) + ")";
    }
    out += "\n";
  }
  for (const std::unique_ptr<ProductNode>& kid : node.kids) digestNode(*kid, path, out);
}

}  // namespace

ref_count_ptr<TamValue> ProductScalar::toValue(TamValue::ValueType type) const {
  switch (kind) {
    case kBool:
      return TamValue::createBool(boolean);
    case kInteger:
      if (type == TamValue::VT_REAL) return TamValue::createReal(static_cast<double>(integer));
      return TamValue::createInt(static_cast<int>(integer));
    case kReal:
      return TamValue::createReal(real);
    default:
      return TamValue::createString(text);
  }
}

ProductPlan ProductPlan::load(const std::string& productFile) {
  const std::filesystem::path file(productFile);
  const Json product = Json::parse(readText(file));
  ProductPlan plan;
  for (const Json& folder : product.at("module_folders")) {
    const std::filesystem::path dir = file.parent_path() / folder.get<std::string>();
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.path().extension() != ".rix") continue;
      const std::string text = readText(entry.path());
      const std::string firstLine = text.substr(0, text.find('\n'));
      plan.moduleTexts[firstLine.substr(firstLine.find(' ') + 1)] = text;
    }
  }
  const std::string mode = product.value("variants_mode", "modular");
  if (mode == "legacy") plan.variantsMode = TamWindow::VM_LEGACY;
  if (mode == "modular_and_legacy") plan.variantsMode = TamWindow::VM_MODULAR_AND_LEGACY;
  const Json legacyOptions = product.value("legacy_options", Json::object());
  for (const auto& module : legacyOptions.items()) {
    for (const auto& option : module.value().items()) {
      plan.legacy.push_back({module.key(), option.key(), scalarsOf(option.value())});
    }
  }
  plan.root = nodeOf(product.at("root"));
  return plan;
}

// The legacy options are declared before the text is read, so that the rules can use them.
bool ProductAdapter::loadModule(TamWindow* window, const std::string& moduleId) {
  auto text = plan_.moduleTexts.find(moduleId);
  if (text == plan_.moduleTexts.end()) return false;
  ref_count_ptr<TamModule> module = window->createModule(moduleId);
  for (const ProductLegacyValue& legacy : plan_.legacy) {
    if (legacy.moduleId == moduleId) module->declareLegacyOption(legacy.optionName);
  }
  module->setRixData(text->second);
  return true;
}

bool ProductAdapter::refreshModule(TamWindow*, ref_count_ptr<TamModule>) { return true; }

bool ProductAdapter::userMsg(TamWindow* window, Tam::MsgSeverity severity,
                             const std::string& message, TamNode* node) {
  const std::string line = std::to_string(severity) + " " + (node ? node->pathId() : "-") + " " +
                           message + "\n";
  std::lock_guard<std::mutex> lock(mutex_);
  stateOf(window).messages += line;
  return true;
}

// Legacy values start as the product file gives them (strings and numbers as they are written).
// The state is complete before it is kept, so that a failure while making it leaves none.
ProductAdapter::WindowState& ProductAdapter::stateOf(TamWindow* window) {
  auto found = windows_.find(window);
  if (found != windows_.end()) return found->second;
  WindowState state;
  for (const ProductLegacyValue& legacy : plan_.legacy) {
    std::vector<ref_count_ptr<TamValue>> values;
    for (const ProductScalar& scalar : legacy.values) {
      values.push_back(scalar.toValue(TamValue::VT_UNSET));
    }
    state.legacy[legacy.moduleId + ":" + legacy.optionName] = values;
  }
  return windows_.emplace(window, std::move(state)).first->second;
}

ref_count_ptr<TamValue> ProductAdapter::getLegacyOptionValue(
    TamWindow* window, const ref_count_ptr<TamOption>& option) {
  std::vector<ref_count_ptr<TamValue>> values = getLegacyOptionValues(window, option);
  return values.empty() ? TamValue::createUnset() : values.front();
}

std::vector<ref_count_ptr<TamValue>> ProductAdapter::getLegacyOptionValues(
    TamWindow* window, const ref_count_ptr<TamOption>& option) {
  const std::string key = legacyKey(option);
  std::lock_guard<std::mutex> lock(mutex_);
  const WindowState& state = stateOf(window);
  auto found = state.legacy.find(key);
  if (found == state.legacy.end()) return {};
  return found->second;
}

void ProductAdapter::setLegacyOptionValue(TamWindow* window, const ref_count_ptr<TamOption>& option,
                                          const ref_count_ptr<TamValue>& value) {
  setLegacyOptionValues(window, option, {value});
}

// The new values are in hand before the kept ones are replaced.
void ProductAdapter::setLegacyOptionValues(TamWindow* window,
                                           const ref_count_ptr<TamOption>& option,
                                           std::vector<ref_count_ptr<TamValue>> values) {
  const std::string key = legacyKey(option);
  std::lock_guard<std::mutex> lock(mutex_);
  stateOf(window).legacy[key].swap(values);
}

std::string ProductAdapter::takeMessages(TamWindow* window) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string messages;
  messages.swap(stateOf(window).messages);
  return messages;
}

void ProductAdapter::forget(TamWindow* window) {
  std::lock_guard<std::mutex> lock(mutex_);
  windows_.erase(window);
}

TamNodeIterator* ProductNode::children() { return new ProductNodeIterator(kids); }

ProductSession::ProductSession(const ProductPlan& plan, ProductAdapter& adapter)
    : plan_(plan), adapter_(adapter), window_(Tam::createWindow()) {
  window_->setVariantsMode(plan.variantsMode);
}

// The nodes go before the window they point into; the adapter forgets the window last.
ProductSession::~ProductSession() {
  TamWindow* window = window_.get();
  root_.reset();
  window_ = ref_count_ptr<TamWindow>();
  adapter_.forget(window);
}

void ProductSession::build() {
  root_ = buildNode(plan_.root, nullptr);
  window_->setRoot(root_.get());
}

std::unique_ptr<ProductNode> ProductSession::buildNode(const ProductNodePlan& plan,
                                                       ProductNode* parent) {
  auto node = std::make_unique<ProductNode>(window_, parent, plan.id, plan.moduleId);
  node->forced = plan.forced;
  node->setLoadIf(plan.loadIf);
  if (!plan.values.empty()) {
    TamSelOptionSet chosen(window_);
    for (const ProductHostValue& value : plan.values) {
      TamSelOptionSet::TamSosEntry entry;
      entry.option = TamOption::findOption(window_, value.moduleId, value.optionName);
      for (const ProductScalar& scalar : value.values) {
        entry.values.push_back(scalar.toValue(entry.option->valueType()));
        entry.howSet.push_back(value.how);
      }
      chosen.set(entry);
    }
    node->setSos(chosen);
  }
  for (const ProductNodePlan& child : plan.children) {
    node->kids.push_back(buildNode(child, node.get()));
  }
  return node;
}

std::string ProductSession::evaluationDigest() {
  std::string out;
  if (root_) digestNode(*root_, std::string(), out);
  return out + adapter_.takeMessages(window_.get());
}

std::string ProductSession::validationDigest() {
  TamValidator validator;
  validator.validateNode(root_.get(), true);
  std::string out;
  for (const ValidationError& error : validator.errors()) {
    out += std::to_string(error.code()) + " " + error.node()->pathId() + " " +
           error.option()->moduleId() + ":" + error.option()->name() + "\n";
  }
  return out;
}

std::string ProductSession::translationDigest() {
  TamTranslater translater;
  translater.addModuleMapping("ebike", "bike");
  translater.addOptionMapping("drive", "assist_level", "assist");
  translater.addOptionMapping("wheels", "tyre_width", "width");
  std::string out;
  for (const auto& module : window_->moduleMap()) {
    const std::string newId = module.first == "ebike" ? "bike" : module.first;
    out += translater.translateRixData(newId, module.second->getRixData()) + "\n";
  }
  return out;
}

std::string ProductSession::moduleTextDigest() {
  std::string out;
  for (const auto& module : window_->moduleMap()) out += module.second->getRixData() + "\n";
  return out;
}

std::string runProductWorkload(const ProductPlan& plan, ProductAdapter& adapter) {
  ProductSession session(plan, adapter);
  session.build();
  session.evaluate();
  std::string digest = session.evaluationDigest();
  digest += session.validationDigest();
  digest += session.translationDigest();
  return digest + session.moduleTextDigest();
}

}  // namespace tamtest
