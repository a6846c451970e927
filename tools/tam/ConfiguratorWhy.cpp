// Why a node has its state and an option its values. Three kinds of answer:
//   - the explanation: the document `tam explain --json` prints for the same subject, made by the
//     same Explainer from an evaluation whose record kept its history;
//   - facts, from the results of the evaluation and the product and module files: how each value
//     was set and by which statement, declaration or host value, the host value chosen at the
//     node, the option's declaration, default and allowed values, the node's load_if with the
//     values it read, and its forced state;
//   - the trail, the explanation laid out as steps for a page to show: for an option the steps
//     that led to its values, oldest first, as the explanation lists them in "history"; for a
//     node its forced state, its load_if, each value the load_if read (with where that value
//     came from) and its state, after those of the node above that stopped it, if one did.
#include <algorithm>

#include "Configurator.h"
#include "Explanation.h"
#include "ExplanationOutput.h"
#include "OptionInfo.h"

namespace {

OutputJson fact(const std::string& topic, const std::string& text) {
  OutputJson item = OutputJson::object();
  item["topic"] = topic;
  item["text"] = text;
  item["file"] = nullptr;
  item["line"] = nullptr;
  item["node"] = nullptr;
  return item;
}

OutputJson factAt(const std::string& topic, const std::string& text, const std::string& file,
                  int line) {
  OutputJson item = fact(topic, text);
  item["file"] = file;
  item["line"] = line > 0 ? OutputJson(line) : OutputJson(nullptr);
  return item;
}

// A fact placed where a value came from, naming the node it came from.
OutputJson factFrom(const std::string& topic, const std::string& text, const ValueOrigin& origin) {
  OutputJson item = origin.place.file.empty()
                        ? fact(topic, text)
                        : factAt(topic, text, origin.place.file, origin.place.line);
  if (!origin.node.empty()) item["node"] = origin.node;
  return item;
}

// The line of the module file that declares the option, as the library reads the declaration
// lines; 0 when none does.
int declarationLine(const ModuleFile& file, const std::string& name) {
  for (const ModuleLine& declaration : file.declarations()) {
    if (TamDeclarationOutline::read(file.lineText(declaration)).name().text == name) {
      return declaration.line;
    }
  }
  return 0;
}

std::string words(const std::string& name) {
  std::string text = name;
  std::replace(text.begin(), text.end(), '_', ' ');
  return text;
}

std::string optionName(const ref_count_ptr<TamOption>& option) {
  return option->moduleId() + ":" + option->name();
}

// Where a value came from, in words: "set by the statement at modules/drive.rix:18:3 (node
// ebike.drive)". Empty when the origin is not known.
std::string originWords(const ValueOrigin& origin, TamSelOptionSet::HowSet how) {
  const std::string at = origin.node.empty() ? "" : " (node " + origin.node + ")";
  if (origin.kind == "statement") {
    return std::string(how == TamSelOptionSet::HOWSET_FIX ? "fixed" : "set") +
           " by the statement at " + origin.place.text() + at;
  }
  if (origin.kind == "declaration") {
    return "the default, from the declaration at " + origin.place.text() + at;
  }
  if (origin.kind == "host_value") {
    const std::string given =
        origin.place.file.empty() ? origin.place.argument : "given at " + origin.place.text();
    return std::string("the host value (") + howSetName(how) + ")" +
           (given.empty() ? "" : ", " + given) + at;
  }
  if (origin.kind == "inherited") {
    return "inherited from node " + origin.node + (origin.option.empty() ? "" : " (" +
                                                                                    origin.option +
                                                                                    ")");
  }
  return "";
}

// One entry of a trail, with every key and nothing known yet.
OutputJson trailEntry(const std::string& node, const std::string& kind) {
  OutputJson item = OutputJson::object();
  item["node"] = node;
  item["kind"] = kind;
  for (const char* key : {"outcome", "path", "values", "before", "after", "from", "from_node"}) {
    item[key] = nullptr;
  }
  item["text"] = "";
  item["place"] = nullptr;
  item["source_line"] = nullptr;
  return item;
}

void placeEntry(OutputJson& item, const OriginPlace& place) {
  item["place"] = placeJson(place);
  item["source_line"] = place.isKnown() && !place.sourceLine.empty()
                            ? OutputJson(place.sourceLine)
                            : OutputJson(nullptr);
}

// A step of an option's history: as `tam explain --json` gives it, with its place's source line.
OutputJson historyEntry(const ExplainedStep& step) {
  OutputJson item = explainedStepJson(step);
  item["source_line"] = nullptr;
  placeEntry(item, step.place);
  return item;
}

// The node's forced state, its load_if, each value the load_if read with where that value came
// from (as the node's parent holds it), and the state that followed.
void conditionTrail(Explainer& explainer, ProductNode& node, const NodeExplanation& explanation,
                    OutputJson& trail) {
  if (!explanation.forced.empty()) {
    OutputJson item = trailEntry(node.path(), "forced");
    item["outcome"] = explanation.forced;
    item["text"] = "the product file forces the node " + words(explanation.forced);
    placeEntry(item, explanation.forcedPlace);
    trail.push_back(item);
  }
  if (explanation.hasLoadIf) {
    OutputJson item = trailEntry(node.path(), "load_if");
    item["text"] = "load_if " + explanation.loadIf;
    if (explanation.judged) {
      item["outcome"] = explanation.loadIfResult;
      item["text"] = item["text"].get<std::string>() + ": " + explanation.loadIfResult;
    }
    placeEntry(item, explanation.loadIfPlace);
    trail.push_back(item);
  }
  for (const TamObserver::Read& read : explanation.reads) {
    const TamSelOptionSet::TamSosEntry entry{read.option, TamPath(), read.values, read.howSet};
    std::vector<ValueOrigin> origins;
    if (node.parentNode() != nullptr) origins = explainer.originsOf(*node.parentNode(), entry);
    OutputJson item = trailEntry(node.path(), "read");
    item["values"] = explainedValuesJson(entry, &origins);
    item["from"] = optionName(read.option);
    item["text"] = "read " + explainedEntryText(optionName(read.option), entry, origins);
    // The place of the first value whose origin is a place: where the value read was set.
    for (const ValueOrigin& origin : origins) {
      if (!origin.place.isKnown()) continue;
      placeEntry(item, origin.place);
      break;
    }
    trail.push_back(item);
  }
  OutputJson state = trailEntry(node.path(), "state");
  state["outcome"] = explanation.state;
  state["text"] = explanation.reason;
  trail.push_back(state);
}

// Why a node has its state: its own condition, or the condition of the node above that stopped
// it followed by the stop.
OutputJson nodeTrail(Explainer& explainer, ProductNode& node, const NodeExplanation& explanation) {
  OutputJson trail = OutputJson::array();
  if (explanation.stoppedBy.empty()) {
    conditionTrail(explainer, node, explanation, trail);
    return trail;
  }
  ProductNode* stopped = node.parentNode();
  while (stopped != nullptr && stopped->path() != explanation.stoppedBy) {
    stopped = stopped->parentNode();
  }
  if (stopped != nullptr) {
    conditionTrail(explainer, *stopped, explainer.explainNode(*stopped), trail);
  }
  OutputJson item = trailEntry(node.path(), "stopped");
  item["outcome"] = explanation.state;
  item["from_node"] = explanation.stoppedBy;
  item["text"] = explanation.reason;
  trail.push_back(item);
  return trail;
}

}  // namespace

