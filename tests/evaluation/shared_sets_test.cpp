// Copies of a selected option set share their entries until one changes, nodes hand their sets
// to their children without copying, and rules remember the options they resolved. These tests
// hold what that sharing must never show: a change through one set seen through another, an
// entry reference or a copy that outlives what it came from, a remembered lookup that went stale.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EvalHost.h"

namespace {

using evaltest::allValues;
using evaltest::entry;
using evaltest::failureOf;
using tamtest::TestNode;
constexpr auto SET = TamSelOptionSet::HOWSET_SET;
constexpr auto HOST = TamSelOptionSet::HOWSET_HOST;

ref_count_ptr<TamValue> I(int v) { return TamValue::createInt(v); }

class SharedSetsTest : public evaltest::EvalTest {
 protected:
  // "a=..;b=.." for the options a and b of module m, as the set holds them.
  std::string both(const TamSelOptionSet& sos) {
    return "a=" + allValues(sos, option("m", "a")) + ";b=" + allValues(sos, option("m", "b"));
  }
};

TEST_F(SharedSetsTest, AChangeThroughOneCopyNeverShowsInAnother) {
  addModule("m", {"public a integer default 1", "public b integer default 2",
                  "public c string non_mutually_exclusive = \"x\" \"y\""}, "");
  TestNode node(window, "n", "m");
  struct Case {
    const char* change;
    std::function<void(TamSelOptionSet&)> apply;
    const char* changed;  // what the changed set then holds
  };
  const Case cases[] = {
      {"set", [&](TamSelOptionSet& s) { s.set(entry(option("m", "a"), {I(7)}, {SET})); },
       "a=7;b=6"},
      {"clearEntry", [&](TamSelOptionSet& s) { s.clearEntry(s.get(option("m", "b"))); },
       "a=5;b=2"},
      {"clear", [&](TamSelOptionSet& s) { s.clear(); }, "a=1;b=2"},
      {"merge", [&](TamSelOptionSet& s) {
         TamSelOptionSet host(window);
         host.set(entry(option("m", "a"), {I(8)}, {HOST}));
         s.merge(host);
       }, "a=8;b=6"},
      {"assignment", [&](TamSelOptionSet& s) { s = TamSelOptionSet(window); }, "a=1;b=2"},
      {"setContext", [&](TamSelOptionSet& s) {
         s.set(entry(option("m", "a"), {I(9)}, {SET}));
         s.setContext(&node, true);
       }, "a=9;b=6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    TamSelOptionSet original(window);
    original.set(entry(option("m", "a"), {I(5)}, {SET}));
    original.set(entry(option("m", "b"), {I(6)}, {SET}));
    // Changing the copy leaves the original; changing the original leaves the copy.
    TamSelOptionSet copy(original);
    c.apply(copy);
    EXPECT_EQ(both(original), "a=5;b=6");
    EXPECT_EQ(both(copy), c.changed);
    TamSelOptionSet second(window);
    second = original;
    c.apply(original);
    EXPECT_EQ(both(second), "a=5;b=6");
    EXPECT_EQ(both(original), c.changed);
  }
}

TEST_F(SharedSetsTest, EntriesAndCopiesOutliveWhatTheyCameFrom) {
  addModule("m", {"public a integer default 1", "public b integer default 2",
                  "public c integer default 3"}, "set m:a to 4");
  ref_count_ptr<TamWindow> own = Tam::createWindow();
  auto node = std::make_unique<TestNode>(own, "n", "m");
  own->setRoot(node.get());
  own->evaluate(true);
  const ref_count_ptr<TamOption> a = TamOption::findOption(own, "m", "a");
  const ref_count_ptr<TamOption> c = TamOption::findOption(own, "m", "c");

  // get() adding defaults to a set whose table is shared keeps earlier entries valid.
  TamSelOptionSet reader(node->getSos());
  reader.clearEntry(reader.get(c));  // a table of its own, without the default of c
  TamSelOptionSet sharer(reader);
  const TamSelOptionSet::TamSosEntry& first = sharer.get(a);
  sharer.get(TamOption::findOption(own, "m", "b"));
  sharer.get(c);
  EXPECT_EQ(first.values.at(0)->displayString(), "4");

  // A copy outlives the node and the window it came from, and reads the same values.
  TamSelOptionSet kept(node->getSos());
  own->setRoot(nullptr);
  node.reset();
  own = ref_count_ptr<TamWindow>();
  ASSERT_EQ(kept.contents().size(), 3u);
  EXPECT_EQ(kept.contents().begin()->second.values.at(0)->displayString(), "4");
}

TEST_F(SharedSetsTest, ChildrenSiblingsAndParentsKeepTheirOwnResults) {
  // The children share the parent's result until their rules change it; each change stays with
  // the child that made it, also across evaluations and after one that failed. Nodes without a
  // module show the set they were handed as it is.
  addModule("m", {"public a integer = 0 to 9 default 1", "public b integer default 2"},
            "set m:b to m:a + 1");
  addModule("k", {}, "set m:a to 3");
  addModule("late", {}, "set m:a to 5");
  TestNode root(window, "root", "m");
  TestNode* setter = root.addChild("s", "k")->addChild("below");
  TestNode* reader = root.addChild("r");
  TestNode* later = root.addChild("l", "late")->addChild("below");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    evaluate(root);
    EXPECT_EQ(both(root.getSos()), "a=1;b=2");
    EXPECT_EQ(both(setter->getSos()), "a=3;b=2");
    EXPECT_EQ(both(reader->getSos()), "a=1;b=2");
    EXPECT_EQ(both(later->getSos()), "a=5;b=2");
  }
  // A failing node stops the walk; what every node kept from before stays, and the next good
  // evaluation gives the results of the rules as they are then.
  const auto replaceLate = [&](const char* rules) {
    adapter.addModuleText("late", evaltest::moduleText("late", {}, rules));
    window->deleteModule("late");
  };
  replaceLate("set m:a to 11");
  EXPECT_EQ(failureOf([&] { evaluate(root); }), "204 11|a| line 1 at l");
  EXPECT_EQ(both(root.getSos()), "a=1;b=2");
  EXPECT_EQ(both(setter->getSos()), "a=3;b=2");
  EXPECT_EQ(both(later->getSos()), "a=5;b=2");
  replaceLate("set m:a to 9");
  evaluate(root);
  EXPECT_EQ(both(later->getSos()), "a=9;b=2");
  EXPECT_EQ(both(reader->getSos()), "a=1;b=2");
  EXPECT_EQ(both(setter->getSos()), "a=3;b=2");
}

TEST_F(SharedSetsTest, RememberedLookupsFollowChangesOfModulesAndOptions) {
  // Each step changes the modules between two evaluations of the same node; the rules must see
  // the module and options as they are now, not as an earlier evaluation found them.
  addModule("m", {"public a integer default 1", "public b integer default 0"},
            "set m:b to m:a * 10");
  TestNode node(window, "n", "m");
  evaluate(node);
  EXPECT_EQ(value(node, "m", "b"), "10");
  struct Step {
    const char* change;
    std::function<void()> apply;
    const char* result;  // the value of m:b, or the failure of the evaluation
  };
  const Step steps[] = {
      {"same text read again", [&] {
         window->getModule("m")->setRixData(evaltest::moduleText(
             "m", {"public a integer default 2", "public b integer default 0"},
             "set m:b to m:a * 10"));
       }, "20"},
      // The rules stay the same objects here: what they found before must not be reused.
      {"option deleted", [&] { window->getModule("m")->deleteOption("a"); },
       "102 a|| line 1 at n"},
      {"option declared again", [&] {
         window->getModule("m")->addOptionString("public a integer default 4");
       }, "40"},
      {"option left out of a new text", [&] {
         window->getModule("m")->setRixData(
             evaltest::moduleText("m", {"public b integer default 0"}, "set m:b to m:a * 10"));
       }, "102 a|| line 1 at n"},
      {"module replaced by the host", [&] {
         adapter.addModuleText("m", evaltest::moduleText(
             "m", {"public a integer default 6", "public b integer default 0"},
             "set m:b to m:a * 10"));
         window->deleteModule("m");
       }, "60"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.change);
    step.apply();
    const std::string failure = failureOf([&] { evaluate(node); });
    EXPECT_EQ(failure == "none" ? value(node, "m", "b") : failure, step.result);
  }
}

TEST_F(SharedSetsTest, UsedOptionsDownAChainFollowEveryChange) {
  // Each link uses the top's level; what the deepest link inherits must follow every change
  // above it, whether the rules, the host or a module made it.
  addModule("top", {"public level integer = 0 to 99 default 7"}, "");
  addModule("link", {"public lvl uses top:level", "public x integer = 0 to 99 default 0"},
            "set link:x to link:lvl");
  TestNode root(window, "n0", "top");
  TestNode* end = &root;
  for (int i = 1; i < 40; ++i) end = end->addChild("n" + std::to_string(i), "link");
  struct Step {
    const char* change;
    std::function<void()> apply;
    const char* x;  // link:x at the deepest node
  };
  const Step steps[] = {
      {"first evaluation", [] {}, "7"},
      {"host value at the top", [&] { hostSet(root, "top", "level", I(12)); }, "12"},
      {"top's default changed", [&] {
         root.clearSos();
         window->getModule("top")->setRixData(evaltest::moduleText(
             "top", {"public level integer = 0 to 99 default 21"}, ""));
       }, "21"},
      {"top's rules set it", [&] {
         window->getModule("top")->setRix("set top:level to 33");
       }, "33"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.change);
    step.apply();
    evaluate(root);
    EXPECT_EQ(value(*end, "link", "x"), step.x);
    EXPECT_EQ(value(*end, "link", "lvl"), step.x);
  }
}

TEST_F(SharedSetsTest, ManyPresentedPositionsEachReachTheirNode) {
  // One module presents one option at forty positions: each child takes the value presented at
  // its own position, a child at no presented position the default, and the presenting node's
  // own set keeps all forty.
  std::vector<std::string> declarations;
  for (int i = 0; i < 40; ++i) {
    declarations.push_back("public p" + std::to_string(i) + " presents leaf:x [c" +
                           std::to_string(i) + "] default " + std::to_string(i % 9 + 1));
  }
  addModule("top", declarations, "");
  addModule("leaf", {"public x integer = 0 to 9 default 0"}, "");
  TestNode root(window, "top", "top");
  std::vector<TestNode*> children;
  for (int i = 0; i < 40; ++i) children.push_back(root.addChild("c" + std::to_string(i), "leaf"));
  TestNode* elsewhere = root.addChild("c99", "leaf");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    evaluate(root);
    for (int i = 0; i < 40; ++i) {
      EXPECT_EQ(value(*children[i], "leaf", "x"), std::to_string(i % 9 + 1)) << "c" << i;
    }
    EXPECT_EQ(value(*elsewhere, "leaf", "x"), "0");
    EXPECT_EQ(root.getSos().contents().size(), 40u);
  }
}

