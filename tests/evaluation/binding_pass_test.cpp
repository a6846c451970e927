// Rebinding sets to deep chains of nodes that inherit a used option, and failures met while a
// node's inherited set is bound to its module.
#include <gtest/gtest.h>

#include "EvalHost.h"

namespace {

using evaltest::EvalTest;

// Every link of a sixty-node chain uses the top's option; each link reads every providing
// ancestor. Rebinding each ancestor once per read, instead of once per pass, would take about
// 2^60 rebindings and never finish.
TEST_F(EvalTest, DeepChainsOfUsedOptionsInheritFromTheTop) {
  addModule("top", {"public level integer default 1"}, "set top:level to 7");
  addModule("link", {"public level uses top:level"}, "");
  tamtest::TestNode root(window, "n0", "top");
  tamtest::TestNode* leaf = &root;
  constexpr int kDepth = 60;
  for (int i = 1; i < kDepth; ++i) leaf = leaf->addChild("n" + std::to_string(i), "link");
  window->setRoot(&root);
  window->evaluate(true);

  const TamSelOptionSet::TamSosEntry& level = leaf->getSos().get(option("link", "level"));
  ASSERT_EQ(level.values.size(), 1u);
  EXPECT_EQ(level.values[0]->intValue(), 7);
  EXPECT_EQ(level.howSet[0], TamSelOptionSet::HOWSET_INHERITED);
  window->setRoot(nullptr);
}

// Chains of nodes where several ancestors provide a used option: every node below takes the
// values of the provider farthest up, whichever nodes between them change their own copy, and
// follows when the provider's values or the providing modules change between evaluations.
class UsedOptionChainTest : public EvalTest {
 protected:
  void SetUp() override {
    addModule("top", {"public a integer default 1", "public b integer default 2"},
              "set top:a to 10\nset top:b to 20\n");
    addModule("plain", {"public z integer default 0"}, "");
    addModule("ua", {"public a uses top:a"}, "set ua:a to 30\n");
    addModule("ub", {"public b uses top:b"}, "set ub:b to 50\n");
    addModule("both", {"public a uses top:a", "public b uses top:b"}, "");
  }
  // A chain of nodes of these modules, root first, with kTail nodes of "both" below it.
  std::vector<tamtest::TestNode*> chain(tamtest::TestNode& root,
                                        const std::vector<std::string>& modules) {
    std::vector<tamtest::TestNode*> nodes{&root};
    for (size_t i = 1; i < modules.size() + kTail; ++i) {
      const std::string module = i < modules.size() ? modules[i] : "both";
      nodes.push_back(nodes.back()->addChild("n" + std::to_string(i), module));
    }
    return nodes;
  }
  // What the node at `at` provides for `name`: its module's option of that name.
  std::string provided(const std::vector<tamtest::TestNode*>& nodes, size_t at,
                       const std::string& name) {
    return value(*nodes[at], nodes[at]->moduleId(), name);
  }
  static constexpr size_t kTail = 6;
};

TEST_F(UsedOptionChainTest, NodesBelowTakeTheProviderFarthestUp) {
  struct Row {
    std::vector<std::string> modules;  // root first
    size_t providerOfA;
    size_t providerOfB;
  };
  const Row rows[] = {
      {{"top", "ua", "ub"}, 0, 0},
      {{"plain", "ua", "plain", "ub"}, 1, 3},
      {{"plain", "both", "ua", "both"}, 1, 1},
      {{"plain", "plain", "ub", "ua"}, 3, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.modules[0] + "," + row.modules[1] + "," + row.modules[2]);
    tamtest::TestNode root(window, "n0", row.modules[0]);
    const std::vector<tamtest::TestNode*> nodes = chain(root, row.modules);
    evaluate(root);
    const std::string a = provided(nodes, row.providerOfA, "a");
    const std::string b = provided(nodes, row.providerOfB, "b");
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    for (size_t i = row.modules.size(); i < nodes.size(); ++i) {
      EXPECT_EQ(value(*nodes[i], "both", "a"), a) << "node " << i;
      EXPECT_EQ(value(*nodes[i], "both", "b"), b) << "node " << i;
    }
    window->setRoot(nullptr);
  }
}

TEST_F(UsedOptionChainTest, ReevaluationFollowsChangedProviders) {
  tamtest::TestNode root(window, "n0", "plain");
  const std::vector<tamtest::TestNode*> nodes = chain(root, {"plain", "ua", "plain", "ub"});
  tamtest::TestNode& leaf = *nodes.back();
  evaluate(root);
  EXPECT_EQ(value(leaf, "both", "a"), provided(nodes, 1, "a"));

  // The provider's module sets another value.
  window->getModule("ua")->setRixData(
      evaltest::moduleText("ua", {"public a uses top:a"}, "set ua:a to 40\n"));
  evaluate(root);
  EXPECT_EQ(provided(nodes, 1, "a"), "40");
  EXPECT_EQ(value(leaf, "both", "a"), "40");

  // The provider's module stops using the option: the first "both" node below provides it now,
  // with the default it holds there; the other option keeps its provider.
  window->getModule("ua")->setRixData(evaltest::moduleText("ua", {"public c integer default 3"}, ""));
  evaluate(root);
  const size_t firstBoth = 5;
  EXPECT_EQ(value(leaf, "both", "a"), provided(nodes, firstBoth, "a"));
  EXPECT_NE(value(leaf, "both", "a"), "40");
  EXPECT_EQ(value(leaf, "both", "b"), provided(nodes, 3, "b"));
  window->setRoot(nullptr);
}

TEST_F(EvalTest, ModuleMissingAtABoundaryIsReportedAtItsNode) {
  addModule("top", {"public on logical default true"}, "");
  tamtest::TestNode root(window, "root", "top");
  tamtest::TestNode* orphan = root.addChild("orphan", "nowhere");
  window->setRoot(&root);
  try {
    window->evaluate(true);
    FAIL() << "a node of a module the host cannot supply was evaluated";
  } catch (const TamException& e) {
    EXPECT_EQ(e.code(), 302);
    EXPECT_EQ(e.info(), "nowhere");
    EXPECT_EQ(e.node(), orphan);
  }
  window->setRoot(nullptr);
}

}  // namespace
