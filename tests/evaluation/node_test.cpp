// Node tree evaluation as a host drives it: configured states from load-if conditions, legacy
// conditions and forced states, notification, what a stopped node keeps, sibling isolation, the
// host's hooks, and the node and line stamped into failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EvalHost.h"

namespace {

using evaltest::entry;
using tamtest::TestNode;
using CS = TamNode::ConfigState;

class NodeTest : public evaltest::EvalTest {
 protected:
  void SetUp() override {
    addModule("cfg",
              {"public level integer = 1 to 9 default 1",
               "public tone string = \"dark\" \"light\""},
              "");
    // Modules without options only run rules: their nodes are no module boundaries.
    addModule("probe", {}, "inform \"ran\"");
  }

  // Sets cfg:level at the root as the host would.
  void chooseLevel(TestNode& root, int level) {
    TamSelOptionSet chosen(window);
    chosen.set(entry(option("cfg", "level"), {TamValue::createInt(level)},
                     {TamSelOptionSet::HOWSET_HOST}));
    root.setSos(chosen);
  }
};

TEST_F(NodeTest, ConfiguredStatesNotificationAndForcing) {
  struct Case {
    const char* name;
    const char* loadIf;
    CS forced;
    bool notify;
    std::vector<CS> changes;  // reported over two evaluations
    CS state;
    bool runs;  // the node's rules and its child ran
  };
  const Case cases[] = {
      {"no condition", "", CS::CS_UNDECIDED, true, {}, CS::CS_UNDECIDED, true},
      {"true", "cfg:level < 3", CS::CS_UNDECIDED, true, {CS::CS_CONFIGURED}, CS::CS_CONFIGURED,
       true},
      {"false, reported once", "cfg:level > 3", CS::CS_UNDECIDED, true, {CS::CS_NOT_CONFIGURED},
       CS::CS_NOT_CONFIGURED, false},
      {"false without notify", "cfg:level > 3", CS::CS_UNDECIDED, false, {}, CS::CS_UNDECIDED,
       false},
      {"true without notify", "cfg:level < 3", CS::CS_UNDECIDED, false, {}, CS::CS_UNDECIDED,
       true},
      {"false but forced on", "cfg:level > 3", CS::CS_CONFIGURED, true, {CS::CS_NOT_CONFIGURED},
       CS::CS_NOT_CONFIGURED, true},
      {"true but forced off", "cfg:level < 3", CS::CS_NOT_CONFIGURED, true, {CS::CS_CONFIGURED},
       CS::CS_CONFIGURED, false},
      {"undecided: option without a value", "cfg:tone = \"dark\"", CS::CS_UNDECIDED, true, {},
       CS::CS_UNDECIDED, true},
      {"undecided and forced off", "cfg:tone = \"dark\"", CS::CS_NOT_CONFIGURED, true, {},
       CS::CS_UNDECIDED, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    adapter.messages.clear();
    TestNode root(window, "root", "cfg");
    TestNode* node = root.addChild("n", "probe");
    TestNode* child = node->addChild("k", "probe");
    node->setLoadIf(c.loadIf);
    node->forced = c.forced;
    window->setRoot(&root);
    window->evaluate(c.notify);
    window->evaluate(c.notify);
    window->setRoot(nullptr);
    EXPECT_EQ(node->stateChanges, c.changes);
    EXPECT_EQ(node->isNodeConfigured(), c.state);
    EXPECT_EQ(messagesAt(node).size(), c.runs ? 2u : 0u);
    EXPECT_EQ(messagesAt(child).size(), c.runs ? 2u : 0u);
  }
}

TEST_F(NodeTest, AStoppedNodeKeepsItsPreviousResult) {
  TestNode root(window, "root", "cfg");
  TestNode* node = root.addChild("n");
  TestNode* probe = node->addChild("p", "probe");
  node->setLoadIf("cfg:level < 5");
  window->setRoot(&root);

  chooseLevel(root, 3);
  window->evaluate(true);
  EXPECT_EQ(node->isNodeConfigured(), CS::CS_CONFIGURED);
  EXPECT_EQ(tamtest::valueText(node->getSos(), option("cfg", "level")), "3");
  EXPECT_EQ(messagesAt(probe).size(), 1u);

  // Level 6 switches the node off: neither it nor its child is evaluated again.
  chooseLevel(root, 6);
  window->evaluate(true);
  EXPECT_EQ(node->isNodeConfigured(), CS::CS_NOT_CONFIGURED);
  EXPECT_EQ(tamtest::valueText(node->getSos(), option("cfg", "level")), "3");
  EXPECT_EQ(messagesAt(probe).size(), 1u);

  // Without its condition the node keeps its state, and so stays off.
  node->setLoadIf("");
  EXPECT_NE(node->getLoadIf().get(), node->getLoadIf().get());
  EXPECT_EQ(node->getLoadIf()->condition(), nullptr);
  chooseLevel(root, 2);
  window->evaluate(true);
  EXPECT_EQ(node->isNodeConfigured(), CS::CS_NOT_CONFIGURED);
  EXPECT_EQ(tamtest::valueText(node->getSos(), option("cfg", "level")), "3");
  EXPECT_EQ(messagesAt(probe).size(), 1u);
  EXPECT_EQ(node->stateChanges, (std::vector<CS>{CS::CS_CONFIGURED, CS::CS_NOT_CONFIGURED}));
  window->setRoot(nullptr);
}

TEST_F(NodeTest, NodesWithoutModuleHandTheSetOn) {
  // A module boundary sees the options of modules above it only through options it uses.
  addModule("part", {"public size integer = 0 to 99 default 0", "public lvl uses cfg:level"},
            "set part:size to part:lvl * 2 + cfg:level");
  TestNode root(window, "root", "cfg");
  TestNode* plain = root.addChild("a")->addChild("b");
  TestNode* part = plain->addChild("p", "part");
  chooseLevel(root, 4);
  window->setRoot(&root);
  window->evaluate(true);
  window->setRoot(nullptr);
  EXPECT_EQ(tamtest::valueText(plain->getSos(), option("cfg", "level")), "4");
  EXPECT_EQ(tamtest::valueText(part->getSos(), option("part", "size")), "9");
  try {
    plain->module();
    ADD_FAILURE() << "module() of a node without one";
  } catch (const TamException& e) {
    EXPECT_EQ(e.code(), 309);
  }
  EXPECT_FALSE(plain->isModuleBoundary());
  EXPECT_TRUE(part->isModuleBoundary());
  EXPECT_FALSE(root.addChild("q", "probe")->isModuleBoundary());
}

TEST_F(NodeTest, SiblingsSeeOnlyTheirOwnSelections) {
  // Neither module declares options, so the sets keep cfg's entries; a reader child below each
  // shows what its parent selected.
  addModule("fixer", {}, "fix cfg:level to 7");
  addModule("setter", {}, "set cfg:level to 2");
  TestNode root(window, "root", "cfg");
  TestNode* fixer = root.addChild("f", "fixer");
  TestNode* setter = root.addChild("s", "setter");
  TestNode* fixerReader = fixer->addChild("r");
  TestNode* setterReader = setter->addChild("r");
  window->setRoot(&root);
  window->evaluate(true);
  // Had the setter seen the fixer's fix, its own set would have been refused.
  EXPECT_EQ(tamtest::valueText(fixerReader->getSos(), option("cfg", "level")), "7");
  EXPECT_EQ(tamtest::valueText(setterReader->getSos(), option("cfg", "level")), "2");
  EXPECT_EQ(tamtest::valueText(root.getSos(), option("cfg", "level")), "1");

  // One child evaluated again alone.
  adapter.messages.clear();
  addModule("probe2", {}, "inform \"again\"");
  TestNode* first = root.addChild("x", "probe2");
  TestNode* second = root.addChild("y", "probe2");
  root.evaluateChild(second, true);
  EXPECT_TRUE(messagesAt(first).empty());
  EXPECT_EQ(messagesAt(second), std::vector<std::string>{"again"});
  window->setRoot(nullptr);
}

// A host node with a legacy condition and hooks that note when they run.
class HookNode : public TestNode {
 public:
  HookNode(const ref_count_ptr<TamWindow>& window, const std::string& moduleId,
           tamtest::TestAdapter& adapter)
      : TestNode(window, "h", moduleId), adapter_(adapter) {}
  bool legacyConditionExists() override { return hasLegacyCondition; }
  ConfigState evaluateLegacyCondition() override { return legacyState; }
  void evaluateLegacyExpressions() override { log.push_back(adapter_.messages.size()); }
  void evaluateLegacyErrorChecks() override { log.push_back(adapter_.messages.size()); }

  bool hasLegacyCondition = false;
  ConfigState legacyState = CS_UNDECIDED;
  std::vector<size_t> log;  // messages received when each hook ran

 private:
  tamtest::TestAdapter& adapter_;
};

TEST_F(NodeTest, HostHooksAndLegacyConditions) {
  HookNode root(window, "probe", adapter);
  root.addChild("k", "probe");
  window->setRoot(&root);
  window->evaluate(true);
  // The expressions hook runs before the node's rules, the error checks after its children.
  EXPECT_EQ(root.log, (std::vector<size_t>{0, 2}));

  root.hasLegacyCondition = true;
  root.legacyState = CS::CS_NOT_CONFIGURED;
  root.setLoadIf("");
  window->evaluate(true);
  EXPECT_EQ(root.isNodeConfigured(), CS::CS_NOT_CONFIGURED);
  EXPECT_EQ(root.stateChanges, std::vector<CS>{CS::CS_NOT_CONFIGURED});
  EXPECT_EQ(root.log.size(), 2u);

  // A load-if condition takes precedence over the legacy condition.
  root.setLoadIf("1 = 1");
  window->evaluate(true);
  EXPECT_EQ(root.isNodeConfigured(), CS::CS_CONFIGURED);
  EXPECT_EQ(root.log.size(), 4u);
  window->setRoot(nullptr);
}

TEST_F(NodeTest, FailuresNameTheNodeAndTheLine) {
  struct Case {
    const char* name;
    const char* rules;
    const char* loadIf;
    int code;
    int line;
  };
  const Case cases[] = {
      // A statement's line is that of the token after it.
      {"value refused", "set $:a to 1\nset $:a to 99\nset $:a to 2", "", 204, 3},
      {"last statement", "set $:a to 1\n\nset $:a to 99", "", 204, 3},
      {"inside an if", "if 1 = 1 then\n  set $:a to 1\n  set $:a to 10\nendif", "", 204, 4},
      {"message refused", "set $:a to 1\nerror \"stop\"\nset $:a to 2", "", 500, 3},
      {"load-if of the wrong kind", "", "cfg:level + 1", 202, 0},
      {"load-if ordering a number and a string", "", "cfg:level > \"x\"", 202, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string id = "f" + std::to_string(n++);
    std::string rules = c.rules;
    for (size_t at = rules.find('$'); at != std::string::npos; at = rules.find('$', at)) {
      rules.replace(at, 1, id);
    }
    addModule(id, {"public a integer = 0 to 9 default 0"}, rules);
    adapter.acceptMessages = false;
    TestNode root(window, "root", "cfg");
    TestNode* node = root.addChild("n")->addChild("m", id);
    node->setLoadIf(c.loadIf);
    window->setRoot(&root);
    try {
      window->evaluate(true);
      ADD_FAILURE() << "evaluation went through";
    } catch (const TamException& e) {
      EXPECT_EQ(e.code(), c.code);
      EXPECT_EQ(e.line(), c.line);
      // Stamped by the failing node; its ancestors pass it on unchanged.
      EXPECT_EQ(e.node(), node);
    }
    window->setRoot(nullptr);
  }
  adapter.acceptMessages = true;
}

TEST_F(NodeTest, ABadConditionLeavesTheOldOneInPlace) {
  TestNode node(window, "n");
  node.setLoadIf("cfg:level > 2");
  const ref_count_ptr<TamConditionExp> before = node.getLoadIf();
  EXPECT_THROW(node.setLoadIf("cfg:level >"), TamSyntaxError);
  EXPECT_THROW(node.setLoadIf("cfg:level > 2 cfg:level"), TamSyntaxError);
  EXPECT_EQ(node.getLoadIf().get(), before.get());
  EXPECT_EQ(node.getLoadIf()->rix(), "cfg:level > 2");
}

}  // namespace