// Tables let go while a tree is evaluated give their entries to the default entries made later in
// the same evaluation. Entries that held several values, host choices and positions must come
// back as plain defaults, and nothing made before may change.
TEST_F(SharedSetsTest, EntriesLetGoDuringAnEvaluationComeBackAsPlainDefaults) {
  addModule("many",
            {"public c string non_mutually_exclusive = \"x\" \"y\" \"z\"",
             "public n integer default 1"},
            "set many:c to \"x\"\nset many:c to \"z\"\nset plain:d [q] to 3\n");
  addModule("plain", {"public d integer default 4", "public e string default \"e\""}, "");
  TestNode root(window, "root", "many");
  std::vector<TestNode*> many;
  std::vector<TestNode*> plain;
  for (int i = 0; i < 20; ++i) many.push_back(root.addChild("m" + std::to_string(i), "many"));
  for (int i = 0; i < 20; ++i) plain.push_back(root.addChild("p" + std::to_string(i), "plain"));
  hostSet(*many[0], "many", "n", I(7));
  std::vector<std::string> first;  // what the "many" nodes hold after the first evaluation
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("evaluation " + std::to_string(round));
    evaluate(root);
    for (TestNode* node : plain) {
      for (const char* name : {"d", "e"}) {
        const ref_count_ptr<TamOption> o = option("plain", name);
        const TamSelOptionSet::TamSosEntry& e = node->getSos().get(o);
        ASSERT_EQ(e.values.size(), 1u) << node->pathId() << " " << name;
        ASSERT_EQ(e.howSet.size(), 1u);
        EXPECT_EQ(e.howSet[0], TamSelOptionSet::HOWSET_DEFAULT);
        EXPECT_TRUE(e.path.isEmpty());
        EXPECT_EQ(e.option, o);
        EXPECT_EQ(e.values[0]->displayString(), o->defaultValue()->displayString());
      }
    }
    std::vector<std::string> held;
    for (TestNode* node : many) {
      held.push_back(value(*node, "many", "c") + ";" + value(*node, "many", "n"));
    }
    if (round == 0) first = held;
    EXPECT_EQ(held, first);
    EXPECT_EQ(allValues(many[1]->getSos(), option("many", "c")), "x,z");
  }
}

