#include "EvalDocument.h"

#include <exception>
#include <iterator>
#include <utility>

#include "DiagnosticJson.h"
#include "ExplanationOutput.h"
#include "RuleChecker.h"
#include "ScopeFindings.h"

namespace {

NodeOrigins originsOf(Explainer& explainer, ProductNode& node) {
  NodeOrigins origins;
  if (!node.wasEvaluated() || !node.hasModule()) return origins;
  for (const auto& item : node.getSos().contents()) {
    origins.push_back(explainer.originsOf(node, item.second));
  }
  return origins;
}

// A mandatory option without a value at a node whose rules ran: at the node in the product file,
// where a value would be given, with a note at the declaration.
bool lacksValue(const TamSelOptionSet::TamSosEntry& entry) {
  return entry.option && entry.option->mandatory() && !entry.values.empty() &&
         entry.values.front()->type() == TamValue::VT_UNSET;
}

void checkMandatory(Session& session, const NodeView& view, std::vector<Diagnostic>& out) {
  if (view.options == nullptr) return;
  for (const auto& item : *view.options) {
    const TamSelOptionSet::TamSosEntry& entry = item.second;
    if (!lacksValue(entry)) continue;
    const std::string name = optionFullName(entry);
    Diagnostic diagnostic = Diagnostic::error(
        session.product().place(JsonDocument::member(view.node->source(), "id")),
        "mandatory option " + quote(name) + " has no value at node " + quote(view.node->path()));
    noteDeclaration(session.adapter(), entry.option, quote(name) + " is declared mandatory here",
                    diagnostic);
    out.push_back(diagnostic);
  }
}

// The first two members of every eval document: its format and the status.
OutputJson evalDocumentStart(const char* status) {
  OutputJson document = OutputJson::object();
  document["format"] = formatJson("tam-eval", kEvalFormatVersion);
  document["status"] = status;
  return document;
}

}  // namespace

EvalOutcome evaluateProduct(Session& session, bool explain) {
  const std::optional<Diagnostic> failure = evaluateSession(session, explain);
  return outcomeOf(session, explain, failure ? &*failure : nullptr);
}

std::optional<Diagnostic> evaluateSession(Session& session, bool explain) {
  session.record().setHistory(explain);
  try {
    session.evaluate();
  } catch (const TamException& e) {
    return session.describeFailure(e);
  }
  return std::nullopt;
}

void walkNodes(Session& session, bool explain, bool failed, ReportCounts& counts,
               std::vector<Diagnostic>& mandatory, const NodeSink& sink) {
  NodeReporter reporter(failed);
  std::optional<Explainer> explainer;
  if (explain) explainer.emplace(session);
  for (ProductNode* node : session.nodes()) {
    NodeView view = reporter.view(*node);
    countNode(view.state, counts);
    NodeOrigins origins;
    // A node whose rules did not run has no origins. Finding them binds the node's set again,
    // which may rebuild its entries: the view reads them anew.
    if (explain && view.options != nullptr && !view.options->empty()) {
      origins = originsOf(*explainer, *node);
      view.options = &node->getSos().contents();
    }
    checkMandatory(session, view, mandatory);
    sink(view, explain ? &origins : nullptr);
  }
}

std::vector<Diagnostic> problemsAfter(Session& session, const std::vector<Diagnostic>* scopes,
                                      std::vector<Diagnostic> mandatory) {
  std::vector<Diagnostic> problems;
  if (session.adapter().failedLoads().empty()) {
    problems = scopes != nullptr ? *scopes : scopeProblems(session);
  }
  problems.insert(problems.end(), std::make_move_iterator(mandatory.begin()),
                  std::make_move_iterator(mandatory.end()));
  return problems;
}

std::vector<Diagnostic> scopeProblems(Session& session) {
  ScopeCheck scopes = checkScopes(session.root(), session.nodes(), session.product(),
                                  session.adapter(), session.window());
  std::vector<Diagnostic> problems = std::move(scopes.unresolved);
  problems.insert(problems.end(), scopes.findings.begin(), scopes.findings.end());
  return problems;
}

EvalOutcome outcomeOf(Session& session, bool explain, const Diagnostic* failure,
                      const std::vector<Diagnostic>* scopes) {
  EvalOutcome outcome;
  const Product& product = session.product();
  outcome.product = product.name();
  outcome.file = product.path();
  outcome.variantsMode = product.variantsModeName();
  outcome.messages = session.adapter().messages();
  outcome.legacy = session.adapter().legacyValues();
  if (failure != nullptr) {
    outcome.failed = true;
    outcome.failure = *failure;
  }
  std::vector<Diagnostic> mandatory;
  walkNodes(session, explain, outcome.failed, outcome.counts, mandatory,
            [&outcome](const NodeView& view, NodeOrigins* origins) {
              outcome.nodes.push_back(reportOf(view));
              if (origins != nullptr) outcome.origins.push_back(std::move(*origins));
            });
  countMessages(session.adapter().messages(), outcome.counts);
  outcome.problems = problemsAfter(session, scopes, std::move(mandatory));
  return outcome;
}

bool warnedWithWerror(const ReportCounts& counts) {
  return diagnosticOptions().warningsAsErrors && counts.warnings > 0;
}

const char* evalStatus(const EvalOutcome& outcome) {
  if (outcome.failed) return "failed";
  const bool errors = outcome.counts.errors > 0 || !outcome.problems.empty() ||
                      warnedWithWerror(outcome.counts);
  return errors ? "errors" : "ok";
}

OutputJson evalFailureDocument(const Diagnostic& error) {
  OutputJson document = evalDocumentStart("failed");
  document["error"] = diagnosticJson(error);
  return document;
}

