// End to end, through the public headers and the shared library only: a delivery-van product line
// of eight modules given as whole module texts, evaluated, validated, then an option and a module
// renamed the way a host would do it, and evaluated again with the same results.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "TestHost.h"
#include "tam/libtam.h"

namespace {

using tamtest::TestAdapter;
using tamtest::TestNode;

const std::map<std::string, std::string> kVanTexts = {
    {"van",
     "module van\n"
     "interface start\n"
     "public payload integer \"Payload in kg\" = 500 to 2000 default 800\n"
     "public wheelbase string \"Wheelbase\" = \"short\" \"long\" default \"short\"\n"
     "public electric logical \"Battery electric drive\" default false\n"
     "public area string \"Sales area\" = \"eu\" \"us\" default \"eu\"\n"
     "public engine_power presents engine:power_kw [power.engine]\n"
     "public battery_size presents battery:capacity_kwh [power.battery]\n"
     "public cargo_length presents cargo:length_m [body.cargo] default 3.2\n"
     "interface end\n"
     "if van:payload > 1200 then\n"
     "  fix van:wheelbase to \"long\"\n"
     "  set van:cargo_length to 4.3   # long vans get the long load floor\n"
     "elif van:payload > 900 then\n"
     "  set van:cargo_length to 3.6\n"
     "endif\n"
     "if van:electric then set van:battery_size to 75 else set van:engine_power to 96 endif\n"
     "if van:area = \"us\" and van:electric then\n"
     "  warn \"electric vans ship to the US without fast charging\"\n"
     "endif\n"
     "inform \"wheelbase \" + van:wheelbase\n"
     "set van:order_note to van:wheelbase\n"},
    {"cab",
     "module cab\n"
     "interface start\n"
     "public seats integer = 2, 3 default 2\n"
     "public roof_rack string = \"steel\" \"alu\"\n"
     "public high_roof string = \"standard\" \"extra\"\n"
     "public air_con logical default false\n"
     "public market uses van:area\n"
     "interface end\n"
     "mutually_exclusive : [roof_rack, high_roof]\n"
     "if cab:market = \"us\" then fix cab:air_con to true endif\n"},
    {"cargo",
     "module cargo\n"
     "interface start\n"
     "public length_m real \"Load floor length\" = 2.5 to 5.0 default 3.2\n"
     "public floor string = \"wood\" \"steel\" default \"wood\"\n"
     "public climate string = \"ambient\" \"chilled\" \"frozen\" default \"ambient\"\n"
     "public shelves integer non_mutually_exclusive = 1 to 6\n"
     "interface end\n"
     "mutually_exclusive : {floor.wood, climate.frozen}\n"
     "if cargo:length_m >= 4 then set cargo:shelves to 4 set cargo:shelves to 2 endif\n"},
    {"engine",
     "module engine\n"
     "interface start\n"
     "public power_kw integer = 60, 96, 120 default 60\n"
     "public fuel string = \"diesel\" \"petrol\" default \"diesel\"\n"
     "public emissions string = \"euro6\" \"tier3\" default \"euro6\"\n"
     "public market uses van:area\n"
     "interface end\n"
     "if engine:market = \"us\" then fix engine:emissions to \"tier3\" endif\n"
     "if engine:power_kw > 100 and engine:fuel = \"petrol\" then\n"
     "  error \"petrol engines stop at 96 kW\"\n"
     "endif\n"},
    {"battery",
     "module battery\n"
     "interface start\n"
     "public capacity_kwh integer = 50, 75, 90 default 50\n"
     "public charger string = \"ac11\" \"dc50\" \"dc100\" default \"ac11\"\n"
     "interface end\n"
     "if battery:capacity_kwh >= 75 then set battery:charger to \"dc50\" endif\n"},
    {"chassis",
     "module chassis\n"
     "interface start\n"
     "public gvw integer \"Gross vehicle weight\" = 2800 to 4250 default 3500\n"
     "public axle_load presents brakes:rated_kg [brakes]\n"
     "interface end\n"
     "if chassis:gvw > 3500 then set chassis:axle_load to 2000 endif\n"},
    {"brakes",
     "module brakes\n"
     "interface start\n"
     "public rated_kg integer = 1500, 2000 default 1500\n"
     "public discs string = \"front\" \"all\" default \"front\"\n"
     "public max_payload implements van:payload = 500 to 1500\n"
     "interface end\n"
     "if brakes:rated_kg = 2000 then fix brakes:discs to \"all\" endif\n"},
    {"lights",
     "module lights\n"
     "interface start\n"
     "public headlamps string = \"halogen\" \"led\" default \"halogen\"\n"
     "public daytime logical default false\n"
     "public market uses van:area\n"
     "interface end\n"
     "if lights:market = \"eu\" then fix lights:daytime to true endif\n"},
};

// Modules refer to each other both ways (the van presents engine options, the engine uses the van's
// sales area), so the van must declare its area before the options that load the engine. Module
// texts are written back with declarations in name order: "area" sorts first and keeps that true.

// The product tree; module-less nodes group their children so that presented paths such as
// power.engine name a position below the van.
struct VanTree {
  std::unique_ptr<TestNode> root;
  std::map<std::string, TestNode*> nodes;  // by path id
};

VanTree buildTree(const ref_count_ptr<TamWindow>& window, const std::string& batteryModule) {
  VanTree tree;
  tree.root = std::make_unique<TestNode>(window, "van", "van");
  TestNode* root = tree.root.get();
  tree.nodes["van"] = root;
  TestNode* body = root->addChild("body");
  tree.nodes["cab"] = body->addChild("cab", "cab");
  tree.nodes["cargo"] = body->addChild("cargo", "cargo");
  TestNode* power = root->addChild("power");
  tree.nodes["engine"] = power->addChild("engine", "engine");
  tree.nodes["battery"] = power->addChild("battery", batteryModule);
  TestNode* chassis = root->addChild("chassis", "chassis");
  tree.nodes["chassis"] = chassis;
  tree.nodes["brakes"] = chassis->addChild("brakes", "brakes");
  tree.nodes["lights"] = root->addChild("lights", "lights");
  return tree;
}

const std::map<std::string, std::string> kLoadIfs = {
    {"engine", "not van:electric"},
    {"battery", "van:electric"},
    {"lights", "van:area = \"eu\" or van:area = \"us\""},
};

void setLoadIfs(VanTree& tree, TamTranslater* translater) {
  for (const auto& [node, condition] : kLoadIfs) {
    tree.nodes[node]->setLoadIf(translater ? translater->translateCondition(condition) : condition);
  }
}

// The host's choices at the van node.
void setHostValues(const ref_count_ptr<TamWindow>& window, TestNode* van, int payload,
                   bool electric) {
  ref_count_ptr<TamModule> module = window->getModule("van");
  TamSelOptionSet sos(window);
  auto hostValue = [&](const char* name, const ref_count_ptr<TamValue>& value) {
    TamSelOptionSet::TamSosEntry entry;
    entry.option = module->getOption(name);
    entry.values = {value};
    entry.howSet = {TamSelOptionSet::HOWSET_HOST};
    sos.set(entry);
  };
  hostValue("payload", TamValue::createInt(payload));
  hostValue("electric", TamValue::createBool(electric));
  hostValue("area", TamValue::createString("us"));
  van->setSos(sos);
}

// Each configured node's selected values as "option=v1,v2(howSet)" lines keyed by node, with
// option names only, so that results compare across module and option renames.
std::map<std::string, std::vector<std::string>> results(
    VanTree& tree, const std::map<std::string, std::string>& optionRenames = {}) {
  std::map<std::string, std::vector<std::string>> out;
  for (const auto& [name, node] : tree.nodes) {
    if (node->isNodeConfigured() == TamNode::CS_NOT_CONFIGURED) {
      out[name].push_back("not configured");
      continue;
    }
    for (const auto& [option, entry] : node->getSos().contents()) {
      std::string optionName = option->name();
      auto renamed = optionRenames.find(optionName);
      if (renamed != optionRenames.end()) optionName = renamed->second;
      std::string line = optionName + "=";
      for (size_t i = 0; i < entry.values.size(); ++i) {
        line += (i ? "," : "") + entry.values[i]->displayString() + "(" +
                std::to_string(entry.howSet[i]) + ")";
      }
      out[name].push_back(line);
    }
    // Entries list in option creation order, which a rename changes; compare them by name.
    std::sort(out[name].begin(), out[name].end());
  }
  return out;
}

std::string firstValue(TestNode* node, const std::string& module, const std::string& option) {
  ref_count_ptr<TamOption> handle = node->window()->getModule(module)->getOption(option);
  return node->getSos().get(handle).values.at(0)->displayString();
}

class VanProductTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [id, text] : kVanTexts) adapter.addModuleText(id, text);
    window = Tam::createWindow();
    window->getModule("van")->declareLegacyOption("order_note");
    tree = buildTree(window, "battery");
    setLoadIfs(tree, nullptr);
    window->setRoot(tree.root.get());
  }
  void TearDown() override { window->setRoot(nullptr); }

  TestAdapter adapter;
  ref_count_ptr<TamWindow> window;
  VanTree tree;
};

