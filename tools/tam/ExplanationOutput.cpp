#include "ExplanationOutput.h"

#include "Diagnostics.h"

const char* const kExplainFormatName = "tam-explain";

namespace {

using Entry = TamSelOptionSet::TamSosEntry;

const char* const kIndent = "  ";
const char* const kStepIndent = "     ";     // under a step's number
const char* const kSourceIndent = "       ";  // a source line under a step's place

std::string words(const std::string& name) {
  std::string text = name;
  for (char& c : text) {
    if (c == '_') c = ' ';
  }
  return text;
}

// One value with how it was set and, when known, where it came from.
std::string valueWithOrigin(const Entry& entry, std::size_t i,
                            const std::vector<ValueOrigin>& origins) {
  std::string text = valueText(entry.values[i]) + " (";
  text += i < entry.howSet.size() ? howSetName(entry.howSet[i]) : "unknown";
  if (i < origins.size()) {
    const std::string origin = originText(origins[i]);
    // "(inherited from bike)", "(set, modules/bike.rix:12)"
    if (!origin.empty()) text += (origins[i].kind == "inherited" ? " " : ", ") + origin;
  }
  return text + ")";
}

std::string entryLine(const std::string& option, const Entry& entry,
                      const std::vector<ValueOrigin>& origins) {
  std::string text = option + " = ";
  for (std::size_t i = 0; i < entry.values.size(); ++i) {
    if (i > 0) text += ", ";
    text += valueWithOrigin(entry, i, origins);
  }
  return text;
}

// The place of a step or a condition, on its own line, then its source line with a caret.
std::string placeLines(const SourcePlace& place, const std::string& indent,
                       const std::string& sourceIndent) {
  if (!place.isKnown()) return "";
  std::string text = indent + place.text() + "\n";
  if (place.sourceLine.empty()) return text;
  if (place.column > 0) return text + sourceWithCaret(place.sourceLine, place.column, sourceIndent);
  // A line shown without a caret (a product file's) is shown without its indentation.
  std::string source = place.sourceLine;
  if (!source.empty() && source.back() == '\r') source.pop_back();
  source.erase(0, source.find_first_not_of(" \t"));
  return text + sourceIndent + source + "\n";
}

OutputJson valuesJson(const Entry& entry, const std::vector<ValueOrigin>* origins) {
  OutputJson list = OutputJson::array();
  for (std::size_t i = 0; i < entry.values.size(); ++i) {
    OutputJson value = OutputJson::object();
    value["value"] = valueJson(entry.values[i]);
    value["type"] = TamValue::typeName(entry.values[i]->type());
    value["how"] = i < entry.howSet.size() ? OutputJson(howSetName(entry.howSet[i])) : nullptr;
    if (origins != nullptr) {
      value["origin"] = i < origins->size() ? originJson((*origins)[i]) : OutputJson(nullptr);
    }
    list.push_back(value);
  }
  return list;
}

OutputJson textOrNull(const std::string& text) {
  return text.empty() ? OutputJson(nullptr) : OutputJson(text);
}

OutputJson formatJson() {
  OutputJson format = OutputJson::object();
  format["name"] = kExplainFormatName;
  format["version"] = kExplainFormatVersion;
  return format;
}

OutputJson stepJson(const ExplainedStep& step) {
  OutputJson item = OutputJson::object();
  item["node"] = step.node;
  item["kind"] = step.kind;
  item["outcome"] = textOrNull(step.outcome);
  item["path"] = textOrNull(step.path);
  item["values"] = valuesJson(step.values, nullptr);
  item["before"] = step.before.option ? valuesJson(step.before, nullptr) : OutputJson(nullptr);
  item["after"] = step.after.option ? valuesJson(step.after, nullptr) : OutputJson(nullptr);
  item["from"] = textOrNull(step.from);
  item["from_node"] = textOrNull(step.fromNode);
  item["text"] = step.text;
  item["place"] = placeJson(step.place);
  return item;
}

}  // namespace

std::string originText(const ValueOrigin& origin) {
  if (origin.kind == "inherited") return "from " + origin.node;
  if (!origin.place.isKnown()) return "";
  SourcePlace line = origin.place;
  line.column = 0;
  return line.text();
}

OutputJson placeJson(const SourcePlace& place) {
  if (!place.isKnown()) return nullptr;
  OutputJson item = OutputJson::object();
  item["file"] = textOrNull(place.file);
  item["line"] = place.line > 0 ? OutputJson(place.line) : OutputJson(nullptr);
  item["column"] = place.column > 0 ? OutputJson(place.column) : OutputJson(nullptr);
  item["text"] = place.text();
  return item;
}

OutputJson originJson(const ValueOrigin& origin) {
  OutputJson item = OutputJson::object();
  item["kind"] = origin.kind;
  item["node"] = textOrNull(origin.node);
  item["option"] = textOrNull(origin.option);
  item["place"] = placeJson(origin.place);
  return item;
}

