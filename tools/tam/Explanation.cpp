#include "Explanation.h"

#include <utility>

#include "Diagnostics.h"
#include "EvalReport.h"
#include "ValueText.h"

namespace {

using Step = Provenance::Step;
using Entry = TamSelOptionSet::TamSosEntry;

const char* const kOutcomeNames[] = {"stored", "replaced", "added", "unchanged", "refused",
                                     "legacy"};

std::string optionName(const ref_count_ptr<TamOption>& option) {
  return option ? option->moduleId() + ":" + option->name() : std::string();
}

// "50 (fix)", "\"usb\" (host), \"dynamo\" (host)".
std::string valuesWithHow(const Entry& entry) {
  std::string text;
  for (std::size_t i = 0; i < entry.values.size(); ++i) {
    if (i > 0) text += ", ";
    text += valueText(entry.values[i]);
    if (i < entry.howSet.size()) text += std::string(" (") + howSetName(entry.howSet[i]) + ")";
  }
  return text;
}

std::string valuesOnly(const Entry& entry) {
  std::string text;
  for (std::size_t i = 0; i < entry.values.size(); ++i) {
    text += (i > 0 ? ", " : "") + valueText(entry.values[i]);
  }
  return text;
}

const char* conditionResult(TamNode::ConfigState state) {
  switch (state) {
    case TamNode::CS_CONFIGURED:
      return "true";
    case TamNode::CS_NOT_CONFIGURED:
      return "false";
    case TamNode::CS_UNDECIDED:
      break;
  }
  return "undecided";
}

// What the outcome of a store adds to the sentence about it.
std::string outcomeText(const TamObserver::Store& store) {
  switch (store.outcome) {
    case TamObserver::OUTCOME_STORED:
      return "";
    case TamObserver::OUTCOME_REPLACED:
      return ", replacing " + valuesWithHow(store.before);
    case TamObserver::OUTCOME_ADDED:
      return ", added to " + valuesWithHow(store.before);
    case TamObserver::OUTCOME_UNCHANGED:
      return ": unchanged, " + valuesWithHow(store.before) + " was there already";
    case TamObserver::OUTCOME_REFUSED: {
      const char* kept = store.before.howSet.empty() ? "default"
                                                     : howSetName(store.before.howSet.front());
      return ": refused, " + valuesWithHow(store.before) + " stays: a " + kept +
             " value is not overridden by a " + howSetName(store.entry.howSet.front()) + " value";
    }
    case TamObserver::OUTCOME_LEGACY:
      return ", handed to the host, which keeps this legacy option";
  }
  return "";
}

std::string forPath(const TamPath& path) {
  return path.isEmpty() ? "" : " for path [" + path.toDisplayString() + "]";
}

}  // namespace

std::string OriginPlace::text() const {
  if (file.empty()) return argument;
  if (line <= 0) return file;
  std::string where = file + ":" + std::to_string(line);
  return column > 0 ? where + ":" + std::to_string(column) : where;
}

Explainer::Explainer(Session& session) : session_(session), provenance_(session.record()) {}

std::string Explainer::pathOf(const TamNode* node) const {
  const auto* productNode = dynamic_cast<const ProductNode*>(node);
  return productNode != nullptr ? productNode->path() : std::string();
}

OriginPlace Explainer::productPlace(const std::string& pointer) const {
  const JsonDocument& document = session_.product().document();
  OriginPlace place;
  place.file = document.path();
  place.line = document.line(pointer);
  if (place.line > 0) place.sourceLine = document.source().line(place.line);
  return place;
}

OriginPlace Explainer::statementPlace(const TamObserver::Statement& statement) const {
  OriginPlace place;
  const ModuleFile* file = session_.adapter().moduleFile(statement.moduleId);
  if (file == nullptr || !statement.isKnown()) return place;
  place.file = file->path();
  place.line = file->rulesLine() + statement.begin.line - 1;
  place.column = statement.begin.column;
  place.sourceLine = file->sourceLine(place.line);
  return place;
}

