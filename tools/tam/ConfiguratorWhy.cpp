// Why a node has its state and an option its values, as far as the results of an evaluation and
// the product and module files tell: how each value was set, the host value chosen at the node,
// the option's declaration, default and allowed values, the node's load_if with the values it
// reads, and its forced state. The statements that set each value are not among these facts.
#include <algorithm>
#include <set>

#include "Configurator.h"
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

std::string valuesText(const std::vector<ref_count_ptr<TamValue>>& values) {
  std::string text;
  for (const ref_count_ptr<TamValue>& value : values) {
    text += (text.empty() ? "" : ", ") + valueText(value);
  }
  return text;
}

// The line of the module file that declares the option, as the library reads the declaration
// lines; 0 when none does.
int declarationLine(const ModuleFile& file, const std::string& name) {
  for (const ModuleLine& declaration : file.declarations()) {
    if (TamDeclarationOutline::read(declaration.text).name().text == name) return declaration.line;
  }
  return 0;
}

std::string stateWords(NodeState state) {
  std::string text = stateName(state);
  for (char& c : text) {
    if (c == '_') c = ' ';
  }
  return text;
}

}  // namespace

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
  OutputJson body = option.empty() ? whyNode(index) : whyOption(index, option);
  answer["summary"] = body["summary"];
  answer["facts"] = body["facts"];
  return answer;
}

OutputJson Configurator::whyNode(std::size_t index) const {
  ProductNode& node = *nodes_[index];
  const Product& product = session_->product();
  OutputJson body = OutputJson::object();
  OutputJson facts = OutputJson::array();
  if (!results_) {
    body["summary"] = "The product cannot be evaluated with the host values chosen now.";
    facts.push_back(fact("failure", failure_["text"].get<std::string>()));
    body["facts"] = facts;
    return body;
  }
  const NodeResult& result = results_->nodes[index];
  body["summary"] = node.path() + " is " + stateWords(result.report.state) + ". " + result.reason;
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
    // The options the condition reads, with their values where the nearest node above with a
    // module of their own holds them: that node's values are the ones the condition was given.
    std::set<ref_count_ptr<TamOption>> read;
    try {
      node.getLoadIf()->referencedOptions(session_->window(), read);
    } catch (const TamException&) {
      read.clear();
    }
    ProductNode* above = node.parentNode();
    while (above != nullptr && above->module().empty()) above = above->parentNode();
    for (const ref_count_ptr<TamOption>& option : read) {
      std::string name = option->moduleId() + ":" + option->name();
      OutputJson item = fact("load_if_reads", "The load_if reads " + name + ".");
      if (above != nullptr && above->module() == option->moduleId()) {
        const NodeResult& held = results_->nodes[indexByPath_.at(above->path())];
        for (const OptionReport& report : held.report.options) {
          if (report.option != name) continue;
          item["text"] = "The load_if reads " + name + ", which is " + valuesText(report.values) +
                         " at " + above->path() + ".";
          item["node"] = above->path();
        }
      }
      facts.push_back(item);
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

OutputJson Configurator::whyOption(std::size_t index, const std::string& option) {
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

  const OptionReport* selected = nullptr;
  if (results_) {
    for (const OptionReport& report : results_->nodes[index].report.options) {
      if (report.option == option) selected = &report;
    }
  }
  if (selected == nullptr) {
    body["summary"] = option + " has no value at " + node.path() +
                      (results_ ? ": the node is not configured."
                                : ": the product cannot be "
                                  "evaluated now.");
    if (results_) facts.push_back(fact("state", results_->nodes[index].reason));
  } else {
    std::string summary = option + " = ";
    for (std::size_t i = 0; i < selected->values.size(); ++i) {
      TamSelOptionSet::HowSet how =
          i < selected->how.size() ? selected->how[i] : TamSelOptionSet::HOWSET_DEFAULT;
      summary +=
          (i > 0 ? ", " : "") + valueText(selected->values[i]) + " (" + howSetName(how) + ")";
      facts.push_back(
          fact("value", valueText(selected->values[i]) + ": " + howSetMeaning(how) + "."));
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
      facts.push_back(fact("replaced",
                           "The value chosen here is not the one selected: a rule or "
                           "a value from above replaced it."));
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
