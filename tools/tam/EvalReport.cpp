#include "EvalReport.h"

const char* stateName(NodeState state) {
  switch (state) {
    case NodeState::kConfigured:
      return "configured";
    case NodeState::kNotConfigured:
      return "not_configured";
    case NodeState::kFailed:
      return "failed";
    case NodeState::kNotEvaluated:
      return "not_evaluated";
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
      report.options.push_back({entry.option->moduleId() + ":" + entry.option->name(),
                                entry.values, entry.howSet, entry.option});
    }
  }
  return report;
}

std::vector<NodeReport> reportNodes(const std::vector<ProductNode*>& nodes, bool failed) {
  std::vector<NodeReport> reports;
  std::map<const ProductNode*, NodeState> states;
  for (ProductNode* node : nodes) {
    NodeState state = stateOf(*node);
    if (node->hasFailed()) {
      state = NodeState::kFailed;
    } else if (failed && !node->wasVisited()) {
      // Below a node that ran, failed or was never reached, the failure ended the walk.
      const auto parent = states.find(node->parentNode());
      if (parent == states.end() || parent->second != NodeState::kNotConfigured) {
        state = NodeState::kNotEvaluated;
      }
    }
    states[node] = state;
    NodeReport report = reportNode(*node);
    report.state = state;
    // What a failed node holds is left from before; a node not evaluated holds nothing new.
    if (state == NodeState::kFailed || state == NodeState::kNotEvaluated) report.options.clear();
    reports.push_back(report);
  }
  return reports;
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
      case NodeState::kFailed:
        ++counts.failed;
        break;
      case NodeState::kNotEvaluated:
        ++counts.notEvaluated;
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

namespace {

// One allowed-value constraint: {"kind": "value" | "below" | "at_most" | "above" | "at_least" |
// "range" | "any", and "value", or "min" and "max"}.
OutputJson constraintJson(const ref_count_ptr<TamOptionValue>& constraint) {
  struct Bound {
    TamOptionValue::Kind kind;
    const char* name;
  };
  static const Bound kBounds[] = {{TamOptionValue::KIND_ENUM, "value"},
                                  {TamOptionValue::KIND_MAX, "below"},
                                  {TamOptionValue::KIND_MAX_INC, "at_most"},
                                  {TamOptionValue::KIND_MIN, "above"},
                                  {TamOptionValue::KIND_MIN_INC, "at_least"}};
  OutputJson item = OutputJson::object();
  for (const Bound& bound : kBounds) {
    if (constraint->kind() != bound.kind) continue;
    item["kind"] = bound.name;
    item["value"] = valueJson(constraint->value());
    return item;
  }
  if (constraint->kind() == TamOptionValue::KIND_RANGE) {
    const TamOptionValue::Range range = constraint->range();
    item["kind"] = "range";
    item["min"] = valueJson(range.first->value());
    item["max"] = valueJson(range.second->value());
    return item;
  }
  item["kind"] = "any";
  return item;
}

}  // namespace

OutputJson optionsJson(const std::vector<OptionReport>& options) {
  OutputJson list = OutputJson::array();
  for (const OptionReport& option : options) {
    OutputJson entry = OutputJson::object();
    entry["option"] = option.option;
    OutputJson type = nullptr;
    OutputJson allowed = nullptr;
    OutputJson constraints = OutputJson::array();
    if (option.declared) {
      try {
        type = typeWord(option.declared->valueType());
        allowed = describeConstraints(option.declared);
        for (const ref_count_ptr<TamOptionValue>& constraint : option.declared->values()) {
          constraints.push_back(constraintJson(constraint));
        }
      } catch (const TamException&) {
        // A base that cannot be followed: the option's values are still shown.
        constraints = OutputJson::array();
      }
    }
    entry["type"] = type;
    entry["description"] = option.declared ? option.declared->description() : std::string();
    entry["mandatory"] = option.declared && option.declared->mandatory();
    entry["allowed"] = allowed;
    entry["constraints"] = constraints;
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
  summary["failed"] = counts.failed;
  summary["not_evaluated"] = counts.notEvaluated;
  summary["errors"] = counts.errors;
  summary["warnings"] = counts.warnings;
  summary["informs"] = counts.informs;
  return summary;
}