const ModuleDeclarations& Explainer::declarationsOf(const std::string& moduleId) {
  auto found = declarations_.find(moduleId);
  if (found != declarations_.end()) return found->second;
  const ModuleFile* file = session_.adapter().moduleFile(moduleId);
  const ModuleFile none = ModuleFile::fromText("", "");
  return declarations_.emplace(moduleId, ModuleDeclarations(file != nullptr ? *file : none))
      .first->second;
}

OriginPlace Explainer::declarationPlace(const std::string& moduleId, const std::string& name,
                                        bool atDefault, bool atBase) {
  OriginPlace place;
  const ModuleDeclaration* found = declarationsOf(moduleId).find(name);
  const ModuleFile* file = session_.adapter().moduleFile(moduleId);
  if (found == nullptr || file == nullptr) return place;
  const ModuleDeclaration& declaration = *found;
  place.file = file->path();
  place.line = declaration.line;
  place.sourceLine = file->sourceLine(declaration.line);
  TamSourcePos at = declaration.outline.name().begin;
  if (atDefault && declaration.outline.defaultValue().value) {
    at = declaration.outline.defaultValue().begin;
  } else if (atBase && declaration.outline.base().moduleId.isPresent()) {
    at = declaration.outline.base().moduleId.begin;
  }
  place.column = at.column;
  return place;
}

// The declaration that gives an option its default: its own, or its base's, down the chain.
OriginPlace Explainer::defaultPlace(const ref_count_ptr<TamOption>& option) {
  std::string moduleId = option->moduleId();
  std::string name = option->name();
  for (int link = 0; link < TamOption::kMaxBaseChain; ++link) {
    const ModuleDeclaration* found = declarationsOf(moduleId).find(name);
    if (found == nullptr) break;
    const TamDeclarationOutline& outline = found->outline;
    if (outline.defaultValue().value || !outline.base().moduleId.isPresent()) {
      return declarationPlace(moduleId, name, true, false);
    }
    moduleId = outline.base().moduleId.text;
    name = outline.base().optionName.text;
  }
  return declarationPlace(option->moduleId(), option->name(), true, false);
}

// The host value of the option given at the node (the last one, as it is the one that counts).
OriginPlace Explainer::hostValuePlace(const TamNode* node,
                                      const ref_count_ptr<TamOption>& option) const {
  OriginPlace place;
  const auto* productNode = dynamic_cast<const ProductNode*>(node);
  if (productNode == nullptr || option.isNull()) return place;
  for (const HostValueEntry& given : session_.hostValues(*productNode)) {
    if (given.moduleId != option->moduleId() || given.optionName != option->name()) continue;
    if (given.pointer.empty()) {
      place = OriginPlace();
      place.argument = given.where;
    } else {
      place = productPlace(given.pointer);
    }
  }
  return place;
}

std::string Explainer::describe(const Step& step, const ExplainedStep& explained,
                                const TamOption* subject) const {
  const TamObserver::Store& store = step.store;
  const std::string of = store.entry.option.get() == subject
                             ? std::string()
                             : " for " + optionName(store.entry.option);
  switch (step.kind) {
    case Step::kDefault:
      return "default " + valuesOnly(step.entry()) + of + ", from the declaration" +
             (store.statement.isKnown() ? " (created when a rule read the option)" : "");
    case Step::kRebound:
      return "the entry written for path [" + step.path.toDisplayString() +
             "] applies to this node: " + valuesWithHow(step.entry());
    case Step::kStore:
      break;
  }
  const std::string what = valuesWithHow(store.entry) + of + forPath(store.entry.path);
  switch (store.cause) {
    case TamObserver::CAUSE_RULE:
      return std::string(explained.kind == "fix" ? "fixed to " : "set to ") +
             valuesOnly(store.entry) + of + forPath(store.entry.path) + outcomeText(store);
    case TamObserver::CAUSE_HOST:
      return "host value " + what + outcomeText(store);
    case TamObserver::CAUSE_PRESENTED:
      return "presented by module " + store.source->moduleId() + " (" + explained.from +
             "): " + what + outcomeText(store);
    case TamObserver::CAUSE_INHERITED:
      return "inherited from node " + explained.fromNode + " (" + explained.from + "): " +
             valuesOnly(store.entry) + of + outcomeText(store);
  }
  return what;
}

