// The validator on product trees: options used or presented where they are not visible, the
// order of findings, boundary paths of more than one element, and where a start node's load-if
// is judged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EvalHost.h"

namespace {

using tamtest::TestNode;

class ValidatorTest : public evaltest::EvalTest {
 protected:
  void SetUp() override {
    addModule("car",
              {"public model string = \"base\" \"sport\" default \"base\"",
               "public esize presents engine:size [e]"},
              "set engine:size to 3");
    addModule("engine",
              {"public size integer = 1 to 4 default 2", "private code integer = 0 to 9 default 0"},
              "set engine:code to 1");
    addModule("gear", {"public ratio integer default 3"}, "");
    addModule("bad",
              {"public model string default \"x\"", "public eother presents engine:size [x]",
               "public esize presents engine:size [e]", "public gr presents gear:ratio"},
              "set engine:code to 1 set bad:model to \"y\"");
    // Refers to an option of a module above it, which it cannot see.
    addModule("nosy", {"public size2 integer default 1"},
              "if bad:model = \"y\" then set nosy:size2 to 2 endif");
  }

  // Each finding as "kind node module:option", node by its path id.
  static std::vector<std::string> describe(const std::vector<ValidationError>& errors) {
    static const char* const kKinds[] = {"base", "path", "rule", "loadif"};
    std::vector<std::string> out;
    for (const ValidationError& e : errors) {
      out.push_back(std::string(kKinds[e.code()]) + " " + e.node()->pathId() + " " +
                    e.option()->moduleId() + ":" + e.option()->name());
    }
    return out;
  }
};

// root (no module) -> c (bad) -> {e (engine), n (nosy)}
struct FaultyTree {
  explicit FaultyTree(const ref_count_ptr<TamWindow>& window) : root(window, "root") {
    root.setLoadIf("gear:ratio = 1");  // a root's own condition is never judged
    c = root.addChild("c", "bad");
    c->setLoadIf("gear:ratio = 3");
    e = c->addChild("e", "engine");
    n = c->addChild("n", "nosy");
    n->setLoadIf("engine:size > 1 and engine:code = 1");
  }
  TestNode root;
  TestNode* c;
  TestNode* e;
  TestNode* n;
};

const std::vector<std::string> kFaultyFindings = {
    "loadif c gear:ratio", "path c bad:eother",     "base c bad:gr",
    "rule c engine:code",  "loadif n engine:code", "rule n bad:model",
};

TEST_F(ValidatorTest, AVisibleTreeHasNoFindingsAndLaterFindingsAppend) {
  TestNode root(window, "root", "car");
  TestNode* e = root.addChild("e", "engine");
  e->setLoadIf("car:model = \"sport\"");
  TamValidator validator;
  validator.validateNode(&root, true);
  EXPECT_TRUE(validator.errors().empty());

  FaultyTree faulty(window);
  validator.validateNode(&faulty.root, true);
  EXPECT_EQ(describe(validator.errors()), kFaultyFindings);
  EXPECT_EQ(validator.errors()[0].node(), faulty.c);
  EXPECT_EQ(validator.errors()[5].node(), faulty.n);

  validator.validateNode(&root, true);
  EXPECT_EQ(validator.errors().size(), kFaultyFindings.size());
}

TEST_F(ValidatorTest, StartNodesAndRecursion) {
  FaultyTree tree(window);
  struct Case {
    const char* name;
    TamNode* start;
    bool recurse;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"one boundary node, load-if judged as seen from the root",
       tree.c,
       false,
       {"loadif c gear:ratio", "path c bad:eother", "base c bad:gr", "rule c engine:code"}},
      // n's parent c sees engine:size (public, a boundary below c) but not engine:code.
      {"boundary below a boundary", tree.n, false, {"loadif n engine:code", "rule n bad:model"}},
      {"boundary below a boundary, with its subtree",
       tree.n,
       true,
       {"loadif n engine:code", "rule n bad:model"}},
      {"a node without findings", tree.e, true, {}},
      {"the root alone", &tree.root, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TamValidator validator;
    validator.validateNode(c.start, c.recurse);
    EXPECT_EQ(describe(validator.errors()), c.expected);
  }
}

TEST_F(ValidatorTest, ALoadIfIsJudgedWhereTheNodeHangs) {
  // e hangs below a node without a module: its load-if sees what the car node sees.
  TestNode root(window, "root", "car");
  TestNode* e = root.addChild("mid")->addChild("e", "engine");
  e->setLoadIf("car:model = \"sport\" and engine:size > 1");
  TamValidator validator;
  validator.validateNode(e, false);
  EXPECT_EQ(describe(validator.errors()), std::vector<std::string>{});

  e->setLoadIf("engine:code = 1");
  validator.validateNode(e, false);
  EXPECT_EQ(describe(validator.errors()), std::vector<std::string>{"loadif e engine:code"});
}

TEST_F(ValidatorTest, PresentedPathsOfTwoElements) {
  addModule("pres",
            {"public deep presents engine:size [a.b]", "public rev presents engine:size [b.a]",
             "public short presents engine:size [b]", "public any presents engine:size"},
            "");
  TestNode root(window, "root", "pres");
  root.addChild("a")->addChild("b", "engine");
  TamValidator validator;
  validator.validateNode(&root, true);
  EXPECT_EQ(describe(validator.errors()),
            (std::vector<std::string>{"path root pres:rev", "path root pres:short"}));

  // The same product below a node without a module: the path still starts below the boundary.
  TestNode top(window, "top");
  TestNode* inner = top.addChild("p", "pres");
  inner->addChild("a")->addChild("b", "engine");
  TamValidator nested;
  nested.validateNode(&top, true);
  EXPECT_EQ(describe(nested.errors()),
            (std::vector<std::string>{"path p pres:rev", "path p pres:short"}));
}

}  // namespace
