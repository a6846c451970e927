// A complete host of libtam. It keeps three modules in a catalog, builds a five-node bicycle,
// gives the root the customer's choices as host values, evaluates the tree, prints every node's
// state and selected values and the messages of the rules, validates the tree, evaluates it again
// with an observer that tells where one option's values came from, and then shows how the library
// reports mistakes: a load-if that does not parse, a value an option does not allow, and a node
// whose module nobody can supply. See docs/host-guide.md.
#include <tam/libtam.h>

#include <iostream>
#include <map>
#include <string>
#include <utility>

#include "CatalogAdapter.h"
#include "ProductNode.h"

namespace {

const std::map<std::string, std::string> kCatalog = {
    {"bike", R"(module bike
interface start
public style string "Riding style" = "city", "sport" default "city"
public speed integer "Top speed in km/h" = 15 to 45 default 25
public front_width presents "Front tyre width in mm" wheel:width [front]
interface end
if bike:style = "sport" then
  set wheel:width [rear] to 28
endif
inform "A " + bike:style + " bike"
)"},
    {"wheel", R"(module wheel
interface start
public width integer "Tyre width in mm" = 23 to 60 default 40
public style uses bike:style
interface end
if wheel:width < 30 then
  warn "Narrow " + wheel:style + " tyres need smooth roads"
endif
)"},
    {"light", R"(module light
interface start
public lumen integer "Light output in lumen" = 20 to 200 default 60
interface end
)"},
};

// The words for how a value was set, as the library numbers them.
const char* const kHowSetNames[] = {"default", "host",      "set",        "host_firm",
                                    "fix",     "inherited", "host_forced"};
const char* const kStateNames[] = {"undecided", "not configured", "configured"};
const char* const kSeverityNames[] = {"inform", "warn", "error"};

// A host value for one option of a module: what a customer or a sales tool chose.
TamSelOptionSet::TamSosEntry hostValue(const ref_count_ptr<TamModule>& module,
                                       const std::string& option,
                                       const ref_count_ptr<TamValue>& value,
                                       TamSelOptionSet::HowSet how) {
  TamSelOptionSet::TamSosEntry entry;
  entry.option = module->getOption(option);  // TamException 102 for an unknown option
  entry.values.push_back(value);
  entry.howSet.push_back(how);
  return entry;
}

// The library's state of a node is what its load-if decided. A node without a load-if stays
// CS_UNDECIDED and its rules run all the same, so this host shows it as configured. The nodes
// below a node that is not configured are not visited at all: they keep their earlier state, so
// the host shows them as not configured itself.
const char* stateName(const ProductNode& node, bool parentConfigured) {
  if (!parentConfigured) return kStateNames[TamNode::CS_NOT_CONFIGURED];
  if (node.getLoadIf()->rix().empty()) return kStateNames[TamNode::CS_CONFIGURED];
  return kStateNames[node.isNodeConfigured()];
}

// Prints a node's state and, when its rules ran, the values selected for its module's options,
// then does the same for its children.
void printTree(ProductNode& node, bool parentConfigured) {
  const bool configured =
      parentConfigured && node.isNodeConfigured() != TamNode::CS_NOT_CONFIGURED;
  std::cout << node.path() << ": " << stateName(node, parentConfigured) << "\n";
  if (configured && node.hasModule()) {
    for (const auto& [option, entry] : node.getSos().contents()) {
      std::cout << "  " << option->moduleId() << ":" << option->name() << " =";
      for (std::size_t i = 0; i < entry.values.size(); ++i) {
        std::cout << (i > 0 ? ", " : " ") << entry.values[i]->displayString() << " ("
                  << kHowSetNames[entry.howSet[i]] << ")";
      }
      std::cout << "\n";
    }
  }
  for (const auto& child : node.childNodes()) printTree(*child, configured);
}

// Hears an evaluation and tells where one option's values came from: every store into a node's
// set, and every value written for a node path that comes to apply to a node. A configurator
// would keep these steps to answer "why?" in its user interface.
class WhyObserver : public TamObserver {
 public:
  explicit WhyObserver(std::string option) : option_(std::move(option)) {}

  void valueStored(const Store& store) override {
    if (!about(store.entry)) return;
    std::cout << "  " << pathOf(store.node) << ": " << kCauseNames[store.cause] << " "
              << store.entry.values[0]->displayString();
    if (!store.entry.path.isEmpty()) {
      std::cout << " for [" << store.entry.path.toDisplayString() << "]";
    }
    std::cout << ", " << kOutcomeNames[store.outcome];
    // A rule's place: line and column in its module's rules (the text after the interface).
    if (store.statement.isKnown()) {
      std::cout << " by the rule at " << store.statement.moduleId << " "
                << store.statement.begin.line << ":" << store.statement.begin.column;
    }
    std::cout << "\n";
  }
  void entryRebound(const Rebound& rebound) override {
    if (!about(rebound.entry)) return;
    std::cout << "  " << pathOf(rebound.node) << ": the value for ["
              << rebound.path.toDisplayString() << "] applies here\n";
  }