// The keys are inserted in the documented order, which ordered_json keeps.
namespace {

// The origins of a node's values in JSON form.
NodeOriginsJson originsJson(const NodeOrigins& node) {
  NodeOriginsJson origins;
  for (const std::vector<ValueOrigin>& option : node) {
    origins.emplace_back();
    for (const ValueOrigin& origin : option) origins.back().push_back(originJson(origin));
  }
  return origins;
}

// Node n's item, with the origin of each value when the outcome has them.
void writeNodeItem(JsonWriter& out, const EvalOutcome& outcome, std::size_t n) {
  if (n >= outcome.origins.size()) {
    writeNode(out, outcome.nodes[n], nullptr);
    return;
  }
  const NodeOriginsJson origins = originsJson(outcome.origins[n]);
  writeNode(out, outcome.nodes[n], &origins);
}

// What the members after the node list are made of.
struct Closing {
  const std::vector<EmittedMessage>& messages;
  const std::map<FileAdapter::LegacyKey, LegacyValue>& legacy;
  const std::vector<Diagnostic>& problems;
  std::size_t nodes;
  const ReportCounts& counts;
  const Diagnostic* failure;  // null unless the evaluation failed
};

// The members after the node list, in order.
void writeClosingMembers(const Closing& closing, JsonWriter& out) {
  out.key("messages");
  out.value(messagesJson(closing.messages));
  out.key("legacy_options");
  out.value(legacyJson(closing.legacy));
  OutputJson problems = OutputJson::array();
  for (const Diagnostic& problem : closing.problems) problems.push_back(diagnosticJson(problem));
  out.key("problems");
  out.value(problems);
  out.key("summary");
  out.value(summaryJson(closing.nodes, closing.counts));
  if (closing.failure != nullptr) {
    out.key("error");
    out.value(diagnosticJson(*closing.failure));
  }
}

// The members before the node list.
void writeOpening(const char* status, const std::string& product, const std::string& file,
                  const std::string& variantsMode, JsonWriter& out) {
  const OutputJson start = evalDocumentStart(status);
  out.beginObject();
  for (const auto& member : start.items()) {
    out.key(member.key());
    out.value(member.value());
  }
  out.key("product");
  out.value(product.empty() ? OutputJson(nullptr) : OutputJson(product));
  out.key("file");
  out.string(file);
  out.key("variants_mode");
  out.string(variantsMode);
}

// Whether any module the window holds declares a mandatory option: without one, no node can
// miss a mandatory value.
bool declaresMandatory(const TamWindow& window) {
  for (const auto& entry : window.moduleMap()) {
    if (!entry.second) continue;
    for (const ref_count_ptr<TamOption>& option : *entry.second->optionList()) {
      if (option->mandatory()) return true;
    }
  }
  return false;
}

// Whether a node whose rules ran misses a mandatory value, after an evaluation that did not
// fail; walked as walkNodes() walks.
bool missesMandatory(Session& session) {
  if (!declaresMandatory(*session.window())) return false;
  NodeReporter reporter(false);
  std::vector<Diagnostic> found;
  for (ProductNode* node : session.nodes()) {
    checkMandatory(session, reporter.view(*node), found);
    if (!found.empty()) return true;
  }
  return false;
}

}  // namespace

OutputJson evalDocument(const EvalOutcome& outcome) {
  JsonBuilder document;
  writeEvalDocument(outcome, document);
  return document.take();
}

void writeEvalDocument(const EvalOutcome& outcome, JsonWriter& out) {
  writeOpening(evalStatus(outcome), outcome.product, outcome.file, outcome.variantsMode, out);
  out.key("nodes");
  out.beginArray();
  for (std::size_t n = 0; n < outcome.nodes.size(); ++n) writeNodeItem(out, outcome, n);
  out.end();
  writeClosingMembers({outcome.messages, outcome.legacy, outcome.problems, outcome.nodes.size(),
                       outcome.counts, outcome.failed ? &outcome.failure : nullptr},
                      out);
  out.end();
}

const char* writeEvaluation(Session& session, bool explain, JsonWriter& out) {
  const std::optional<Diagnostic> failure = evaluateSession(session, explain);
  FileAdapter& adapter = session.adapter();
  ReportCounts counts;
  countMessages(adapter.messages(), counts);
  // The status comes first and depends on the problems, so the scope problems are found before
  // the nodes are written; the nodes' states and values do not depend on them.
  std::vector<Diagnostic> scopes;
  if (adapter.failedLoads().empty()) scopes = scopeProblems(session);
  const char* status = "failed";
  if (!failure) {
    const bool errors = counts.errors > 0 || warnedWithWerror(counts) || !scopes.empty() ||
                        missesMandatory(session);
    status = errors ? "errors" : "ok";
  }
  const Product& product = session.product();
  writeOpening(status, product.name(), product.path(), product.variantsModeName(), out);
  out.key("nodes");
  out.beginArray();
  std::vector<Diagnostic> mandatory;
  std::size_t nodes = 0;
  walkNodes(session, explain, failure.has_value(), counts, mandatory,
            [&out, &nodes](const NodeView& view, NodeOrigins* origins) {
              ++nodes;
              if (origins == nullptr) {
                writeNode(out, view, nullptr);
                return;
              }
              const NodeOriginsJson json = originsJson(*origins);
              writeNode(out, view, &json);
            });
  out.end();
  const std::vector<Diagnostic> problems = problemsAfter(session, &scopes, std::move(mandatory));
  writeClosingMembers({adapter.messages(), adapter.legacyValues(), problems, nodes, counts,
                       failure ? &*failure : nullptr},
                      out);
  out.end();
  return status;
}