ExplainedStep Explainer::explainStep(const Step& step, const TamOption* subject) {
  const TamObserver::Store& store = step.store;
  ExplainedStep explained;
  explained.node = pathOf(step.node);
  explained.values = store.entry;
  switch (step.kind) {
    case Step::kDefault:
      explained.kind = "default";
      explained.path = store.entry.path.toDisplayString();
      explained.place = defaultPlace(store.entry.option);
      break;
    case Step::kRebound:
      explained.kind = "path";
      explained.path = step.path.toDisplayString();
      break;
    case Step::kStore:
      explained.outcome = kOutcomeNames[store.outcome];
      explained.path = store.entry.path.toDisplayString();
      if (store.before.option) explained.before = store.before;
      if (store.after.option) explained.after = store.after;
      switch (store.cause) {
        case TamObserver::CAUSE_RULE:
          explained.kind = !store.entry.howSet.empty() &&
                                   store.entry.howSet.front() == TamSelOptionSet::HOWSET_FIX
                               ? "fix"
                               : "set";
          explained.place = statementPlace(store.statement);
          break;
        case TamObserver::CAUSE_HOST:
          explained.kind = "host";
          explained.place = hostValuePlace(step.node, store.entry.option);
          break;
        case TamObserver::CAUSE_PRESENTED:
          explained.kind = "presented";
          explained.from = optionName(store.source);
          if (store.source) {
            explained.place =
                declarationPlace(store.source->moduleId(), store.source->name(), false, true);
          }
          break;
        case TamObserver::CAUSE_INHERITED:
          explained.kind = "inherited";
          explained.from = optionName(store.source);
          explained.fromNode = pathOf(store.provider);
          explained.place = declarationPlace(store.entry.option->moduleId(),
                                             store.entry.option->name(), false, true);
          break;
      }
      break;
  }
  explained.text = describe(step, explained, subject);
  return explained;
}

ValueOrigin Explainer::originOf(const Step* step) {
  ValueOrigin origin;
  if (step == nullptr) return origin;
  origin.node = pathOf(step->node);
  if (step->kind == Step::kDefault) {
    origin.kind = "declaration";
    origin.place = defaultPlace(step->entry().option);
    return origin;
  }
  const TamObserver::Store& store = step->store;
  switch (store.cause) {
    case TamObserver::CAUSE_RULE:
      origin.kind = "statement";
      origin.place = statementPlace(store.statement);
      break;
    case TamObserver::CAUSE_HOST:
      origin.kind = "host_value";
      origin.place = hostValuePlace(step->node, store.entry.option);
      break;
    case TamObserver::CAUSE_INHERITED:
      origin.kind = "inherited";
      origin.node = pathOf(store.provider);
      origin.option = optionName(store.source);
      break;
    case TamObserver::CAUSE_PRESENTED:
      break;  // never an origin: the presenting option's own steps are
  }
  return origin;
}

std::vector<ValueOrigin> Explainer::originsOf(ProductNode& node, const Entry& entry) {
  const std::vector<const Step*> history = provenance_.history(&node, entry.option);
  std::vector<ValueOrigin> origins;
  for (const Step* step : Provenance::origins(history, entry)) origins.push_back(originOf(step));
  return origins;
}

