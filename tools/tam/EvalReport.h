// An EvalReport is what one evaluation of a session's tree gave: every node's state and the values
// selected at it with how each was set, the messages of the rules, the legacy values the host
// keeps, and the counts of both. `tam eval` prints it; `tam sweep` and the Python module read it.
// It copies what it reports (value handles are shared), so it stays valid when the session
// evaluates again.
#ifndef TAM_TOOL_EVALREPORT_H
#define TAM_TOOL_EVALREPORT_H

#include <tam/libtam.h>

#include <map>
#include <string>
#include <vector>

#include "FileAdapter.h"
#include "ValueText.h"

class Product;
class ProductNode;
class Session;

// Node states as reports name them.
extern const char* const kStateConfigured;
extern const char* const kStateNotConfigured;
extern const char* const kStateUndecided;

// "inform", "warn", "error".
const char* severityName(Tam::MsgSeverity severity);

struct OptionReport {
  std::string option;  // module:option
  std::vector<ref_count_ptr<TamValue>> values;
  std::vector<TamSelOptionSet::HowSet> how;
  // Why each value is what it is (the rule or host choice that set it) belongs here once
  // evaluations can be observed; until then reports say how, not why.
};

struct NodeReport {
  std::string path;
  std::string id;
  std::string module;
  const char* state = kStateConfigured;
  const char* forced = nullptr;  // the state the product forces, or null
  std::vector<OptionReport> options;
};

struct EvalCounts {
  std::size_t configured = 0;
  std::size_t notConfigured = 0;
  std::size_t undecided = 0;
  std::size_t messages[3] = {0, 0, 0};  // by Tam::MsgSeverity
};

struct EvalReport {
  std::vector<NodeReport> nodes;  // depth first, in the product's order
  std::vector<EmittedMessage> messages;
  std::map<FileAdapter::LegacyKey, LegacyValue> legacy;
  EvalCounts counts;

  // The report of the session's last evaluation (window()->evaluate). Reading a node's set may
  // raise what rebinding it raises.
  static EvalReport of(Session& session);

  bool hasErrors() const { return counts.messages[Tam::MSG_ERROR] > 0; }
  // The document `tam eval --json` prints; keys in their documented order.
  OutputJson toJson(const Product& product) const;
};

// A node's state after the last evaluation: configured when its rules ran; undecided when they
// ran while its load-if had no value; not configured when it was stopped, or a node above it was.
const char* stateOf(ProductNode& node);

// JSON parts shared with other reports: values with their type (and how, when given), nodes,
// messages.
OutputJson valuesJson(const std::vector<ref_count_ptr<TamValue>>& values,
                      const std::vector<TamSelOptionSet::HowSet>* how);
OutputJson nodesJson(const std::vector<NodeReport>& nodes);
OutputJson messagesJson(const std::vector<EmittedMessage>& messages);

#endif  // TAM_TOOL_EVALREPORT_H