bool Configurator::explainTree() {
  if (!results_) return false;
  if (explained_) return true;
  // A refused change leaves its own host values and evaluation in the tree: both are made anew.
  for (ProductNode* node : nodes_) session_->setHostValues(*node, choices_.at(node->path()));
  session_->record().setHistory(true);
  try {
    session_->evaluate();
    explained_ = true;
  } catch (const TamException&) {
    session_->forgetFailedLoads();
  }
  session_->record().setHistory(false);
  return explained_;
}

OutputJson Configurator::why(const std::string& path, const std::string& option) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t index = indexOf(path);
  OutputJson answer = OutputJson::object();
  answer["version"] = kServeApiVersion;
  answer["revision"] = revision_;
  OutputJson subject = OutputJson::object();
  subject["node"] = path;
  subject["option"] = option.empty() ? OutputJson(nullptr) : OutputJson(option);
  answer["subject"] = subject;
  std::unique_ptr<Explainer> explainer;
  if (explainTree()) explainer = std::make_unique<Explainer>(*session_);
  OutputJson body = option.empty() ? whyNode(index, explainer.get())
                                   : whyOption(index, option, explainer.get());
  answer["summary"] = body["summary"];
  answer["explanation"] = body["explanation"];
  answer["trail"] = body["trail"];
  answer["facts"] = body["facts"];
  return answer;
}