TEST_F(VanProductTest, EvaluatesEveryNode) {
  setHostValues(window, tree.root.get(), 1300, false);
  window->evaluate(true);

  EXPECT_EQ(tree.nodes["engine"]->isNodeConfigured(), TamNode::CS_CONFIGURED);
  EXPECT_EQ(tree.nodes["battery"]->isNodeConfigured(), TamNode::CS_NOT_CONFIGURED);
  EXPECT_EQ(tree.nodes["lights"]->isNodeConfigured(), TamNode::CS_CONFIGURED);
  EXPECT_EQ(tree.nodes["van"]->isNodeConfigured(), TamNode::CS_UNDECIDED);

  TestNode* van = tree.nodes["van"];
  EXPECT_EQ(firstValue(van, "van", "payload"), "1300");
  EXPECT_EQ(firstValue(van, "van", "wheelbase"), "long");
  EXPECT_EQ(firstValue(van, "van", "cargo_length"), "4.300000");
  // Presented values reach the presented position with the rule's HowSet.
  EXPECT_EQ(firstValue(tree.nodes["cargo"], "cargo", "length_m"), "4.300000");
  EXPECT_EQ(firstValue(tree.nodes["engine"], "engine", "power_kw"), "96");
  // Used options inherit the van's market and drive each module's rules.
  EXPECT_EQ(firstValue(tree.nodes["engine"], "engine", "emissions"), "tier3");
  EXPECT_EQ(firstValue(tree.nodes["cab"], "cab", "air_con"), "true");
  EXPECT_EQ(firstValue(tree.nodes["lights"], "lights", "daytime"), "false");
  EXPECT_EQ(firstValue(tree.nodes["brakes"], "brakes", "discs"), "front");

  ref_count_ptr<TamOption> shelves = window->getModule("cargo")->getOption("shelves");
  const TamSelOptionSet::TamSosEntry& shelf = tree.nodes["cargo"]->getSos().get(shelves);
  ASSERT_EQ(shelf.values.size(), 2u);
  EXPECT_EQ(shelf.values[0]->intValue(), 4);
  EXPECT_EQ(shelf.values[1]->intValue(), 2);

  // The legacy option went to the host; the inform message reached it once.
  ASSERT_EQ(adapter.legacyValues["van:order_note"].size(), 1u);
  EXPECT_EQ(adapter.legacyValues["van:order_note"][0]->displayString(), "long");
  ASSERT_EQ(adapter.messages.size(), 1u);
  EXPECT_EQ(adapter.messages[0].severity, Tam::MSG_INFORM);
  EXPECT_EQ(adapter.messages[0].text, "wheelbase long");
  EXPECT_EQ(adapter.messages[0].node, van);

  // A new host value: the battery comes in, the engine goes, the van warns about the market.
  adapter.messages.clear();
  setHostValues(window, van, 1000, true);
  window->evaluate(true);
  EXPECT_EQ(tree.nodes["engine"]->isNodeConfigured(), TamNode::CS_NOT_CONFIGURED);
  EXPECT_EQ(tree.nodes["battery"]->isNodeConfigured(), TamNode::CS_CONFIGURED);
  EXPECT_EQ(firstValue(tree.nodes["battery"], "battery", "charger"), "dc50");
  EXPECT_EQ(firstValue(tree.nodes["cargo"], "cargo", "length_m"), "3.600000");
  ASSERT_EQ(adapter.messages.size(), 2u);
  EXPECT_EQ(adapter.messages[0].severity, Tam::MSG_WARN);
  EXPECT_EQ(adapter.messages[1].text, "wheelbase short");
}