// Children of one node share its table and what binding it to their module found, so each child
// must still take, per option, the presented value whose position best matches its own, and the
// children must follow when the presented values or the options they reach change. Run with few
// entries in the shared table and with many, which are bound in different ways.
TEST_F(SharedSetsTest, SharedPresentedPositionsReachTheBestMatchingNode) {
  struct Row {
    std::vector<std::string> below;  // the path below the root; only the last node has a module
    const char* x;
    const char* y;
  };
  // A position weighs more the farther out it matches; an option presented without a position
  // reaches every node, and loses to any position that occurs in the node's path.
  const Row rows[] = {
      {{"a"}, "1", "5"},
      {{"b"}, "3", "4"},
      {{"c"}, "0", "5"},
      {{"g", "a", "b"}, "2", "4"},  // [a.b] matches inside the path, farther out than [b]
      {{"h", "b", "b"}, "6", "4"},  // an identifier repeated in the path
      {{"b", "a"}, "3", "4"},       // [b] outweighs [a]
  };
  for (int padding : {0, 60}) {
    SCOPED_TRACE("other options: " + std::to_string(padding));
    window = Tam::createWindow();
    addModule("leaf",
              {"public x integer = 0 to 9 default 0", "public y integer = 0 to 9 default 0"}, "");
    std::vector<std::string> declarations = {"public pa presents leaf:x [a] default 1",
                                             "public pab presents leaf:x [a.b] default 2",
                                             "public pb presents leaf:x [b] default 3",
                                             "public qb presents leaf:y [b] default 4",
                                             "public q presents leaf:y default 5",
                                             "public pbb presents leaf:x [b.b] default 6"};
    for (int i = 0; i < padding; ++i) {
      declarations.push_back("public other" + std::to_string(i) + " integer default " +
                             std::to_string(i));
    }
    addModule("top", declarations, "");
    TestNode root(window, "top", "top");
    std::vector<TestNode*> nodes;
    for (const Row& row : rows) {
      TestNode* node = &root;
      for (size_t i = 0; i < row.below.size(); ++i) {
        node = node->addChild(row.below[i], i + 1 == row.below.size() ? "leaf" : "");
      }
      nodes.push_back(node);
    }
    evaluate(root);
    for (size_t r = 0; r < nodes.size(); ++r) {
      SCOPED_TRACE("row " + std::to_string(r));
      EXPECT_EQ(value(*nodes[r], "leaf", "x"), rows[r].x);
      EXPECT_EQ(value(*nodes[r], "leaf", "y"), rows[r].y);
      EXPECT_EQ(nodes[r]->getSos().contents().size(), 2u);
    }

    // The presenting module's rules change a presented value: the node at its position follows.
    window->getModule("top")->setRix("set top:pa to 4");
    evaluate(root);
    EXPECT_EQ(value(*nodes[0], "leaf", "x"), "4");
    EXPECT_EQ(value(*nodes[1], "leaf", "x"), rows[1].x);

    // The reached option narrows so that a presented value no longer fits: evaluation refuses it
    // at the first node bound to the option's module, whether or not that node is at its position.
    window->getModule("leaf")->setRixData(evaltest::moduleText(
        "leaf", {"public x integer = 0 to 5 default 0", "public y integer = 0 to 9 default 0"},
        ""));
    EXPECT_EQ(failureOf([&] { evaluate(root); }), "204 6|x| at a");
    window->setRoot(nullptr);
  }
}

}  // namespace


