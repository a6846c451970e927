#include "EvalReport.h"

#include <utility>

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

namespace {

// The node's own part of a report, without its options.
NodeReport reportHead(ProductNode& node, NodeState state, const char* forced) {
  NodeReport report;
  report.path = node.path();
  report.id = node.id();
  report.module = node.module();
  report.state = state;
  report.forced = forced;
  return report;
}

void copyOptions(const TamSelOptionSet::Contents& contents, NodeReport& report) {
  report.options.reserve(contents.size());
  for (const auto& item : contents) {
    const TamSelOptionSet::TamSosEntry& entry = item.second;
    report.options.push_back({optionFullName(entry), entry.values, entry.howSet, entry.option});
  }
}

}  // namespace

std::string optionFullName(const TamSelOptionSet::TamSosEntry& entry) {
  return entry.option->moduleId() + ":" + entry.option->name();
}

NodeReport reportNode(ProductNode& node) {
  NodeReport report = reportHead(node, stateOf(node), forcedName(node.forcedState()));
  if (node.wasEvaluated() && node.hasModule()) copyOptions(node.getSos().contents(), report);
  return report;
}

NodeReport reportOf(const NodeView& view) {
  NodeReport report = reportHead(*view.node, view.state, view.forced);
  if (view.options != nullptr) copyOptions(*view.options, report);
  return report;
}

std::vector<NodeReport> reportNodes(const std::vector<ProductNode*>& nodes, bool failed) {
  std::vector<NodeReport> reports;
  reports.reserve(nodes.size());
  NodeReporter reporter(failed);
  for (ProductNode* node : nodes) reports.push_back(reporter.next(*node));
  return reports;
}

NodeView NodeReporter::view(ProductNode& node) {
  NodeState state = stateOf(node);
  if (node.hasFailed()) {
    state = NodeState::kFailed;
  } else if (failed_ && !node.wasVisited()) {
    // Below a node that ran, failed or was never reached, the failure ended the walk.
    const auto parent = states_.find(node.parentNode());
    if (parent == states_.end() || parent->second != NodeState::kNotConfigured) {
      state = NodeState::kNotEvaluated;
    }
  }
  states_[&node] = state;
  NodeView view;
  view.node = &node;
  view.state = state;
  view.forced = forcedName(node.forcedState());
  // The set is bound whenever the rules ran, as before any report; but what a failed node holds
  // is left from before, and a node not evaluated holds nothing new.
  if (node.wasEvaluated() && node.hasModule()) {
    const TamSelOptionSet::Contents& contents = node.getSos().contents();
    if (state != NodeState::kFailed && state != NodeState::kNotEvaluated) view.options = &contents;
  }
  return view;
}

ReportCounts countReport(const std::vector<NodeReport>& nodes,
                         const std::vector<EmittedMessage>& messages) {
  ReportCounts counts;
  for (const NodeReport& node : nodes) countNode(node.state, counts);
  countMessages(messages, counts);
  return counts;
}