TEST_F(VanProductTest, MutuallyExclusiveRulesStopTheirNode) {
  TestNode* cargo = tree.nodes["cargo"];
  TamSelOptionSet sos(window);
  TamSelOptionSet::TamSosEntry frozen;
  frozen.option = window->getModule("cargo")->getOption("climate");
  frozen.values = {TamValue::createString("frozen")};
  frozen.howSet = {TamSelOptionSet::HOWSET_HOST};
  sos.set(frozen);
  cargo->setSos(sos);
  try {
    window->evaluate(true);
    FAIL() << "wooden floor with frozen climate was accepted";
  } catch (const TamException& e) {
    EXPECT_EQ(e.code(), 107);
    EXPECT_EQ(e.info(), "option value mutually exclusive rule");
    EXPECT_EQ(e.context(), "floor.wood");
    EXPECT_EQ(e.extrainfo2(), "climate.frozen");
    EXPECT_EQ(e.node(), cargo);
  }
}

TEST_F(VanProductTest, ValidationFindsOnlyTheHostKeptOption) {
  TamValidator validator;
  validator.validateNode(tree.root.get(), true);
  // The van's rules write the legacy option the host keeps; legacy options are never part of a
  // module's visible options, so the validator points at it and at nothing else.
  ASSERT_EQ(validator.errors().size(), 1u);
  const ValidationError& finding = validator.errors()[0];
  EXPECT_EQ(finding.code(), ValidationError::VE_RULE_OPTION_NOT_IN_SCOPE);
  EXPECT_EQ(finding.node(), tree.nodes["van"]);
  EXPECT_EQ(finding.option()->name(), "order_note");
}

