// Node tree evaluation as a host drives it: configured states from load-if conditions, legacy
// conditions and forced states, notification, what a stopped node keeps, sibling isolation, the
// host's hooks, and the node and line stamped into failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EvalHost.h"

namespace {

using evaltest::failureOf;
using tamtest::TestNode;
using CS = TamNode::ConfigState;
constexpr CS U = TamNode::CS_UNDECIDED;
constexpr CS OFF = TamNode::CS_NOT_CONFIGURED;
constexpr CS ON = TamNode::CS_CONFIGURED;

class NodeTest : public evaltest::EvalTest {
 protected:
  void SetUp() override {
    addModule("cfg", {"public level integer default 1", "public tone string = \"a\" \"b\""}, "");
    // A module without options only runs rules: its nodes are no module boundaries.
    addModule("probe", {}, "inform \"ran\"");
  }
};

TEST_F(NodeTest, ConfiguredStatesNotificationAndForcing) {
  // root (cfg) -> n (probe, the load-if) -> k (probe), evaluated twice.
  struct Case {
    const char* loadIf; CS forced; bool notify; std::vector<CS> changes; CS state; bool runs;
  };
  const Case cases[] = {
      {"", U, true, {}, U, true},
      {"cfg:level < 3", U, true, {ON}, ON, true},
      {"cfg:level > 3", U, true, {OFF}, OFF, false},  // reported once
      {"cfg:level > 3", U, false, {}, U, false},
      {"cfg:level > 3", ON, true, {OFF}, OFF, true},
      {"cfg:level < 3", OFF, true, {ON}, ON, false},
      {"cfg:tone = \"a\"", U, true, {}, U, true},  // an option without a value
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.loadIf << " forced " << c.forced << " " << c.notify);
    adapter.messages.clear();
    TestNode root(window, "root", "cfg");
    TestNode* node = root.addChild("n", "probe");
    TestNode* child = node->addChild("k", "probe");
    node->setLoadIf(c.loadIf);
    node->forced = c.forced;
    evaluate(root, c.notify);
    evaluate(root, c.notify);
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
  EXPECT_THROW(node->setLoadIf("cfg:level < 5 cfg:level"), TamSyntaxError);  // keeps the old one
  // Level 6 switches the node off; without its condition it keeps that state and stays off.
  struct Round { int level; bool dropCondition; CS state; };
  const Round rounds[] = {{3, false, ON}, {6, false, OFF}, {2, true, OFF}};
  for (const Round& r : rounds) {
    SCOPED_TRACE(r.level);
    if (r.dropCondition) node->setLoadIf("");
    hostSet(root, "cfg", "level", TamValue::createInt(r.level));
    evaluate(root);
    EXPECT_EQ(node->isNodeConfigured(), r.state);
    EXPECT_EQ(value(*node, "cfg", "level"), "3");
    EXPECT_EQ(messagesAt(probe).size(), 1u);
  }
  EXPECT_EQ(node->stateChanges, (std::vector<CS>{ON, OFF}));
  EXPECT_NE(node->getLoadIf().get(), node->getLoadIf().get());
  EXPECT_EQ(node->getLoadIf()->condition(), nullptr);
}

TEST_F(NodeTest, SetsFlowDownAndSiblingsSeeOnlyTheirOwn) {
  // Neither fixer nor setter declares options, so their sets keep cfg's entries; had the setter
  // seen the fixer's fix, its own set would have been refused. A reader child shows what each
  // selected. A boundary sees the options of modules above it only through options it uses.
  addModule("fixer", {}, "fix cfg:level to 7");
  addModule("setter", {}, "set cfg:level to 2");
  addModule("part", {"public size integer = 0 to 99 default 0", "public lvl uses cfg:level"},
            "set part:size to part:lvl * 2 + cfg:level");
  TestNode root(window, "root", "cfg");
  TestNode* fixed = root.addChild("f", "fixer")->addChild("r");
  TestNode* set = root.addChild("s", "setter")->addChild("r");
  TestNode* plain = root.addChild("a")->addChild("b");
  TestNode* part = plain->addChild("p", "part");
  hostSet(root, "cfg", "level", TamValue::createInt(4));
  evaluate(root);
  EXPECT_EQ(value(*fixed, "cfg", "level"), "7");
  EXPECT_EQ(value(*set, "cfg", "level"), "2");
  EXPECT_EQ(value(root, "cfg", "level"), "4");
  EXPECT_EQ(value(*plain, "cfg", "level"), "4");
  EXPECT_EQ(value(*part, "part", "size"), "9");
  EXPECT_EQ(failureOf([&] { plain->module(); }), "309 ||");
  EXPECT_FALSE(plain->isModuleBoundary());
  EXPECT_TRUE(part->isModuleBoundary());

  // One child evaluated again alone; a module without options makes no boundary.
  adapter.messages.clear();
  TestNode* first = root.addChild("x", "probe");
  TestNode* second = root.addChild("y", "probe");
  root.evaluateChild(second, true);
  EXPECT_TRUE(messagesAt(first).empty());
  EXPECT_EQ(messagesAt(second), std::vector<std::string>{"ran"});
  EXPECT_FALSE(second->isModuleBoundary());
}

// A host node with a legacy condition and hooks that note how many messages had arrived.
class HookNode : public TestNode {
 public:
  HookNode(const ref_count_ptr<TamWindow>& window, tamtest::TestAdapter& adapter)
      : TestNode(window, "h", "probe"), adapter_(adapter) {}
  bool legacyConditionExists() override { return legacyState != CS_UNDECIDED; }
  ConfigState evaluateLegacyCondition() override { return legacyState; }
  void evaluateLegacyExpressions() override { log.push_back(adapter_.messages.size()); }
  void evaluateLegacyErrorChecks() override { log.push_back(adapter_.messages.size()); }