OutputJson Configurator::whyNode(std::size_t index, Explainer* explainer) {
  ProductNode& node = *nodes_[index];
  const Product& product = session_->product();
  OutputJson body = OutputJson::object();
  OutputJson facts = OutputJson::array();
  body["explanation"] = nullptr;
  body["trail"] = OutputJson::array();
  if (explainer != nullptr) {
    const NodeExplanation explanation = explainer->explainNode(node);
    body["explanation"] = nodeExplanationJson(explanation);
    body["trail"] = nodeTrail(*explainer, node, explanation);
  }
  if (!results_) {
    body["summary"] = "The product cannot be evaluated with the host values chosen now.";
    facts.push_back(fact("failure", failure_["text"].get<std::string>()));
    body["facts"] = facts;
    return body;
  }
  const NodeResult& result = results_->nodes[index];
  body["summary"] = node.path() + " is " + words(stateName(result.report.state)) + ". " +
                    result.reason;
  if (node.forcedState() != TamNode::CS_UNDECIDED) {
    facts.push_back(factAt(
        "forced",
        std::string("The product file forces the node ") +
            (node.forcedState() == TamNode::CS_CONFIGURED ? "configured" : "not configured") + ".",
        product.path(), product.document().line(JsonDocument::member(node.source(), "forced"))));
  }
  if (result.cause == "ancestor_not_configured") {
    ProductNode* stopped = &node;
    while (stopped->parentNode() != nullptr && !stopped->parentNode()->wasEvaluated()) {
      stopped = stopped->parentNode();
    }
    OutputJson item = fact("ancestor",
                           "Nodes below a node that is not configured are not "
                           "configured either; the highest such node above it is " +
                               stopped->path() + ".");
    item["node"] = stopped->path();
    facts.push_back(item);
  }
  if (!node.loadIfText().empty()) {
    facts.push_back(
        factAt("load_if", "load_if: " + node.loadIfText(), product.path(),
               product.document().line(JsonDocument::member(node.source(), "load_if"))));
    // Each value the condition read, from the record of the evaluation, with where it came from.
    const EvaluationRecord::NodeOutcome* outcome =
        explainer != nullptr ? session_->record().outcome(&node) : nullptr;
    if (outcome != nullptr && outcome->judged && !outcome->condition.legacy) {
      for (const TamObserver::Read& read : outcome->condition.reads) {
        const TamSelOptionSet::TamSosEntry entry{read.option, TamPath(), read.values,
                                                 read.howSet};
        std::vector<ValueOrigin> origins;
        if (node.parentNode() != nullptr) {
          origins = explainer->originsOf(*node.parentNode(), entry);
        }
        ValueOrigin first = origins.empty() ? ValueOrigin() : origins.front();
        facts.push_back(factFrom(
            "load_if_reads",
            "The load_if read " + explainedEntryText(optionName(read.option), entry, origins) +
                ".",
            first));
      }
    }
  }
  if (!node.module().empty()) {
    const ModuleFile* file = session_->adapter().moduleFile(node.module());
    facts.push_back(factAt("module", "Module " + node.module() + ".",
                           file == nullptr ? product.path() : file->path(), 0));
  }
  std::size_t chosen = choices_.at(node.path()).size();
  if (chosen > 0) {
    facts.push_back(fact("host_values", std::to_string(chosen) + " host value" +
                                            (chosen == 1 ? " is" : "s are") +
                                            " chosen at this node."));
  }
  body["facts"] = facts;
  return body;
}

