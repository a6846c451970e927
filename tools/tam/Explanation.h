// Explanations of one evaluation of a product, for people and for programs: why an option has its
// values at a node (the steps that led there, each placed in the module or product file), why a
// node has its state (its load-if and the values it read, a forced state, or the node above that
// stopped it), and where each value of the evaluation came from.
//
// An Explainer reads a Session whose record kept its history: turn it on with
// session.record().setHistory(true) before session.evaluate(). The explanations are plain data;
// ExplanationOutput.h prints them as text and as JSON, for `tam explain`, `tam eval --explain`
// and any other front end that wants to show them.
#ifndef TAM_TOOL_EXPLANATION_H
#define TAM_TOOL_EXPLANATION_H

#include <tam/libtam.h>

#include <map>
#include <string>
#include <vector>

#include "ModuleDeclarations.h"
#include "ModuleFile.h"
#include "Provenance.h"
#include "Session.h"

// Where something is written: a file, its line and column, or what stands for a place that is no
// file (a host value given on the command line: "--set NODE:module:option=VALUE").
struct OriginPlace {
  std::string file;        // empty when the place is no file
  int line = 0;            // 0 when unknown
  int column = 0;          // 0 when the line as a whole is meant
  std::string sourceLine;  // the file's line, shown with a caret under `column`
  std::string argument;    // the command-line argument, when the place is one

  bool isKnown() const { return !file.empty() || !argument.empty(); }
  // "file:line:column", "file:line", the argument, or empty.
  std::string text() const;
};

// One step of the way to an option's values at a node.
struct ExplainedStep {
  std::string node;  // the path of the node at whose evaluation it happened
  // "default", "set", "fix", "host", "presented", "inherited" or "path" (an entry written for a
  // path came to apply to the node).
  std::string kind;
  // For stores: "stored", "replaced", "added", "unchanged", "refused" or "legacy"; empty for the
  // other kinds.
  std::string outcome;
  std::string path;  // the path the values were written for; empty for the node itself
  TamSelOptionSet::TamSosEntry values;  // what was stored, the default, or the entry applying now
  TamSelOptionSet::TamSosEntry before;  // the entry before a store that found one (option null
                                        // otherwise)
  TamSelOptionSet::TamSosEntry after;   // the entry after a store (option null for legacy)
  std::string from;      // presented: the presenting option; inherited: the option taken from
  std::string fromNode;  // inherited: the node taken from
  std::string text;      // what happened, in words
  OriginPlace place;     // the statement, declaration or host value; unknown for "path"
};

// Where one value came from.
struct ValueOrigin {
  // "statement" (a set or fix rule), "declaration" (a default), "host_value", "inherited", or
  // "unknown".
  std::string kind = "unknown";
  std::string node;    // where it was set; for "inherited" the node it was taken from
  std::string option;  // "inherited": the option taken from
  OriginPlace place;
};

struct OptionExplanation {
  std::string node;       // the node's path
  std::string option;     // module:option
  std::string nodeState;  // "configured", "not_configured" or "undecided"
  bool hasEntry = false;  // the node's set holds the option (its rules ran and it was there)
  TamSelOptionSet::TamSosEntry entry;
  std::vector<ValueOrigin> origins;  // one per value of entry
  std::vector<ExplainedStep> history;
  std::string note;  // why there is no entry, when there is none
};

// One option of a node's set with where its values came from.
struct ExplainedOption {
  std::string option;
  TamSelOptionSet::TamSosEntry entry;
  std::vector<ValueOrigin> origins;
};

struct NodeExplanation {
  std::string node;
  std::string module;     // empty: the node has no module
  std::string state;      // "configured", "not_configured" or "undecided"
  std::string forced;     // "configured", "not_configured", or empty when not forced
  OriginPlace forcedPlace;
  bool hasLoadIf = false;
  std::string loadIf;
  OriginPlace loadIfPlace;
  bool judged = false;    // the load-if was judged (the node's evaluation started)
  std::string loadIfResult;  // "true", "false" or "undecided"
  std::vector<TamObserver::Read> reads;
  std::string stoppedBy;  // the path of the node above that was stopped; empty otherwise
  std::string reason;     // the state in words
  std::vector<ExplainedOption> options;  // nodes whose rules ran, with a module
};

class Explainer {
 public:
  explicit Explainer(Session& session);

  OptionExplanation explainOption(ProductNode& node, const ref_count_ptr<TamOption>& option);
  NodeExplanation explainNode(ProductNode& node);
  // Where each value of the entry (as the node's set holds it) came from.
  std::vector<ValueOrigin> originsOf(ProductNode& node, const TamSelOptionSet::TamSosEntry& entry);

 private:
  // `subject`: the option explained; steps of other options name theirs.
  ExplainedStep explainStep(const Provenance::Step& step, const TamOption* subject);
  ValueOrigin originOf(const Provenance::Step* step);
  std::string describe(const Provenance::Step& step, const ExplainedStep& explained,
                       const TamOption* subject) const;

  std::string pathOf(const TamNode* node) const;
  OriginPlace statementPlace(const TamObserver::Statement& statement) const;
  OriginPlace declarationPlace(const std::string& moduleId, const std::string& name,
                               bool atDefault, bool atBase);
  OriginPlace defaultPlace(const ref_count_ptr<TamOption>& option);
  OriginPlace hostValuePlace(const TamNode* node, const ref_count_ptr<TamOption>& option) const;
  OriginPlace productPlace(const std::string& pointer) const;

  Session& session_;
  Provenance provenance_;
  // Each module file's declarations, read on first use, by module id.
  const ModuleDeclarations& declarationsOf(const std::string& moduleId);
  std::map<std::string, ModuleDeclarations> declarations_;
};

#endif  // TAM_TOOL_EXPLANATION_H