TEST_F(VanProductTest, RenamesKeepTheResults) {
  setHostValues(window, tree.root.get(), 1300, false);
  window->evaluate(true);
  const auto before = results(tree);

  // Rename cargo:length_m to cargo:length inside its module, and carry the van's reference over.
  ref_count_ptr<TamModule> cargo = window->getModule("cargo");
  ref_count_ptr<TamOption> length = cargo->changeOptionString(
      cargo->getOption("length_m"), "length",
      "public length real \"Load floor length\" = 2.5 to 5.0 default 3.2");
  EXPECT_EQ(length->name(), "length");
  EXPECT_NE(cargo->getRix()->rix().find("cargo:length >= 4"), std::string::npos);
  TamTranslater optionRename;
  optionRename.addOptionMapping("cargo", "length_m", "length");
  ref_count_ptr<TamModule> van = window->getModule("van");
  van->setRixData(optionRename.translateRixData("van", van->getRixData()));
  EXPECT_NE(van->askOptionRix("cargo_length").find("cargo:length [body.cargo]"),
            std::string::npos);

  window->evaluate(true);
  EXPECT_EQ(results(tree, {{"length", "length_m"}}), before);

  // Rename the battery module: every text is translated, the battery's own under its new id,
  // and a fresh window is loaded from the translated texts and conditions.
  TamTranslater moduleRename;
  moduleRename.addModuleMapping("battery", "hv_battery");
  TestAdapter renamedHost;
  for (const auto& [id, module] : window->moduleMap()) {
    std::string newId = id == "battery" ? "hv_battery" : id;
    renamedHost.addModuleText(newId, moduleRename.translateRixData(newId, module->getRixData()));
  }
  EXPECT_NE(renamedHost.texts["van"].find("presents hv_battery:capacity_kwh [power.battery]"),
            std::string::npos);
  ref_count_ptr<TamWindow> renamed = Tam::createWindow();
  renamed->getModule("van")->declareLegacyOption("order_note");
  VanTree renamedTree = buildTree(renamed, "hv_battery");
  setLoadIfs(renamedTree, &moduleRename);
  renamed->setRoot(renamedTree.root.get());
  setHostValues(renamed, renamedTree.root.get(), 1300, false);
  renamed->evaluate(true);
  EXPECT_EQ(results(renamedTree, {{"length", "length_m"}}), before);
  renamed->setRoot(nullptr);
}