 private:
  static constexpr const char* kCauseNames[] = {"rule", "host value", "presented", "inherited"};
  static constexpr const char* kOutcomeNames[] = {"stored",    "replaced", "added",
                                                  "unchanged", "refused",  "legacy"};

  bool about(const TamSelOptionSet::TamSosEntry& entry) const {
    return entry.option->moduleId() + ":" + entry.option->name() == option_;
  }
  static std::string pathOf(const TamNode* node) {
    const ProductNode* productNode = dynamic_cast<const ProductNode*>(node);
    return productNode != nullptr ? productNode->path() : "?";
  }

  std::string option_;
};

// What a host can tell a user about a failure: the code, where it happened, and the texts. A
// syntax error carries its message and, as context, the text around the error with a caret line.
void report(const TamException& e) {
  std::cout << "TamException " << e.code();
  if (const ProductNode* node = dynamic_cast<const ProductNode*>(e.node())) {
    std::cout << " at node " << node->path();
  }
  if (e.line() > 0) std::cout << " at line " << e.line();
  if (e.code() == TamSyntaxError::kCode) {
    std::cout << ": " << e.info() << "\n" << e.context() << "\n";
    return;
  }
  std::cout << ": info \"" << e.info() << "\", context \"" << e.context() << "\"\n";
}

}  // namespace

int main() {
  // The adapter must outlive every window; the library never deletes it.
  CatalogAdapter adapter(kCatalog);
  Tam::initialize(&adapter);
  try {
    ref_count_ptr<TamWindow> window = Tam::createWindow();

    // The product: a bike with two wheels, a light that only fast bikes get, and a kickstand
    // (a node without a module) for city bikes.
    ProductNode bike(window, nullptr, "bike", "bike");
    bike.addChild("front", "wheel");
    bike.addChild("rear", "wheel");
    ProductNode& light = bike.addChild("light", "light");
    light.setLoadIf("bike:speed > 25");
    bike.addChild("kickstand", "").setLoadIf("bike:style = \"city\"");
    window->setRoot(&bike);

    // The customer's choices, given at the root. bike:front_width presents the front wheel's
    // width, so its value reaches the wheel at the path "front".
    ref_count_ptr<TamModule> bikeModule = window->getModule("bike");
    TamSelOptionSet choices(window);
    choices.set(hostValue(bikeModule, "style", TamValue::createString("sport"),
                          TamSelOptionSet::HOWSET_HOST));
    choices.set(hostValue(bikeModule, "speed", TamValue::createInt(32),
                          TamSelOptionSet::HOWSET_HOST_FIRM));
    choices.set(hostValue(bikeModule, "front_width", TamValue::createInt(35),
                          TamSelOptionSet::HOWSET_HOST));
    bike.setSos(choices);

    // true: record each node's new configured state (and call stateChanged on a change).
    window->evaluate(true);
    printTree(bike, true);
    std::cout << "messages:\n";
    for (const RuleMessage& message : adapter.messages()) {
      std::cout << "  " << kSeverityNames[message.severity] << " at " << message.nodePath << ": "
                << message.text << "\n";
    }

    TamValidator validator;
    validator.validateNode(&bike, true);
    std::cout << "validation: " << validator.errors().size() << " finding(s)\n";

    // Why have the wheels their widths? The window's observer hears the next evaluation.
    std::cout << "why wheel:width:\n";
    WhyObserver why("wheel:width");
    window->setObserver(&why);
    window->evaluate(true);
    window->setObserver(nullptr);

    // Mistakes are reported as TamException, each where it is made.
    std::cout << "mistakes:\n";
    try {
      light.setLoadIf("bike:speed >> 25");
    } catch (const TamException& e) {
      report(e);  // the old load-if stays in place
    }
    try {
      choices.set(hostValue(bikeModule, "speed", TamValue::createInt(80),
                            TamSelOptionSet::HOWSET_HOST));
    } catch (const TamException& e) {
      report(e);  // 80 is outside 15 to 45: the set is unchanged
    }
    bike.addChild("basket", "basket");
    try {
      window->evaluate(true);
    } catch (const TamException& e) {
      report(e);  // the catalog has no module basket; the exception names the node
    }
    return 0;
  } catch (const TamException& e) {
    report(e);
    return 1;
  }
}