TEST_F(SharedSetsTest, RememberedLookupsOfAnotherModuleFollowRemovalsAndReplacements) {
  // The rules of r read m:a; m is loaded while the tree is evaluated, and what the rules found
  // is kept across such loads. Each step removes or replaces something between two evaluations:
  // the rules must find m and its option as they are now.
  addModule("m", {"public a integer default 1"}, "");
  addModule("r", {"public b integer default 0"}, "set r:b to m:a * 10");
  TestNode node(window, "n", "r");
  evaluate(node);
  ASSERT_EQ(value(node, "r", "b"), "10");
  const auto redeclare = [&](const char* declaration) {
    window->getModule("m")->addOptionString(declaration);
  };
  struct Step {
    const char* change;
    std::function<void()> apply;
    const char* result;  // the value of r:b, or the failure of the evaluation
  };
  const Step steps[] = {
      {"module deleted and made again under its id", [&] {
         window->deleteModule("m");
         window->createModule("m")->addOptionString("public a integer default 2");
       }, "20"},
      {"option deleted", [&] { window->getModule("m")->deleteOption("a"); },
       "102 a|| line 1 at n"},
      {"option declared again", [&] { redeclare("public a integer default 3"); }, "30"},
      {"option renamed", [&] {
         ref_count_ptr<TamModule> m = window->getModule("m");
         m->changeOptionString(m->getOption("a"), "z", "public z integer default 4");
       }, "102 a|| line 1 at n"},
      {"option declared beside the renamed one", [&] { redeclare("public a integer default 5"); },
       "50"},
      {"refresh kept the module", [&] { window->moduleNeedsRefresh("m"); }, "50"},
      {"refresh dropped the module, the host reads it anew", [&] {
         adapter.refreshAnswer = false;
         addModule("m", {"public a integer default 7"}, "");
         window->moduleNeedsRefresh("m");
       }, "70"},
      {"module deleted, the host has none", [&] {
         adapter.texts.erase("m");
         window->deleteModule("m");
       }, "302 m|| line 1 at n"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.change);
    step.apply();
    const std::string failure = failureOf([&] { evaluate(node); });
    EXPECT_EQ(failure == "none" ? value(node, "r", "b") : failure, step.result);
  }
  EXPECT_EQ(adapter.refreshed, (std::vector<std::string>{"m", "m"}));
}

