// The validator on product trees: options used or presented where they are not visible, the
// order of findings, boundary paths of more than one element, and where a start node's load-if
// is judged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EvalHost.h"

namespace {

using tamtest::TestNode;
using Findings = std::vector<std::string>;

// root (no module) -> c (bad) -> {e (engine), n (nosy), mid -> m (engine)}
class ValidatorTest : public evaltest::EvalTest {
 protected:
  void SetUp() override {
    addModule("engine", {"public size integer default 2", "private code integer default 0"},
              "set engine:code to 1");
    addModule("gear", {"public ratio integer default 3"}, "");
    addModule("bad",
              {"public model string default \"x\"", "public eother presents engine:size [x]",
               "public esize presents engine:size [e]", "public gr presents gear:ratio"},
              "set engine:code to 1 set bad:model to \"y\"");
    // Refers to an option of a module above it, which it cannot see.
    addModule("nosy", {"public size2 integer default 1"},
              "if bad:model = \"y\" then set nosy:size2 to 2 endif");
    root.setLoadIf("gear:ratio = 1");  // a root's own condition is never judged
    c->setLoadIf("gear:ratio = 3");
    n->setLoadIf("engine:size > 1 and engine:code = 1");
    // m hangs below a node without a module: its load-if sees what c sees.
    m->setLoadIf("bad:model = \"y\" and engine:code = 1");
  }

  // Each finding as "kind node module:option", node by its path id.
  static Findings findings(TamValidator& validator, TamNode* start, bool recurse) {
    static const char* const kKinds[] = {"base", "path", "rule", "loadif"};
    validator.validateNode(start, recurse);
    Findings out;
    for (const ValidationError& e : validator.errors()) {
      out.push_back(std::string(kKinds[e.code()]) + " " + e.node()->pathId() + " " +
                    e.option()->moduleId() + ":" + e.option()->name());
    }
    return out;
  }

