// What an evaluation of a product shows, whatever became of it, and the JSON document tam eval
// --json prints for it; shared by the command and the Python module, so that both give the same
// document. The keys come in the order docs/product-format.md documents (schema:
// docs/schema/tam-eval.schema.json).
#ifndef TAM_TOOL_EVALDOCUMENT_H
#define TAM_TOOL_EVALDOCUMENT_H

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Diagnostics.h"
#include "EvalReport.h"
#include "Explanation.h"
#include "JsonWriter.h"
#include "ValueText.h"
#include "Session.h"

constexpr int kEvalFormatVersion = 1;

// Where each value of each option of a node came from, in the node report's order: one list per
// option, one origin per value.
using NodeOrigins = std::vector<std::vector<ValueOrigin>>;

// Whole in itself: it holds its own copies and value handles, so it stays valid, and its document
// can be written, while the session evaluates again. The options' declarations are read from the
// session's window, which must outlive the outcome.
struct EvalOutcome {
  std::string product;  // the product's name, empty when it has none
  std::string file;     // the product file
  std::string variantsMode;
  std::vector<NodeReport> nodes;
  std::vector<NodeOrigins> origins;  // when explained, one per node (empty for a node not run)
  ReportCounts counts;
  bool failed = false;
  Diagnostic failure;                // when failed: the error at its place
  std::vector<Diagnostic> problems;  // errors found after the evaluation
  std::vector<EmittedMessage> messages;
  std::map<FileAdapter::LegacyKey, LegacyValue> legacy;
};

// Evaluates the session's tree; a failure part-way is kept in the outcome, placed in its file.
EvalOutcome evaluateProduct(Session& session, bool explain);
// Evaluates the session's tree, keeping each value's history when explained; the failure part-way,
// placed in its file, or nothing.
std::optional<Diagnostic> evaluateSession(Session& session, bool explain);

// What outcomeOf() gathers for every node, handed over one node at a time (root first, parents
// before children) so that a caller can write it and let it go: the node's view (its entries
// read in place, valid during the call) and, when explained, its origins (null otherwise). The nodes' states are counted into `counts`, and
// mandatory options without a value are added to `mandatory`.
using NodeSink = std::function<void(const NodeView& view, NodeOrigins* origins)>;
void walkNodes(Session& session, bool explain, bool failed, ReportCounts& counts,
               std::vector<Diagnostic>& mandatory, const NodeSink& sink);
// The problems found after the evaluation, as outcomeOf() orders them: the scope problems (see
// outcomeOf) and then `mandatory`.
std::vector<Diagnostic> problemsAfter(Session& session, const std::vector<Diagnostic>* scopes,
                                      std::vector<Diagnostic> mandatory);

// References to options that do not exist and options used where they are not visible, as tam
// validate finds them: they depend on the product's tree and modules, not on its values. The
// check leaves the session's window fit only for validation, so a session evaluated again and
// again has them found once, on a session of their own.
std::vector<Diagnostic> scopeProblems(Session& session);

// The outcome of the evaluation the session just ran (or that failed, as `failure` says): the
// node reports, counts, origins when explained, and the problems found after it: the scope
// problems (`scopes`, or found on this session when null, which it then must not evaluate
// again), and mandatory options without a value at a node whose rules ran. No scope problems
// when a module file failed to load: that failure is the one to report.
EvalOutcome outcomeOf(Session& session, bool explain, const Diagnostic* failure,
                      const std::vector<Diagnostic>* scopes = nullptr);

// Warnings were reported and --werror makes them errors.
bool warnedWithWerror(const ReportCounts& counts);

// "ok", "errors" (a rule's error message, a problem, or warnings under --werror) or "failed".
const char* evalStatus(const EvalOutcome& outcome);

// The document of an evaluation that could not start (a product that cannot be read, a command
// line that cannot be used): format, status "failed" and the error.
OutputJson evalFailureDocument(const Diagnostic& error);

// The whole document for an outcome.
OutputJson evalDocument(const EvalOutcome& outcome);
// The same document written call by call: as text (JsonTextWriter), no whole document is ever
// held, and no node's item is built as an object.
void writeEvalDocument(const EvalOutcome& outcome, JsonWriter& out);
// Evaluates the session's tree and writes the document evaluateProduct() and writeEvalDocument()
// would give, each node as soon as it is reached: no node's report is kept. The problems found
// after the evaluation are looked for before the nodes are written (the status, which comes
// first, depends on them), so the session must not be evaluated again. Returns the status.
const char* writeEvaluation(Session& session, bool explain, JsonWriter& out);

#endif  // TAM_TOOL_EVALDOCUMENT_H
