#include "EvalReport.h"

const char* stateName(NodeState state) {
  switch (state) {
    case NodeState::kConfigured:
      return "configured";
    case NodeState::kNotConfigured:
      return "not_configured";
    case NodeState::kUndecided:
      break;
  }
  return "undecided";
}

const char* forcedName(TamNode::ConfigState state) {
  switch (state) {
    case TamNode::CS_CONFIGURED:
      return stateName(NodeState::kConfigured);
    case TamNode::CS_NOT_CONFIGURED:
      return stateName(NodeState::kNotConfigured);
    case TamNode::CS_UNDECIDED:
      break;
  }
  return nullptr;
}

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

NodeState stateOf(const ProductNode& node) {
  if (!node.wasEvaluated()) return NodeState::kNotConfigured;
  if (node.forcedState() != TamNode::CS_CONFIGURED && !node.loadIfText().empty() &&
      node.isNodeConfigured() == TamNode::CS_UNDECIDED) {
    return NodeState::kUndecided;
  }
  return NodeState::kConfigured;
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

ReportCounts countReport(const std::vector<NodeReport>& nodes,
                         const std::vector<EmittedMessage>& messages) {
  ReportCounts counts;
  for (const NodeReport& node : nodes) {
    switch (node.state) {
      case NodeState::kConfigured:
        ++counts.configured;
        break;
      case NodeState::kNotConfigured:
        ++counts.notConfigured;
        break;
      case NodeState::kUndecided:
        ++counts.undecided;
        break;
    }
  }
  for (const EmittedMessage& message : messages) {
    switch (message.severity) {
      case Tam::MSG_ERROR:
        ++counts.errors;
        break;
      case Tam::MSG_WARN:
        ++counts.warnings;
        break;
      case Tam::MSG_INFORM:
        ++counts.informs;
        break;
    }
  }
  return counts;
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

OutputJson optionsJson(const std::vector<OptionReport>& options) {
  OutputJson list = OutputJson::array();
  for (const OptionReport& option : options) {
    OutputJson entry = OutputJson::object();
    entry["option"] = option.option;
    entry["values"] = valuesJson(option.values, &option.how);
    list.push_back(entry);
  }
  return list;
}

OutputJson nodeJson(const NodeReport& node) {
  OutputJson item = OutputJson::object();
  item["path"] = node.path;
  item["id"] = node.id;
  item["module"] = node.module.empty() ? OutputJson(nullptr) : OutputJson(node.module);
  item["state"] = stateName(node.state);
  item["forced"] = node.forced == nullptr ? OutputJson(nullptr) : OutputJson(node.forced);
  item["options"] = optionsJson(node.options);
  return item;
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

OutputJson summaryJson(std::size_t nodes, const ReportCounts& counts) {
  OutputJson summary = OutputJson::object();
  summary["nodes"] = nodes;
  summary["configured"] = counts.configured;
  summary["not_configured"] = counts.notConfigured;
  summary["undecided"] = counts.undecided;
  summary["errors"] = counts.errors;
  summary["warnings"] = counts.warnings;
  summary["informs"] = counts.informs;
  return summary;
}