  TestNode root{window, "root"};
  TestNode* c = root.addChild("c", "bad");
  TestNode* e = c->addChild("e", "engine");
  TestNode* n = c->addChild("n", "nosy");
  TestNode* m = c->addChild("mid")->addChild("m", "engine");
};

TEST_F(ValidatorTest, FindingsComeInTreeOrderAndLaterCallsAppend) {
  const Findings all = {"loadif c gear:ratio", "path c bad:eother",  "base c bad:gr",
                        "rule c engine:code",  "loadif n engine:code", "rule n bad:model",
                        "loadif m engine:code"};
  TamValidator validator;
  EXPECT_EQ(findings(validator, &root, true), all);
  EXPECT_EQ(validator.errors()[0].node(), c);
  EXPECT_EQ(findings(validator, e, true), all);  // e's subtree has no findings; the list is kept
}

TEST_F(ValidatorTest, StartNodesAndRecursion) {
  struct Case { TamNode* start; bool recurse; Findings expected; };
  const Case cases[] = {
      {c, false,
       {"loadif c gear:ratio", "path c bad:eother", "base c bad:gr", "rule c engine:code"}},
      // n's parent c sees engine:size (public, of a boundary below c) but not engine:code.
      {n, false, {"loadif n engine:code", "rule n bad:model"}},
      {n, true, {"loadif n engine:code", "rule n bad:model"}},
      {m, false, {"loadif m engine:code"}},
      {&root, false, {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.start->pathId() << (k.recurse ? " with subtree" : ""));
    TamValidator validator;
    EXPECT_EQ(findings(validator, k.start, k.recurse), k.expected);
  }
}

// A boundary path is matched with the presented path as written, top element first.
TEST_F(ValidatorTest, PresentedPathsOfTwoElements) {
  addModule("pres",
            {"public deep presents engine:size [a.b]", "public rev presents engine:size [b.a]",
             "public short presents engine:size [b]", "public any presents engine:size"},
            "");
  for (const bool below : {false, true}) {  // the product at the root, or below a plain node
    SCOPED_TRACE(below);
    TestNode top(window, "top", below ? "" : "pres");
    TestNode* p = below ? top.addChild("p", "pres") : &top;
    p->addChild("a")->addChild("b", "engine");
    TamValidator validator;
    EXPECT_EQ(findings(validator, &top, true), (Findings{"path " + p->pathId() + " pres:rev",
                                              "path " + p->pathId() + " pres:short"}));
  }
}

// A module whose options change between two validations is judged as it is now: what a boundary
// below shows and what a rule may read follow the module's current options.
TEST_F(ValidatorTest, ModulesChangedBetweenValidationsAreSeenAsTheyAreNow) {
  const Findings before = {"loadif c gear:ratio", "path c bad:eother",  "base c bad:gr",
                           "rule c engine:code",  "loadif n engine:code", "rule n bad:model",
                           "loadif m engine:code"};
  TamValidator first;
  ASSERT_EQ(findings(first, &root, true), before);
  // nosy, a boundary below c, gains a public and a private option, and c's rules read both.
  ref_count_ptr<TamModule> nosy = window->getModule("nosy");
  nosy->addOptionString("public shown integer default 1");
  nosy->addOptionString("private hidden integer default 1");
  window->getModule("bad")->setRix(
      "set engine:code to 1 set bad:model to \"y\" "
      "if nosy:shown = 1 and nosy:hidden = 1 then set bad:model to \"z\" endif");
  TamValidator second;
  Findings after = before;
  after.insert(after.begin() + 4, "rule c nosy:hidden");  // ordered by option among c's rules
  EXPECT_EQ(findings(second, &root, true), after);
}

// Nodes of one module one after another share what their rules refer to, but each is judged by
// its own scope: a finding appears exactly where the option is not visible, in tree order, as if
// each node were validated alone.
TEST_F(ValidatorTest, NodesOfOneModuleInARowAreEachJudgedByTheirOwnScope) {
  // Refers to engine:size twice and to its own option.
  addModule("reader", {"public seen integer default 0"},
            "if engine:size > 1 then set reader:seen to engine:size endif "
            "if reader:seen = 2 then set reader:seen to 3 endif");
  struct Child { const char* id; const char* module; bool engineBelow; };
  const std::vector<std::vector<Child>> trees = {
      {{"r1", "reader", false}, {"r2", "reader", false}, {"r3", "reader", false}},
      {{"r1", "reader", true}, {"r2", "reader", false}, {"r3", "reader", true},
       {"r4", "reader", false}},
      {{"r1", "reader", false}, {"x", "nosy", false}, {"r2", "reader", false},
       {"r3", "reader", true}},
  };
  for (const std::vector<Child>& tree : trees) {
    TestNode top(window, "top", "gear");
    std::vector<TamNode*> walked{&top};
    Findings expected;
    for (const Child& child : tree) {
      TestNode* node = top.addChild(child.id, child.module);
      walked.push_back(node);
      if (child.engineBelow) walked.push_back(node->addChild("e", "engine"));
      if (std::string(child.module) == "reader" && !child.engineBelow) {
        expected.push_back(std::string("rule ") + child.id + " engine:size");
      }
      if (std::string(child.module) == "nosy") {
        expected.push_back(std::string("rule ") + child.id + " bad:model");
      }
    }
    SCOPED_TRACE(testing::Message() << expected.size() << " findings expected");
    TamValidator all;
    EXPECT_EQ(findings(all, &top, true), expected);
    Findings alone;
    for (TamNode* node : walked) {
      TamValidator one;
      for (const std::string& finding : findings(one, node, false)) alone.push_back(finding);
    }
    EXPECT_EQ(alone, expected);
  }
}

// A scope keeps the ids it sees as bits while they lie close together, and as a sorted list once
// thousands of other options were created between them: the findings are the same either way.
TEST_F(ValidatorTest, ScopesJudgeAlikeWhetherTheirOptionsWereMadeTogetherOrFarApart) {
  const Findings all = {"loadif c gear:ratio", "path c bad:eother",  "base c bad:gr",
                        "rule c engine:code",  "loadif n engine:code", "rule n bad:model",
                        "loadif m engine:code"};
  window->getModule("engine");  // made first: engine:size, engine:code
  std::vector<std::string> declarations;
  for (int i = 0; i < 5000; ++i) declarations.push_back("public f" + std::to_string(i) + " integer");
  addModule("filler", declarations, "");
  window->getModule("filler");  // the others, made on the way, come thousands of ids later
  TamValidator validator;
  EXPECT_EQ(findings(validator, &root, true), all);
}

}  // namespace