void countNode(NodeState state, ReportCounts& counts) {
  switch (state) {
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

void countMessages(const std::vector<EmittedMessage>& messages, ReportCounts& counts) {
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
}

void writeValues(JsonWriter& out, const std::vector<ref_count_ptr<TamValue>>& values,
                 const std::vector<TamSelOptionSet::HowSet>* how,
                 const std::vector<OutputJson>* origins) {
  out.beginArray();
  for (std::size_t i = 0; i < values.size(); ++i) {
    out.beginObject();
    out.key("value");
    writeValueJson(out, values[i]);
    out.key("type");
    out.string(TamValue::typeName(values[i]->type()));
    if (how != nullptr) {
      out.key("how");
      out.stringOrNull(i < how->size() ? howSetName((*how)[i]) : nullptr);
    }
    if (origins != nullptr && i < origins->size()) {
      out.key("origin");
      out.value((*origins)[i]);
    }
    out.end();
  }
  out.end();
}

OutputJson valuesJson(const std::vector<ref_count_ptr<TamValue>>& values,
                      const std::vector<TamSelOptionSet::HowSet>* how) {
  JsonBuilder built;
  writeValues(built, values, how, nullptr);
  return built.take();
}

namespace {

// One allowed-value constraint: {"kind": "value" | "below" | "at_most" | "above" | "at_least" |
// "range" | "any", and "value", or "min" and "max"}.
void writeConstraint(JsonWriter& out, const ref_count_ptr<TamOptionValue>& constraint) {
  struct Bound {
    TamOptionValue::Kind kind;
    const char* name;
  };
  static const Bound kBounds[] = {{TamOptionValue::KIND_ENUM, "value"},
                                  {TamOptionValue::KIND_MAX, "below"},
                                  {TamOptionValue::KIND_MAX_INC, "at_most"},
                                  {TamOptionValue::KIND_MIN, "above"},
                                  {TamOptionValue::KIND_MIN_INC, "at_least"}};
  out.beginObject();
  out.key("kind");
  for (const Bound& bound : kBounds) {
    if (constraint->kind() != bound.kind) continue;
    out.string(bound.name);
    out.key("value");
    writeValueJson(out, constraint->value());
    out.end();
    return;
  }
  if (constraint->kind() == TamOptionValue::KIND_RANGE) {
    const TamOptionValue::Range range = constraint->range();
    out.string("range");
    out.key("min");
    writeValueJson(out, range.first->value());
    out.key("max");
    writeValueJson(out, range.second->value());
  } else {
    out.string("any");
  }
  out.end();
}

// What the option's declaration gives: its type, allowed values in words and as constraints.
// A base that cannot be followed leaves what it could not read null, and no constraints: the
// option's values are still shown.
struct Declared {
  std::string type;  // empty when not read, written as null
  std::string allowed;
  bool hasAllowed = false;
  // The option's own list, which it keeps while it is written; none when not read.
  const std::vector<ref_count_ptr<TamOptionValue>>* constraints = nullptr;
};

Declared declaredOf(const ref_count_ptr<TamOption>& option) {
  Declared declared;
  if (!option) return declared;
  try {
    declared.type = typeWord(option->valueType());
    declared.allowed = describeConstraints(option);
    declared.hasAllowed = true;
    declared.constraints = &option->values();
  } catch (const TamException&) {
    declared.constraints = nullptr;
  }
  return declared;
}

// One item of an option list: the option, what its declaration gives, and its values.
void writeOption(JsonWriter& out, std::string_view name, const ref_count_ptr<TamOption>& option,
                 const std::vector<ref_count_ptr<TamValue>>& values,
                 const std::vector<TamSelOptionSet::HowSet>& how,
                 const std::vector<OutputJson>* origins) {
  const Declared declared = declaredOf(option);
  out.beginObject();
  out.key("option");
  out.string(name);
  out.key("type");
  if (declared.type.empty()) {
    out.null();
  } else {
    out.string(declared.type);
  }
  out.key("description");
  out.string(option ? std::string_view(option->description()) : std::string_view());
  out.key("mandatory");
  out.boolean(option && option->mandatory());
  out.key("allowed");
  if (declared.hasAllowed) {
    out.string(declared.allowed);
  } else {
    out.null();
  }
  out.key("constraints");
  out.beginArray();
  if (declared.constraints != nullptr) {
    for (const ref_count_ptr<TamOptionValue>& constraint : *declared.constraints) {
      writeConstraint(out, constraint);
    }
  }
  out.end();
  out.key("values");
  writeValues(out, values, &how, origins);
  out.end();
}

// The origins of option k, when there are any.
const std::vector<OutputJson>* originsAt(const NodeOriginsJson* origins, std::size_t k) {
  return origins != nullptr && k < origins->size() ? &(*origins)[k] : nullptr;
}

}  // namespace

void writeOptions(JsonWriter& out, const std::vector<OptionReport>& options,
                  const NodeOriginsJson* origins) {
  out.beginArray();
  for (std::size_t k = 0; k < options.size(); ++k) {
    const OptionReport& option = options[k];
    writeOption(out, option.option, option.declared, option.values, option.how,
                originsAt(origins, k));
  }
  out.end();
}

OutputJson optionsJson(const std::vector<OptionReport>& options) {
  JsonBuilder built;
  writeOptions(built, options, nullptr);
  return built.take();
}

namespace {

// A node item up to its option list, which the caller writes and closes.
void writeNodeHead(JsonWriter& out, const std::string& path, const std::string& id,
                   const std::string& module, NodeState state, const char* forced) {
  out.beginObject();
  out.key("path");
  out.string(path);
  out.key("id");
  out.string(id);
  out.key("module");
  out.stringOrNull(module.empty() ? nullptr : module.c_str());
  out.key("state");
  out.string(stateName(state));
  out.key("forced");
  out.stringOrNull(forced);
  out.key("options");
}

}  // namespace

void writeNode(JsonWriter& out, const NodeReport& node, const NodeOriginsJson* origins) {
  writeNodeHead(out, node.path, node.id, node.module, node.state, node.forced);
  writeOptions(out, node.options, origins);
  out.end();
}

void writeNode(JsonWriter& out, const NodeView& node, const NodeOriginsJson* origins) {
  writeNodeHead(out, node.node->path(), node.node->id(), node.node->module(), node.state,
                node.forced);
  out.beginArray();
  if (node.options != nullptr) {
    std::size_t k = 0;
    std::string name;
    for (const auto& item : *node.options) {
      const TamSelOptionSet::TamSosEntry& entry = item.second;
      name = entry.option->moduleId();
      name += ':';
      name += entry.option->name();
      writeOption(out, name, entry.option, entry.values, entry.howSet, originsAt(origins, k++));
    }
  }
  out.end();
  out.end();
}

OutputJson nodeJson(const NodeReport& node) {
  JsonBuilder built;
  writeNode(built, node, nullptr);
  return built.take();
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