TEST_F(SharedSetsTest, AnOptionDeclaredOverALegacyOneIsFoundInsteadOfIt) {
  // A declared option hides a legacy option of its name from lookups by name: rules that found
  // the legacy one must find the declared one once it is declared.
  addModule("r", {"public b integer default 0"}, "set r:b to m:a * 10");
  ref_count_ptr<TamModule> m = window->createModule("m");
  m->declareLegacyOption("a");
  adapter.legacyValues["m:a"] = {I(3)};
  TestNode node(window, "n", "r");
  evaluate(node);
  ASSERT_EQ(value(node, "r", "b"), "30");
  m->addOptionString("public a integer default 4");
  evaluate(node);
  EXPECT_EQ(value(node, "r", "b"), "40");
}

// The entries of a set as "name=values" (with "@path" for a position), in table order.
std::string listed(const TamSelOptionSet& sos) {
  std::string items;
  for (const auto& item : sos.contents()) {
    std::string text = item.second.option->name() + "=";
    for (std::size_t i = 0; i < item.second.values.size(); ++i) {
      text += (i == 0 ? "" : ",") + item.second.values[i]->displayString();
    }
    if (!item.second.path.isEmpty()) text += "@" + item.second.path.toDisplayString();
    items += (items.empty() ? "" : " ") + text;
  }
  return items;
}

