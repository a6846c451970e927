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