OptionExplanation Explainer::explainOption(ProductNode& node,
                                           const ref_count_ptr<TamOption>& option) {
  OptionExplanation explanation;
  explanation.node = node.path();
  explanation.option = optionName(option);
  explanation.nodeState = stateName(stateOf(node));
  if (!node.wasEvaluated()) {
    explanation.note = "the node is not configured, so its rules did not run";
    return explanation;
  }
  for (const auto& item : node.getSos().contents()) {
    if (item.first.get() != option.get() || !item.second.path.isEmpty()) continue;
    explanation.hasEntry = true;
    explanation.entry = item.second;
  }
  if (!explanation.hasEntry) {
    explanation.note = node.hasModule()
                           ? "the node's set holds the options of module " + node.module() +
                                 " only"
                           : "nothing set the option at this node or above it";
  }
  const std::vector<const Step*> history = provenance_.history(&node, option);
  for (const Step* step : history) {
    explanation.history.push_back(explainStep(*step, option.get()));
  }
  if (explanation.hasEntry) {
    for (const Step* step : Provenance::origins(history, explanation.entry)) {
      explanation.origins.push_back(originOf(step));
    }
  }
  return explanation;
}

NodeExplanation Explainer::explainNode(ProductNode& node) {
  NodeExplanation explanation;
  explanation.node = node.path();
  explanation.module = node.module();
  explanation.state = stateName(stateOf(node));
  const char* forced = forcedName(node.forcedState());
  explanation.forced = forced != nullptr ? forced : "";
  if (!explanation.forced.empty()) {
    explanation.forcedPlace = productPlace(JsonDocument::member(node.source(), "forced"));
  }
  explanation.hasLoadIf = !node.loadIfText().empty();
  explanation.loadIf = node.loadIfText();
  if (explanation.hasLoadIf) {
    explanation.loadIfPlace = productPlace(JsonDocument::member(node.source(), "load_if"));
  }
  const TamNode* stopped = provenance_.stoppedAt(&node);
  if (stopped != nullptr && stopped != &node) explanation.stoppedBy = pathOf(stopped);

  const EvaluationRecord::NodeOutcome* outcome = session_.record().outcome(&node);
  if (outcome != nullptr && outcome->judged && !outcome->condition.legacy) {
    explanation.judged = true;
    explanation.loadIfResult = conditionResult(outcome->condition.result);
    explanation.reads = outcome->condition.reads;
  }

  if (!explanation.stoppedBy.empty()) {
    explanation.reason = "not evaluated: node " + explanation.stoppedBy +
                         " above it is not configured, so neither are the nodes below it";
  } else if (node.forcedState() == TamNode::CS_NOT_CONFIGURED) {
    explanation.reason = "forced not configured: its rules did not run and its children were "
                         "not evaluated";
  } else if (explanation.judged && explanation.loadIfResult == std::string("false")) {
    explanation.reason = node.forcedState() == TamNode::CS_CONFIGURED
                             ? "load_if is false, but the node is forced configured: its rules ran"
                             : "load_if is false: its rules did not run and its children were "
                               "not evaluated";
  } else if (explanation.judged && explanation.loadIfResult == std::string("undecided")) {
    explanation.reason = node.forcedState() == TamNode::CS_CONFIGURED
                             ? "load_if is undecided, but the node is forced configured: its "
                               "rules ran"
                             : "load_if is undecided (an option it reads has no value): its rules "
                               "ran";
  } else if (explanation.judged) {
    explanation.reason = "load_if is true: its rules ran";
  } else if (node.forcedState() == TamNode::CS_CONFIGURED) {
    explanation.reason = "forced configured: its rules ran";
  } else {
    explanation.reason = "no load_if: its rules ran";
  }

  if (node.wasEvaluated() && node.hasModule()) {
    for (const auto& item : node.getSos().contents()) {
      ExplainedOption shown;
      shown.option = optionName(item.first);
      shown.entry = item.second;
      shown.origins = originsOf(node, item.second);
      explanation.options.push_back(std::move(shown));
    }
  }
  return explanation;
}