std::string optionExplanationText(const OptionExplanation& explanation) {
  std::string text = explanation.node + ": ";
  if (explanation.hasEntry) {
    text += entryLine(explanation.option, explanation.entry, explanation.origins) + "\n";
  } else {
    text += explanation.option + " has no value here: " + explanation.note + "\n";
  }
  if (explanation.hasEntry && explanation.nodeState != "configured") {
    text += kIndent + std::string("the node is ") + words(explanation.nodeState) + "\n";
  }
  if (explanation.history.empty()) return text;
  text += "\nhistory, oldest first:\n";
  for (std::size_t i = 0; i < explanation.history.size(); ++i) {
    const ExplainedStep& step = explanation.history[i];
    const std::string number = std::to_string(i + 1) + ".";
    text += kIndent + number + std::string(kStepIndent).substr(2 + number.size()) + step.node +
            ": " + step.text + "\n";
    text += placeLines(step.place, kStepIndent, kSourceIndent);
  }
  return text;
}

std::string nodeExplanationText(const NodeExplanation& explanation) {
  std::string text = explanation.node + ": " + words(explanation.state) + ", " +
                     (explanation.module.empty() ? "no module" : "module " + explanation.module) +
                     "\n";
  if (!explanation.forced.empty()) {
    text += kIndent + explanation.forcedPlace.text() + ": forced " + words(explanation.forced) +
            "\n";
  }
  if (explanation.hasLoadIf) {
    text += kIndent + explanation.loadIfPlace.text() + ": load_if " + explanation.loadIf + "\n";
    for (const TamObserver::Read& read : explanation.reads) {
      const Entry asEntry{read.option, TamPath(), read.values, read.howSet};
      text += kIndent + std::string(kIndent) + "read " +
              entryLine(read.option->moduleId() + ":" + read.option->name(), asEntry, {}) + "\n";
    }
    if (explanation.judged) {
      text += kIndent + std::string(kIndent) + "result: " + explanation.loadIfResult + "\n";
    }
  }
  text += kIndent + explanation.reason + "\n";
  if (explanation.options.empty()) return text;
  text += kIndent + std::string("values:\n");
  for (const ExplainedOption& option : explanation.options) {
    text += kIndent + std::string(kIndent) +
            entryLine(option.option, option.entry, option.origins) + "\n";
  }
  return text;
}

OutputJson optionExplanationJson(const OptionExplanation& explanation) {
  OutputJson document = OutputJson::object();
  document["format"] = formatJson();
  document["kind"] = "option";
  document["node"] = explanation.node;
  document["option"] = explanation.option;
  document["node_state"] = explanation.nodeState;
  document["values"] = explanation.hasEntry ? valuesJson(explanation.entry, &explanation.origins)
                                            : OutputJson::array();
  document["note"] = textOrNull(explanation.note);
  OutputJson history = OutputJson::array();
  for (const ExplainedStep& step : explanation.history) history.push_back(stepJson(step));
  document["history"] = history;
  return document;
}

OutputJson nodeExplanationJson(const NodeExplanation& explanation) {
  OutputJson document = OutputJson::object();
  document["format"] = formatJson();
  document["kind"] = "node";
  document["node"] = explanation.node;
  document["module"] = textOrNull(explanation.module);
  document["state"] = explanation.state;
  OutputJson forced = nullptr;
  if (!explanation.forced.empty()) {
    forced = OutputJson::object();
    forced["state"] = explanation.forced;
    forced["place"] = placeJson(explanation.forcedPlace);
  }
  document["forced"] = forced;
  OutputJson loadIf = nullptr;
  if (explanation.hasLoadIf) {
    loadIf = OutputJson::object();
    loadIf["condition"] = explanation.loadIf;
    loadIf["place"] = placeJson(explanation.loadIfPlace);
    loadIf["result"] = textOrNull(explanation.loadIfResult);
    OutputJson reads = OutputJson::array();
    for (const TamObserver::Read& read : explanation.reads) {
      OutputJson item = OutputJson::object();
      item["option"] = read.option->moduleId() + ":" + read.option->name();
      item["values"] = valuesJson(Entry{read.option, TamPath(), read.values, read.howSet}, nullptr);
      reads.push_back(item);
    }
    loadIf["reads"] = reads;
  }
  document["load_if"] = loadIf;
  document["stopped_by"] = textOrNull(explanation.stoppedBy);
  document["reason"] = explanation.reason;
  OutputJson options = OutputJson::array();
  for (const ExplainedOption& option : explanation.options) {
    OutputJson item = OutputJson::object();
    item["option"] = option.option;
    item["values"] = valuesJson(option.entry, &option.origins);
    options.push_back(item);
  }
  document["options"] = options;
  return document;
}

std::string explainedEntryText(const std::string& option, const Entry& entry,
                               const std::vector<ValueOrigin>& origins) {
  return entryLine(option, entry, origins);
}

OutputJson explainedValuesJson(const Entry& entry, const std::vector<ValueOrigin>* origins) {
  return valuesJson(entry, origins);
}

OutputJson explainedStepJson(const ExplainedStep& step) { return stepJson(step); }
