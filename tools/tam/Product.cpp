#include "Product.h"

#include <filesystem>
#include <set>

#include "Diagnostics.h"
#include "ValueText.h"

namespace {

using Json = nlohmann::json;

struct ModeName {
  const char* name;
  TamWindow::VariantsMode mode;
};

const ModeName kModeNames[] = {{"modular", TamWindow::VM_MODULAR},
                               {"modular_and_legacy", TamWindow::VM_MODULAR_AND_LEGACY},
                               {"legacy", TamWindow::VM_LEGACY}};

struct StateName {
  const char* name;
  TamNode::ConfigState state;
};

const StateName kForcedNames[] = {{"configured", TamNode::CS_CONFIGURED},
                                  {"not_configured", TamNode::CS_NOT_CONFIGURED}};

bool isScalar(const Json& value) {
  return value.is_boolean() || value.is_number() || value.is_string();
}

std::string quotedList(std::initializer_list<const char*> names) {
  std::string text;
  for (const char* name : names) {
    if (!text.empty()) text += ", ";
    text += std::string("\"") + name + "\"";
  }
  return text;
}

}  // namespace

Product Product::load(const std::string& path) {
  Product product;
  product.document_ = JsonDocument::read(path);
  product.readTop();
  return product;
}

Product Product::fromText(const std::string& path, const std::string& text) {
  Product product;
  product.document_ = JsonDocument::parse(path, text);
  product.readTop();
  return product;
}

const char* Product::variantsModeName() const {
  for (const ModeName& entry : kModeNames) {
    if (entry.mode == variantsMode_) return entry.name;
  }
  return "modular";
}

void Product::fail(const std::string& pointer, const std::string& message) const {
  throw ToolError(Diagnostic::error(document_.place(pointer), message), kExitUsage);
}

const Json& Product::at(const std::string& pointer) const {
  return document_.root().at(Json::json_pointer(pointer));
}

std::string Product::stringAt(const std::string& pointer, const char* what) const {
  const Json& value = at(pointer);
  if (!value.is_string()) fail(pointer, std::string(what) + " must be a string");
  return value.get<std::string>();
}

void Product::checkKeys(const std::string& pointer, std::initializer_list<const char*> allowed) {
  for (const auto& item : at(pointer).items()) {
    bool known = false;
    for (const char* name : allowed) {
      if (item.key() == name) known = true;
    }
    if (!known) {
      fail(JsonDocument::member(pointer, item.key()),
           "unknown key \"" + item.key() + "\" (expected " + quotedList(allowed) + ")");
    }
  }
}

void Product::readTop() {
  const Json& top = document_.root();
  if (!top.is_object()) fail("", "the product file must hold one JSON object");
  checkKeys("",
            {"name", "description", "module_folders", "variants_mode", "legacy_options", "root"});
  if (top.contains("name")) name_ = stringAt("/name", "\"name\"");
  if (top.contains("description")) stringAt("/description", "\"description\"");

  if (!top.contains("module_folders")) fail("", "missing \"module_folders\"");
  const Json& folders = top["module_folders"];
  if (!folders.is_array() || folders.empty()) {
    fail("/module_folders", "\"module_folders\" must be a non-empty list of folders");
  }
  std::filesystem::path base = std::filesystem::path(path()).parent_path();
  for (std::size_t i = 0; i < folders.size(); ++i) {
    std::string pointer = JsonDocument::element("/module_folders", i);
    std::string folder = stringAt(pointer, "a module folder");
    if (folder.empty()) fail(pointer, "a module folder must not be empty");
    folders_.push_back(folder);
    folderPaths_.push_back((base / folder).lexically_normal().string());
  }

  if (top.contains("variants_mode")) {
    std::string mode = stringAt("/variants_mode", "\"variants_mode\"");
    bool known = false;
    for (const ModeName& entry : kModeNames) {
      if (mode == entry.name) {
        variantsMode_ = entry.mode;
        known = true;
      }
    }
    if (!known) {
      fail("/variants_mode", "unknown variants mode \"" + mode +
                                 "\" (expected \"modular\", \"modular_and_legacy\" or \"legacy\")");
    }
  }
  if (top.contains("legacy_options")) readLegacy("/legacy_options");

  if (!top.contains("root")) fail("", "missing \"root\": the product's root node");
  root_ = readNode("/root", 1);
}

void Product::readLegacy(const std::string& pointer) {
  const Json& modules = at(pointer);
  if (!modules.is_object()) {
    fail(pointer, "\"legacy_options\" must map module ids to their legacy options");
  }
  for (const auto& module : modules.items()) {
    std::string modulePointer = JsonDocument::member(pointer, module.key());
    if (!module.value().is_object()) {
      fail(modulePointer, "the legacy options of a module must map option names to values");
    }
    for (const auto& option : module.value().items()) {
      std::string optionPointer = JsonDocument::member(modulePointer, option.key());
      if (option.key().empty()) fail(optionPointer, "a legacy option needs a name");
      LegacyEntry given;
      given.moduleId = module.key();
      given.optionName = option.key();
      given.pointer = optionPointer;
      if (option.value().is_array()) {
        given.values = readScalars(optionPointer, "a legacy option");
      } else if (isScalar(option.value())) {
        given.values.push_back(option.value());
      } else {
        fail(optionPointer,
             "a legacy value must be true, false, a number, a string or a list of them");
      }
      legacy_.push_back(given);
    }
  }
}

