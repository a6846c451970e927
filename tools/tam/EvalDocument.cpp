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

// Node n's item, with the origin of each value when the outcome has them.
void writeNodeItem(JsonWriter& out, const EvalOutcome& outcome, std::size_t n) {
  if (n >= outcome.origins.size()) {
    writeNode(out, outcome.nodes[n], nullptr);
    return;
  }
  NodeOriginsJson origins;
  for (const std::vector<ValueOrigin>& option : outcome.origins[n]) {
    origins.emplace_back();
    for (const ValueOrigin& origin : option) origins.back().push_back(originJson(origin));
  }
  writeNode(out, outcome.nodes[n], &origins);
}

// The members after the node list, in order.
std::vector<std::pair<const char*, OutputJson>> closingMembers(const EvalOutcome& outcome) {
  std::vector<std::pair<const char*, OutputJson>> members;
  members.emplace_back("messages", messagesJson(outcome.messages));
  members.emplace_back("legacy_options", legacyJson(outcome.legacy));
  OutputJson problems = OutputJson::array();
  for (const Diagnostic& problem : outcome.problems) problems.push_back(diagnosticJson(problem));
  members.emplace_back("problems", problems);
  members.emplace_back("summary", summaryJson(outcome.nodes.size(), outcome.counts));
  if (outcome.failed) members.emplace_back("error", diagnosticJson(outcome.failure));
  return members;
}

OutputJson productMember(const EvalOutcome& outcome) {
  return outcome.product.empty() ? OutputJson(nullptr) : OutputJson(outcome.product);
}

}  // namespace

OutputJson evalDocument(const EvalOutcome& outcome) {
  JsonBuilder document;
  writeEvalDocument(outcome, document);
  return document.take();
}

void writeEvalDocument(const EvalOutcome& outcome, JsonWriter& out) {
  const OutputJson start = evalDocumentStart(evalStatus(outcome));
  out.beginObject();
  for (const auto& member : start.items()) {
    out.key(member.key());
    out.value(member.value());
  }
  out.key("product");
  out.value(productMember(outcome));
  out.key("file");
  out.string(outcome.file);
  out.key("variants_mode");
  out.string(outcome.variantsMode);
  out.key("nodes");
  out.beginArray();
  for (std::size_t n = 0; n < outcome.nodes.size(); ++n) writeNodeItem(out, outcome, n);
  out.end();
  for (const auto& member : closingMembers(outcome)) {
    out.key(member.first);
    out.value(member.second);
  }
  out.end();
}