OutputJson Configurator::whyOption(std::size_t index, const std::string& option,
                                   Explainer* explainer) {
  ProductNode& node = *nodes_[index];
  std::vector<std::string> names = moduleOptionNames(node.module());
  if (std::find(names.begin(), names.end(), option) == names.end()) {
    throw ApiError(kStatusNotFound, "unknown_option",
                   "node '" + node.path() + "' shows no option '" + option + "'");
  }
  ref_count_ptr<TamModule> module = session_->window()->getModule(node.module());
  ref_count_ptr<TamOption> declared = module->getOption(option.substr(option.find(':') + 1));
  const Product& product = session_->product();
  OutputJson body = OutputJson::object();
  OutputJson facts = OutputJson::array();
  OutputJson trail = OutputJson::array();

  const OptionReport* selected = nullptr;
  if (results_) {
    for (const OptionReport& report : results_->nodes[index].report.options) {
      if (report.option == option) selected = &report;
    }
  }
  // Where each selected value came from, and the steps that led there.
  std::vector<ValueOrigin> origins;
  body["explanation"] = nullptr;
  if (explainer != nullptr) {
    const OptionExplanation explanation = explainer->explainOption(node, declared);
    body["explanation"] = optionExplanationJson(explanation);
    for (const ExplainedStep& step : explanation.history) trail.push_back(historyEntry(step));
    if (selected != nullptr && explanation.origins.size() == selected->values.size()) {
      origins = explanation.origins;
    }
  }
  body["trail"] = trail;

  auto howOf = [&](std::size_t i) {
    return i < selected->how.size() ? selected->how[i] : TamSelOptionSet::HOWSET_DEFAULT;
  };
  if (selected == nullptr) {
    body["summary"] = option + " has no value at " + node.path() +
                      (results_ ? ": the node is not configured."
                                : ": the product cannot be "
                                  "evaluated now.");
    if (results_) facts.push_back(fact("state", results_->nodes[index].reason));
  } else {
    std::string summary = option + " = ";
    for (std::size_t i = 0; i < selected->values.size(); ++i) {
      summary += (i > 0 ? ", " : "") + valueText(selected->values[i]) + " (" +
                 howSetName(howOf(i)) + ")";
      std::string origin = i < origins.size() ? originWords(origins[i], howOf(i)) : "";
      std::string text = valueText(selected->values[i]) + ": " +
                         (origin.empty() ? howSetMeaning(howOf(i)) : origin) + ".";
      facts.push_back(i < origins.size() ? factFrom("value", text, origins[i])
                                         : fact("value", text));
    }
    body["summary"] = summary + " at " + node.path() + ".";
  }

  std::vector<HostValueEntry> host = choices_.entriesOf(node.path(), option);
  if (!host.empty()) {
    std::string values;
    for (const HostValueEntry& entry : host) {
      for (const nlohmann::json& value : entry.values) {
        values += (values.empty() ? "" : ", ") + value.dump();
      }
    }
    bool saved = HostChoices::sameEntries(host, choices_.savedEntriesOf(node.path(), option));
    std::string text = "Chosen at this node: " + values + " (" + howSetName(host.back().how) + ")" +
                       (saved ? ", as the product file holds it." : ", not saved yet.");
    int line =
        saved && !host.front().pointer.empty() ? product.document().line(host.front().pointer) : 0;
    facts.push_back(line > 0 ? factAt("host_value", text, product.path(), line)
                             : fact("host_value", text));
    bool replaced = selected != nullptr && std::none_of(selected->how.begin(), selected->how.end(),
                                                        [&](TamSelOptionSet::HowSet how) {
                                                          return how == host.back().how;
                                                        });
    if (replaced) {
      std::string by = origins.empty() ? "" : originWords(origins.front(), howOf(0));
      std::string text =
          by.empty() ? "The value chosen here is not the one selected: a rule or a value from "
                       "above replaced it."
                     : "The value chosen here is not the one selected: " +
                           valueText(selected->values.front()) + " is " + by + ".";
      facts.push_back(origins.empty() ? fact("replaced", text)
                                      : factFrom("replaced", text, origins.front()));
    }
  }
  if (declared->type() != TamOption::TYPE_DECLARED) {
    std::string base = declared->basedOnModuleId() + ":" + declared->basedOnName();
    std::string text = std::string(optionKindName(declared->type())) + " " + base;
    if (declared->type() == TamOption::TYPE_USES) {
      text += ": its values come from the nearest node above whose module provides " + base + ".";
    } else if (declared->type() == TamOption::TYPE_PRESENTS) {
      text += ": a value chosen here is handed to " + base + " at the node the option names.";
    } else {
      text += ": this module provides " + base + " to the modules below it.";
    }
    facts.push_back(fact("base", text));
  }
  facts.push_back(fact("default", "Default: " + valueText(declared->defaultValue()) + "."));
  facts.push_back(fact("allowed", "Allowed: " + describeConstraints(declared) + "."));
  const ModuleFile* file = session_->adapter().moduleFile(node.module());
  facts.push_back(factAt("declaration", module->askOptionRix(declared->name()),
                         file == nullptr ? product.path() : file->path(),
                         file == nullptr ? 0 : declarationLine(*file, declared->name())));
  body["facts"] = facts;
  return body;
}