  ConfigState legacyState = CS_UNDECIDED;
  std::vector<size_t> log;

 private:
  tamtest::TestAdapter& adapter_;
};

TEST_F(NodeTest, HostHooksAndLegacyConditions) {
  HookNode root(window, adapter);
  root.addChild("k", "probe");
  evaluate(root);
  // The expressions hook runs before the node's rules, the error checks after its children.
  EXPECT_EQ(root.log, (std::vector<size_t>{0, 2}));
  root.legacyState = OFF;
  evaluate(root);
  EXPECT_EQ(root.log.size(), 2u);
  // A load-if condition takes precedence over the legacy condition.
  root.setLoadIf("1 = 1");
  evaluate(root);
  EXPECT_EQ(root.stateChanges, (std::vector<CS>{OFF, ON}));
  EXPECT_EQ(root.log.size(), 4u);
}

TEST_F(NodeTest, FailuresNameTheNodeAndTheLine) {
  // A statement's line is that of the token after it; a load-if failure has no line. The
  // failing node m stamps the failure, its ancestors pass it on.
  struct Case { const char* rules; const char* loadIf; const char* failure; };
  const Case cases[] = {
      {"set m:a to 1\nset m:a to 99\nset m:a to 2", "", "204 99|a| line 3 at m"},
      {"if 1 = 1 then\n  set m:a to 1\n  set m:a to 10\nendif", "", "204 10|a| line 4 at m"},
      {"set m:a to 1\nerror \"stop\"\nset m:a to 2", "", "500 || line 3 at m"},
      {"", "cfg:level + 1", "202 || at m"},
      {"", "cfg:level > \"x\"", "202 || at m"},
  };
  adapter.acceptMessages = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.rules) + c.loadIf);
    window = Tam::createWindow();
    addModule("m", {"public a integer = 0 to 9 default 0"}, c.rules);
    TestNode root(window, "root", "cfg");
    TestNode* node = root.addChild("n")->addChild("m", "m");
    node->setLoadIf(c.loadIf);
    EXPECT_EQ(failureOf([&] { evaluate(root); }), c.failure);
  }
}

}  // namespace