std::vector<Json> Product::readScalars(const std::string& pointer, const char* what) {
  const Json& list = at(pointer);
  if (!list.is_array() || list.empty()) {
    fail(pointer, std::string("the values of ") + what + " must be a non-empty list");
  }
  std::vector<Json> values;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!isScalar(list[i])) {
      fail(JsonDocument::element(pointer, i), "a value must be true, false, a number or a string");
    }
    values.push_back(list[i]);
  }
  return values;
}

NodeEntry Product::readNode(const std::string& pointer, int depth) {
  if (!at(pointer).is_object()) fail(pointer, "a node must be a JSON object");
  if (depth > kMaxDepth) {
    fail(pointer, "nodes are nested more than " + std::to_string(kMaxDepth) + " deep");
  }
  checkKeys(pointer, {"id", "module", "load_if", "forced", "values", "children"});
  const Json& node = at(pointer);
  NodeEntry given;
  given.pointer = pointer;

  if (!node.contains("id")) fail(pointer, "a node needs an \"id\"");
  std::string idPointer = JsonDocument::member(pointer, "id");
  given.id = stringAt(idPointer, "a node id");
  if (given.id.empty() || given.id.find_first_of(".:") != std::string::npos) {
    fail(idPointer, "a node id must be a non-empty text without '.' or ':'");
  }
  if (node.contains("module")) {
    std::string modulePointer = JsonDocument::member(pointer, "module");
    given.moduleId = stringAt(modulePointer, "a module id");
    if (given.moduleId.empty()) fail(modulePointer, "a module id must not be empty");
  }
  if (node.contains("load_if")) {
    given.loadIf = stringAt(JsonDocument::member(pointer, "load_if"), "a load-if condition");
    given.hasLoadIf = !given.loadIf.empty();
  }
  if (node.contains("forced")) {
    std::string forcedPointer = JsonDocument::member(pointer, "forced");
    std::string forced = stringAt(forcedPointer, "a forced state");
    bool known = false;
    for (const StateName& entry : kForcedNames) {
      if (forced == entry.name) {
        given.forced = entry.state;
        known = true;
      }
    }
    if (!known) {
      fail(forcedPointer, "unknown forced state \"" + forced +
                              "\" (expected \"configured\" or \"not_configured\")");
    }
  }
  if (node.contains("values")) {
    std::string valuesPointer = JsonDocument::member(pointer, "values");
    if (!node["values"].is_array()) fail(valuesPointer, "\"values\" must be a list of host values");
    if (given.moduleId.empty() && !node["values"].empty()) {
      fail(valuesPointer, "host values can only be given at a node that has a module");
    }
    for (std::size_t i = 0; i < node["values"].size(); ++i) {
      HostValueEntry value = readHostValue(JsonDocument::element(valuesPointer, i));
      if (value.moduleId != given.moduleId) {
        fail(JsonDocument::member(value.pointer, "option"),
             "host value for " + value.moduleId + ":" + value.optionName +
                 " at a node of module '" + given.moduleId +
                 "': only options of the node's own module can be set here");
      }
      given.values.push_back(value);
    }
  }
  if (node.contains("children")) {
    std::string childrenPointer = JsonDocument::member(pointer, "children");
    if (!node["children"].is_array()) fail(childrenPointer, "\"children\" must be a list of nodes");
    std::set<std::string> ids;
    for (std::size_t i = 0; i < node["children"].size(); ++i) {
      NodeEntry child = readNode(JsonDocument::element(childrenPointer, i), depth + 1);
      if (!ids.insert(child.id).second) {
        fail(JsonDocument::member(child.pointer, "id"),
             "two children of one node have the id \"" + child.id + "\"");
      }
      given.children.push_back(std::move(child));
    }
  }
  return given;
}

HostValueEntry Product::readHostValue(const std::string& pointer) {
  if (!at(pointer).is_object()) fail(pointer, "a host value must be a JSON object");
  checkKeys(pointer, {"option", "value", "values", "how"});
  const Json& object = at(pointer);
  HostValueEntry given;
  given.pointer = pointer;
  given.where = where(pointer);

  if (!object.contains("option")) fail(pointer, "a host value needs an \"option\" (module:option)");
  std::string optionPointer = JsonDocument::member(pointer, "option");
  std::string option = stringAt(optionPointer, "\"option\"");
  std::size_t colon = option.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == option.size()) {
    fail(optionPointer, "\"option\" must be written module:option");
  }
  given.moduleId = option.substr(0, colon);
  given.optionName = option.substr(colon + 1);

  bool hasValue = object.contains("value");
  bool hasValues = object.contains("values");
  if (hasValue == hasValues) fail(pointer, "a host value needs either \"value\" or \"values\"");
  if (hasValue) {
    std::string valuePointer = JsonDocument::member(pointer, "value");
    if (!isScalar(object["value"])) {
      fail(valuePointer, "a value must be true, false, a number or a string");
    }
    given.values.push_back(object["value"]);
    given.valueWhere.push_back(where(valuePointer));
    given.valuePointers.push_back(valuePointer);
  } else {
    std::string valuesPointer = JsonDocument::member(pointer, "values");
    given.values = readScalars(valuesPointer, "a host value");
    for (std::size_t i = 0; i < given.values.size(); ++i) {
      given.valueWhere.push_back(where(JsonDocument::element(valuesPointer, i)));
      given.valuePointers.push_back(JsonDocument::element(valuesPointer, i));
    }
  }
  if (object.contains("how")) {
    std::string howPointer = JsonDocument::member(pointer, "how");
    std::string how = stringAt(howPointer, "\"how\"");
    if (!parseHostHowSet(how, given.how)) {
      fail(howPointer, "unknown way of setting \"" + how +
                           "\" (expected \"host\", \"host_firm\" or \"host_forced\")");
    }
  }
  return given;
}