TEST_F(SharedSetsTest, ANodesSetReadAfterTheHostChangedSomethingIsBoundAnew) {
  // A node's set as an evaluation leaves it needs no rebinding when read; every change the host
  // makes between the evaluation and the read must show in what the read returns.
  addModule("top", {"public level integer default 7"}, "");
  const std::vector<std::string> declarations = {"public a integer default 1",
                                                 "public b integer default 2"};
  struct Case {
    const char* change;
    std::function<void(TestNode&)> apply;
    const char* read;  // what getSos() then holds
  };
  const Case cases[] = {
      {"nothing", [](TestNode&) {}, "a=1 b=5"},
      {"module read again with one more option", [&](TestNode&) {
         window->getModule("m")->setRixData(evaltest::moduleText(
             "m", {"public a integer default 1", "public b integer default 2",
                   "public c integer default 3"}, "set m:b to 5"));
       }, "a=1 b=5 c=3"},
      {"option deleted", [&](TestNode&) { window->getModule("m")->deleteOption("a"); }, "b=5"},
      {"module made to use an option above", [&](TestNode&) {
         window->getModule("m")->addOptionString("public u uses top:level");
       }, "a=1 b=5 u=7"},
      {"host set values", [&](TestNode& node) { hostSet(node, "m", "a", I(4)); }, "a=4 b=2"},
      {"host cleared the set", [](TestNode& node) { node.clearSos(); }, "a=1 b=2"},
      // The old a is kept: the new module has an option of its name; the old b is not.
      {"module deleted, the host reads it anew", [&](TestNode&) {
         addModule("m", {"public a integer default 8"}, "");
         window->deleteModule("m");
       }, "a=1 a=8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    addModule("m", declarations, "set m:b to 5");
    window->deleteModule("m");
    TestNode root(window, "root", "top");
    TestNode* node = root.addChild("n", "m");
    evaluate(root);
    c.apply(*node);
    EXPECT_EQ(listed(node->getSos()), c.read);
    EXPECT_EQ(listed(node->getSos()), c.read);  // read again, as it was bound
  }
}

TEST_F(SharedSetsTest, AUsedOptionReadAfterItsProviderChangedShowsTheNewValue) {
  // The node's set holds an entry for every option of its module, one of them used: reading it
  // must take the used option's value anew from the node above, which the host changed since.
  addModule("top", {"public level integer default 7"}, "");
  addModule("m", {"public u uses top:level", "public a integer default 1"}, "");
  TestNode root(window, "root", "top");
  TestNode* node = root.addChild("n", "m");
  evaluate(root);
  ASSERT_EQ(value(*node, "m", "u"), "7");
  hostSet(root, "top", "level", I(9));
  EXPECT_EQ(listed(node->getSos()), "u=9 a=1");
}
