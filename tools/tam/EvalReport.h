// What one evaluation of a product gave, node by node, as `tam eval` prints it and `tam serve`
// sends it: each node's state, the values selected at it with how each was set, and the JSON
// forms of nodes, values, messages, legacy values and the summary. A report is taken right after
// the evaluation and holds its own value handles, so it stays valid while the tree is evaluated
// again.
#ifndef TAM_TOOL_EVALREPORT_H
#define TAM_TOOL_EVALREPORT_H

#include <tam/libtam.h>

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "FileAdapter.h"
#include "JsonWriter.h"
#include "ProductNode.h"
#include "ValueText.h"

// A node is configured when its rules ran; undecided when they ran while its load-if had no
// value; not configured when it was stopped, or a node above it was; failed when the evaluation
// failed at it (in its load-if or its rules); not evaluated when a failure elsewhere ended the
// evaluation before it.
enum class NodeState { kConfigured, kNotConfigured, kUndecided, kFailed, kNotEvaluated };

// "configured", "not_configured", "undecided", "failed", "not_evaluated".
const char* stateName(NodeState state);
// The forced state's name, or null when the node's state is not forced.
const char* forcedName(TamNode::ConfigState state);
// "error", "warn", "inform".
const char* severityName(Tam::MsgSeverity severity);

struct OptionReport {
  std::string option;  // module:option
  std::vector<ref_count_ptr<TamValue>> values;
  std::vector<TamSelOptionSet::HowSet> how;
  ref_count_ptr<TamOption> declared;  // the option itself: its type, description, allowed values
};

struct NodeReport {
  std::string path;
  std::string id;
  std::string module;
  NodeState state = NodeState::kConfigured;
  const char* forced = nullptr;
  std::vector<OptionReport> options;  // only for configured and undecided nodes with a module
};

struct ReportCounts {
  std::size_t configured = 0;
  std::size_t notConfigured = 0;
  std::size_t undecided = 0;
  std::size_t failed = 0;
  std::size_t notEvaluated = 0;
  std::size_t errors = 0;
  std::size_t warnings = 0;
  std::size_t informs = 0;
};

// A node as a walk over the tree meets it: its state and, when the report shows values, the
// entries of its set read in place. The entries stay valid until getSos() is next called on any
// node of the tree: a view is used at once, and a NodeReport (reportOf) is what is kept.
struct NodeView {
  ProductNode* node = nullptr;
  NodeState state = NodeState::kConfigured;
  const char* forced = nullptr;
  const TamSelOptionSet::Contents* options = nullptr;  // null when the node shows none
};

// The state of a node after the last evaluation of its tree.
NodeState stateOf(const ProductNode& node);
// The node's state and, when its rules ran, the values selected at it.
NodeReport reportNode(ProductNode& node);
// A copy of what the view shows, which stays valid while the tree is evaluated again.
NodeReport reportOf(const NodeView& view);
// "module:option" of an entry's option.
std::string optionFullName(const TamSelOptionSet::TamSosEntry& entry);
// Every node of a tree (root first, parents before children), after an evaluation that may have
// failed part-way: a node whose evaluation was never reached is not evaluated, unless a node
// above it was stopped.
std::vector<NodeReport> reportNodes(const std::vector<ProductNode*>& nodes, bool failed);
// The same reports one node at a time, so that each can be written and dropped before the next
// is made: nodes must come in the order reportNodes() takes them (parents before children).
class NodeReporter {
 public:
  explicit NodeReporter(bool failed) : failed_(failed) {}
  NodeReport next(ProductNode& node) { return reportOf(view(node)); }
  // The same without copying the entries.
  NodeView view(ProductNode& node);

 private:
  bool failed_;
  std::unordered_map<const ProductNode*, NodeState> states_;
};
ReportCounts countReport(const std::vector<NodeReport>& nodes,
                         const std::vector<EmittedMessage>& messages);
// The parts of countReport(): one node's state, and the messages.
void countNode(NodeState state, ReportCounts& counts);
void countMessages(const std::vector<EmittedMessage>& messages, ReportCounts& counts);

// The origin of each value of each option of a node, in JSON form (tam eval --explain): one list
// per option, one origin per value.
using NodeOriginsJson = std::vector<std::vector<OutputJson>>;

// [{"value", "type", "how", "origin"}]; without "how" when `how` is null, without "origin" when
// `origins` is null or has none for the value.
void writeValues(JsonWriter& out, const std::vector<ref_count_ptr<TamValue>>& values,
                 const std::vector<TamSelOptionSet::HowSet>* how,
                 const std::vector<OutputJson>* origins);
OutputJson valuesJson(const std::vector<ref_count_ptr<TamValue>>& values,
                      const std::vector<TamSelOptionSet::HowSet>* how);
// [{"option", "type", "description", "mandatory", "allowed", "constraints", "values"}] of one
// node: each option with its declared type, description and allowed values (in words, and as
// constraints {"kind", "value"} or {"kind": "range", "min", "max"}).
void writeOptions(JsonWriter& out, const std::vector<OptionReport>& options,
                  const NodeOriginsJson* origins);
OutputJson optionsJson(const std::vector<OptionReport>& options);
// {"path", "id", "module", "state", "forced", "options"}, with each value's origin when
// `origins` is not null.
void writeNode(JsonWriter& out, const NodeReport& node, const NodeOriginsJson* origins);
// The same item for a view, read in place.
void writeNode(JsonWriter& out, const NodeView& node, const NodeOriginsJson* origins);
OutputJson nodeJson(const NodeReport& node);
// [{"severity", "node", "module", "file", "line", "text"}].
OutputJson messagesJson(const std::vector<EmittedMessage>& messages);
// [{"option", "values", "changed"}].
OutputJson legacyJson(const std::map<FileAdapter::LegacyKey, LegacyValue>& legacy);
// {"nodes", "configured", "not_configured", "undecided", "failed", "not_evaluated", "errors",
// "warnings", "informs"}.
OutputJson summaryJson(std::size_t nodes, const ReportCounts& counts);

#endif  // TAM_TOOL_EVALREPORT_H