// Records only that it heard something of each node, and how many stores it heard.
class CountingObserver : public TamObserver {
 public:
  void nodeFinished(const NodeResult& result) override {
    finished.push_back(const_cast<TamNode*>(result.node)->pathId());
  }
  void valueStored(const Store&) override { ++stores; }
  std::vector<std::string> finished;
  int stores = 0;
};

// What one evaluation of a fresh window gave the host: values and states, messages, legacy
// values, state changes and the failure, if any.
std::string evaluateFresh(int payload, bool electric, bool frozen, TamObserver* observer) {
  TestAdapter adapter;
  for (const auto& [id, text] : kVanTexts) adapter.addModuleText(id, text);
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  window->getModule("van")->declareLegacyOption("order_note");
  VanTree tree = buildTree(window, "battery");
  setLoadIfs(tree, nullptr);
  window->setRoot(tree.root.get());
  window->setObserver(observer);
  setHostValues(window, tree.root.get(), payload, electric);
  if (frozen) {
    TamSelOptionSet sos(window);
    sos.set({window->getModule("cargo")->getOption("climate"), TamPath(),
             {TamValue::createString("frozen")}, {TamSelOptionSet::HOWSET_HOST}});
    tree.nodes["cargo"]->setSos(sos);
  }
  std::string text;
  try {
    window->evaluate(true);
  } catch (const TamException& e) {
    text += "failed " + std::to_string(e.code()) + " at " + e.node()->pathId() + "\n";
  }
  window->setObserver(nullptr);
  for (const auto& [node, lines] : results(tree)) {
    text += node + ":";
    for (const std::string& line : lines) text += " " + line;
    text += "\n";
  }
  for (const tamtest::RecordedMessage& message : adapter.messages) {
    text += "message " + std::to_string(message.severity) + " " + message.text + "\n";
  }
  for (const auto& [option, values] : adapter.legacyValues) {
    text += "legacy " + option + "=" + values.at(0)->displayString() + "\n";
  }
  for (const auto& [name, node] : tree.nodes) {
    for (TamNode::ConfigState state : node->stateChanges) {
      text += "changed " + name + " " + std::to_string(state) + "\n";
    }
  }
  window->setRoot(nullptr);
  return text;
}

// An installed observer changes nothing the host sees, on success and on failure alike.
TEST(VanProductObserverTest, AnObserverChangesNoResult) {
  struct Case {
    int payload;
    bool electric;
    bool frozen;
  };
  const Case cases[] = {{1300, false, false}, {1000, true, false}, {700, false, false},
                        {1300, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.payload) + (c.electric ? " electric" : "") +
                 (c.frozen ? " frozen" : ""));
    const std::string without = evaluateFresh(c.payload, c.electric, c.frozen, nullptr);
    EXPECT_EQ(without.rfind("failed 107 at cargo", 0) == 0, c.frozen);
    CountingObserver observer;
    EXPECT_EQ(evaluateFresh(c.payload, c.electric, c.frozen, &observer), without);
    EXPECT_GT(observer.stores, 0);
    ASSERT_FALSE(observer.finished.empty());
    EXPECT_EQ(observer.finished.front(), "van");
  }
}

}  // namespace
