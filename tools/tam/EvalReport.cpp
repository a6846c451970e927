#include "EvalReport.h"

#include "Product.h"
#include "ProductNode.h"
#include "Session.h"

const char* const kStateConfigured = "configured";
const char* const kStateNotConfigured = "not_configured";
const char* const kStateUndecided = "undecided";

namespace {

const char* forcedName(TamNode::ConfigState state) {
  switch (state) {
    case TamNode::CS_CONFIGURED:
      return kStateConfigured;
    case TamNode::CS_NOT_CONFIGURED:
      return kStateNotConfigured;
    case TamNode::CS_UNDECIDED:
      break;
  }
  return nullptr;
}

NodeReport reportNode(ProductNode& node) {
  NodeReport report;
  report.path = node.path();
  report.id = node.id();
  report.module = node.module();
  report.state = stateOf(node);
  report.forced = forcedName(node.forcedState());
  if (node.wasEvaluated() && node.hasModule()) {
    for (const auto& item : node.getSos().contents()) {
      const TamSelOptionSet::TamSosEntry& entry = item.second;
      report.options.push_back(
          {entry.option->moduleId() + ":" + entry.option->name(), entry.values, entry.howSet});
    }
  }
  return report;
}

OutputJson legacyJson(const std::map<FileAdapter::LegacyKey, LegacyValue>& legacy) {
  OutputJson list = OutputJson::array();
  for (const auto& entry : legacy) {
    OutputJson item = OutputJson::object();
    item["option"] = entry.first.first + ":" + entry.first.second;
    item["values"] = valuesJson(entry.second.values, nullptr);
    item["changed"] = entry.second.changed;
    list.push_back(item);
  }
  return list;
}

OutputJson summaryJson(std::size_t nodes, const EvalCounts& counts) {
  OutputJson summary = OutputJson::object();
  summary["nodes"] = nodes;
  summary["configured"] = counts.configured;
  summary["not_configured"] = counts.notConfigured;
  summary["undecided"] = counts.undecided;
  summary["errors"] = counts.messages[Tam::MSG_ERROR];
  summary["warnings"] = counts.messages[Tam::MSG_WARN];
  summary["informs"] = counts.messages[Tam::MSG_INFORM];
  return summary;
}

}  // namespace

const char* severityName(Tam::MsgSeverity severity) {
  switch (severity) {
    case Tam::MSG_ERROR:
      return "error";
    case Tam::MSG_WARN:
      return "warn";
    case Tam::MSG_INFORM:
      break;
  }
  return "inform";
}

const char* stateOf(ProductNode& node) {
  if (!node.wasEvaluated()) return kStateNotConfigured;
  if (node.forcedState() != TamNode::CS_CONFIGURED && !node.loadIfText().empty() &&
      node.isNodeConfigured() == TamNode::CS_UNDECIDED) {
    return kStateUndecided;
  }
  return kStateConfigured;
}

EvalReport EvalReport::of(Session& session) {
  EvalReport report;
  for (ProductNode* node : session.nodes()) report.nodes.push_back(reportNode(*node));
  report.messages = session.adapter().messages();
  report.legacy = session.adapter().legacyValues();
  for (const NodeReport& node : report.nodes) {
    if (node.state == kStateConfigured) ++report.counts.configured;
    if (node.state == kStateNotConfigured) ++report.counts.notConfigured;
    if (node.state == kStateUndecided) ++report.counts.undecided;
  }
  for (const EmittedMessage& message : report.messages) {
    ++report.counts.messages[message.severity];
  }
  return report;
}

OutputJson EvalReport::toJson(const Product& product) const {
  OutputJson document = OutputJson::object();
  document["product"] = product.name().empty() ? OutputJson(nullptr) : OutputJson(product.name());
  document["file"] = product.path();
  document["variants_mode"] = product.variantsModeName();
  document["status"] = hasErrors() ? "errors" : "ok";
  document["nodes"] = nodesJson(nodes);
  document["messages"] = messagesJson(messages);
  document["legacy_options"] = legacyJson(legacy);
  document["summary"] = summaryJson(nodes.size(), counts);
  return document;
}

OutputJson valuesJson(const std::vector<ref_count_ptr<TamValue>>& values,
                      const std::vector<TamSelOptionSet::HowSet>* how) {
  OutputJson list = OutputJson::array();
  for (std::size_t i = 0; i < values.size(); ++i) {
    OutputJson value = OutputJson::object();
    value["value"] = valueJson(values[i]);
    value["type"] = TamValue::typeName(values[i]->type());
    if (how != nullptr) value["how"] = i < how->size() ? howSetName((*how)[i]) : nullptr;
    list.push_back(value);
  }
  return list;
}

OutputJson nodesJson(const std::vector<NodeReport>& nodes) {
  OutputJson list = OutputJson::array();
  for (const NodeReport& node : nodes) {
    OutputJson item = OutputJson::object();
    item["path"] = node.path;
    item["id"] = node.id;
    item["module"] = node.module.empty() ? OutputJson(nullptr) : OutputJson(node.module);
    item["state"] = node.state;
    item["forced"] = node.forced == nullptr ? OutputJson(nullptr) : OutputJson(node.forced);
    OutputJson options = OutputJson::array();
    for (const OptionReport& option : node.options) {
      OutputJson entry = OutputJson::object();
      entry["option"] = option.option;
      entry["values"] = valuesJson(option.values, &option.how);
      options.push_back(entry);
    }
    item["options"] = options;
    list.push_back(item);
  }
  return list;
}

OutputJson messagesJson(const std::vector<EmittedMessage>& messages) {
  OutputJson list = OutputJson::array();
  for (const EmittedMessage& message : messages) {
    OutputJson item = OutputJson::object();
    item["severity"] = severityName(message.severity);
    item["node"] = message.nodePath;
    item["module"] = message.moduleId;
    item["file"] = message.file.empty() ? OutputJson(nullptr) : OutputJson(message.file);
    item["line"] = message.line > 0 ? OutputJson(message.line) : OutputJson(nullptr);
    item["text"] = message.text;
    list.push_back(item);
  }
  return list;
}
