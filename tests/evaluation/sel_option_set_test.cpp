// The selected option set as a host meets it: override decisions between rules and host values,
// options that take several values, path scoring and presented options when a set is bound to a
// node, used options inherited from ancestors, legacy options kept by the host, and the queries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EvalHost.h"

namespace {

using evaltest::allValues;
using evaltest::entry;
using tamtest::TestNode;
using HowSet = TamSelOptionSet::HowSet;

std::string withModule(std::string rules, const std::string& id) {
  for (size_t at = rules.find('$'); at != std::string::npos; at = rules.find('$', at)) {
    rules.replace(at, 1, id);
  }
  return rules;
}

ref_count_ptr<TamValue> intValue(int v) { return TamValue::createInt(v); }
ref_count_ptr<TamValue> text(const char* v) { return TamValue::createString(v); }

class SelOptionSetTest : public evaltest::EvalTest {
 protected:
  // Evaluates a tree made of one node of the module and returns that node's set entry.
  TamSelOptionSet::TamSosEntry evaluateSingle(const std::string& moduleId,
                                              const std::string& optionName) {
    TestNode node(window, "n", moduleId);
    window->setRoot(&node);
    window->evaluate(true);
    window->setRoot(nullptr);
    return node.getSos().get(option(moduleId, optionName));
  }
};

TEST_F(SelOptionSetTest, OverrideDecisionsBetweenRules) {
  struct Case {
    const char* rules;
    const char* expected;
    HowSet howSet;
  };
  const Case cases[] = {
      {"set $:a to 1 set $:a to 2", "2", TamSelOptionSet::HOWSET_SET},
      {"fix $:a to 1 set $:a to 2", "1", TamSelOptionSet::HOWSET_FIX},
      {"fix $:a to 1 fix $:a to 2", "1", TamSelOptionSet::HOWSET_FIX},
      {"set $:a to 1 fix $:a to 2", "2", TamSelOptionSet::HOWSET_FIX},
      {"set $:a to 3 fix $:a to 3", "3", TamSelOptionSet::HOWSET_SET},
      // A fix that repeats the default changes nothing, so a later set still may.
      {"fix $:a to 0", "0", TamSelOptionSet::HOWSET_DEFAULT},
      {"fix $:a to 0 set $:a to 2", "2", TamSelOptionSet::HOWSET_SET},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rules);
    const std::string id = "m" + std::to_string(n++);
    addModule(id, {"public a integer = 0 to 9 default 0"}, withModule(c.rules, id));
    TamSelOptionSet::TamSosEntry result = evaluateSingle(id, "a");
    ASSERT_EQ(result.values.size(), 1u);
    EXPECT_EQ(result.values[0]->displayString(), c.expected);
    EXPECT_EQ(result.howSet, std::vector<HowSet>{c.howSet});
  }
}

TEST_F(SelOptionSetTest, HostValuesSetAtANodeMeetTheRules) {
  struct Case {
    HowSet host;
    const char* rules;
    const char* expected;
  };
  const Case cases[] = {
      {TamSelOptionSet::HOWSET_HOST, "set $:a to 2", "2"},
      {TamSelOptionSet::HOWSET_HOST, "fix $:a to 2", "2"},
      {TamSelOptionSet::HOWSET_HOST_FIRM, "set $:a to 2", "5"},
      {TamSelOptionSet::HOWSET_HOST_FIRM, "fix $:a to 2", "5"},
      {TamSelOptionSet::HOWSET_HOST_FORCED, "fix $:a to 2", "2"},
      {TamSelOptionSet::HOWSET_HOST, "", "5"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.rules) + " over host kind " + std::to_string(c.host));
    const std::string id = "h" + std::to_string(n++);
    addModule(id, {"public a integer = 0 to 9 default 0"}, withModule(c.rules, id));
    TestNode node(window, "n", id);
    TamSelOptionSet chosen(window);
    chosen.set(entry(option(id, "a"), {intValue(5)}, {c.host}));
    node.setSos(chosen);
    window->setRoot(&node);
    // The node keeps what the host set across evaluations.
    for (int round = 0; round < 2; ++round) {
      window->evaluate(true);
      EXPECT_EQ(tamtest::valueText(node.getSos(), option(id, "a")), c.expected);
    }
    window->setRoot(nullptr);
  }
}

TEST_F(SelOptionSetTest, MergeTakesOnlyWhatTheHostSet) {
  addModule("m", {"public a integer = 0 to 9 default 0", "public b integer = 0 to 9 default 0",
                  "public c string non_mutually_exclusive = \"x\" \"y\" \"z\""},
            "");
  TamSelOptionSet source(window);
  source.set(entry(option("m", "a"), {intValue(4)}, {TamSelOptionSet::HOWSET_SET}));
  source.set(entry(option("m", "b"), {intValue(6)}, {TamSelOptionSet::HOWSET_HOST_FIRM}));
  source.set(entry(option("m", "c"), {text("x"), text("y"), text("z")},
                   {TamSelOptionSet::HOWSET_FIX, TamSelOptionSet::HOWSET_HOST,
                    TamSelOptionSet::HOWSET_INHERITED}));
  TamSelOptionSet target(window);
  target.merge(source);
  ASSERT_EQ(target.contents().size(), 2u);
  EXPECT_EQ(target.contents().count(option("m", "a")), 0u);
  EXPECT_EQ(allValues(target, option("m", "b")), "6");
  EXPECT_EQ(allValues(target, option("m", "c")), "y");
  EXPECT_EQ(target.get(option("m", "c")).howSet,
            std::vector<HowSet>{TamSelOptionSet::HOWSET_HOST});
}

TEST_F(SelOptionSetTest, RefusedAndMalformedEntries) {
  addModule("m", {"public a integer = 0 to 9 default 0"}, "");
  const ref_count_ptr<TamOption> a = option("m", "a");
  struct Case {
    const char* name;
    TamSelOptionSet::TamSosEntry entry;
    int code;
    const char* info;
    const char* context;
  };
  const Case cases[] = {
      {"default over default", entry(a, {intValue(3)}, {TamSelOptionSet::HOWSET_DEFAULT}), 2,
       "Trying to change a default value with another default", ""},
      {"value outside the option", entry(a, {intValue(12)}, {TamSelOptionSet::HOWSET_SET}), 204,
       "12", "a"},
      {"no values", entry(a, {}, {TamSelOptionSet::HOWSET_SET}), 2,
       "Selected option set entry without values", ""},
      {"too few HowSets", entry(a, {intValue(1), intValue(2)}, {TamSelOptionSet::HOWSET_SET}), 2,
       "Selected option set entry without a HowSet for each value", ""},
      {"a null value", entry(a, {ref_count_ptr<TamValue>()}, {TamSelOptionSet::HOWSET_SET}), 2,
       "Selected option set entry with a null value", ""},
      {"no option", entry(ref_count_ptr<TamOption>(), {intValue(1)},
                          {TamSelOptionSet::HOWSET_SET}),
       103, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TamSelOptionSet sos(window);
    sos.get(a);  // the stored default entry the new value meets
    try {
      sos.set(c.entry);
      ADD_FAILURE() << "set accepted the entry";
    } catch (const TamException& e) {
      EXPECT_EQ(e.code(), c.code);
      EXPECT_EQ(e.info(), c.info);
      EXPECT_EQ(e.context(), c.context);
      EXPECT_EQ(e.extrainfo2(), "");
    }
    EXPECT_EQ(allValues(sos, a), "0");
  }
  TamSelOptionSet sos(window);
  try {
    sos.get(ref_count_ptr<TamOption>());
    ADD_FAILURE() << "get of no option";
  } catch (const TamException& e) {
    EXPECT_EQ(e.code(), 103);
  }
}

TEST_F(SelOptionSetTest, OptionsTakingSeveralValues) {
  struct Case {
    const char* declaration;
    const char* rules;
    const char* expected;
  };
  const char* kNoDefault = "public x string non_mutually_exclusive = \"tow\" \"roof\" \"sun\"";
  const char* kDefault =
      "public x string non_mutually_exclusive = \"tow\" \"roof\" \"sun\" default \"sun\"";
  const Case cases[] = {
      // The Unset placeholder gives way to the first value.
      {kNoDefault, "set $:x to \"tow\"", "tow"},
      {kNoDefault, "set $:x to \"tow\" set $:x to \"roof\" set $:x to \"tow\"", "tow,roof"},
      // Values accumulate whatever their HowSet; the host is not asked.
      {kNoDefault, "fix $:x to \"roof\" set $:x to \"tow\"", "roof,tow"},
      // A real default is a value like any other.
      {kDefault, "set $:x to \"tow\"", "sun,tow"},
      {kDefault, "set $:x to \"sun\"", "sun"},
      {kNoDefault, "", "***UNSET***"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.declaration) + " / " + c.rules);
    const std::string id = "v" + std::to_string(n++);
    addModule(id, {c.declaration}, withModule(c.rules, id));
    TestNode node(window, "n", id);
    window->setRoot(&node);
    window->evaluate(true);
    window->setRoot(nullptr);
    EXPECT_EQ(allValues(node.getSos(), option(id, "x")), c.expected);
  }

  // Several values in one entry, one of them twice, each with its own HowSet.
  addModule("w", {kNoDefault}, "");
  const ref_count_ptr<TamOption> x = option("w", "x");
  TamSelOptionSet sos(window);
  sos.get(x);
  sos.set(entry(x, {text("roof"), text("roof"), text("sun")},
                {TamSelOptionSet::HOWSET_SET, TamSelOptionSet::HOWSET_FIX,
                 TamSelOptionSet::HOWSET_HOST}));
  EXPECT_EQ(allValues(sos, x), "roof,sun");
  EXPECT_EQ(sos.get(x).howSet,
            (std::vector<HowSet>{TamSelOptionSet::HOWSET_SET, TamSelOptionSet::HOWSET_HOST}));
  // Setting the stored entry again changes nothing, also while it holds the Unset placeholder.
  sos.set(sos.get(x));
  EXPECT_EQ(allValues(sos, x), "roof,sun");
  TamSelOptionSet fresh(window);
  fresh.set(fresh.get(x));
  EXPECT_EQ(allValues(fresh, x), "***UNSET***");
}

// A tree top -> x -> a -> b, where b carries module m: b's context path is x.a.b.
class ContextPathTest : public SelOptionSetTest {
 protected:
  std::string valueAtB(const std::vector<std::string>& topDeclarations, const std::string& rules,
                       bool* onlyModuleEntries = nullptr) {
    addModule("m", {"public a integer = 0 to 9 default 0"}, "");
    addModule("top", topDeclarations, rules);
    ref_count_ptr<TamWindow> fresh = Tam::createWindow();
    TestNode top(fresh, "top", "top");
    TestNode* b = top.addChild("x")->addChild("a")->addChild("b", "m");
    fresh->setRoot(&top);
    fresh->evaluate(true);
    const TamSelOptionSet& sos = b->getSos();
    if (onlyModuleEntries != nullptr) {
      *onlyModuleEntries = true;
      for (const auto& item : sos.contents()) {
        if (item.first->moduleId() != "m" || !item.second.path.isEmpty()) {
          *onlyModuleEntries = false;
        }
      }
    }
    return tamtest::valueText(sos, TamOption::findOption(fresh, "m", "a"));
  }
};

TEST_F(ContextPathTest, BestMatchingPathWins) {
  struct Case {
    const char* rules;
    const char* expected;
  };
  const Case cases[] = {
      {"set m:a [a.b] to 3 set m:a [b] to 2 set m:a to 1", "3"},
      {"set m:a to 1 set m:a [b] to 2 set m:a [a.b] to 3", "3"},
      {"set m:a [b] to 2 set m:a to 1", "2"},
      {"set m:a to 1", "1"},
      {"set m:a [a.x] to 4", "0"},
      {"set m:a [x.a.b] to 5 set m:a [a.b] to 3", "5"},
      // The outermost position weighs most: x (4) beats b (1).
      {"set m:a [b] to 2 set m:a [x] to 6", "6"},
      // x.a scores 6, a.b only 3, whatever the order they were set in.
      {"set m:a [a.b] to 3 set m:a [x.a] to 7", "7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rules);
    bool onlyModuleEntries = false;
    EXPECT_EQ(valueAtB({"public t integer = 0 to 9 default 0"}, c.rules, &onlyModuleEntries),
              c.expected);
    EXPECT_TRUE(onlyModuleEntries);
  }
}

TEST_F(ContextPathTest, PresentedValuesReachTheirBaseAtThePresentedPosition) {
  struct Case {
    const char* declaration;
    const char* rules;
    const char* expected;
  };
  const Case cases[] = {
      {"public big presents m:a [a.b]", "set top:big to 7", "7"},
      {"public big presents m:a [x.a.b]", "set top:big to 7", "7"},
      {"public big presents m:a [a.x]", "set top:big to 7", "0"},
      {"public big presents m:a", "set top:big to 7", "7"},
      // The presented position a.b (3) beats a value set for b alone (1), and loses to x.a (6).
      {"public big presents m:a [a.b]", "set top:big to 7 set m:a [b] to 2", "7"},
      {"public big presents m:a [a.b]", "set top:big to 7 set m:a [x.a] to 8", "8"},
      {"public big presents m:a [a.b] default 4", "", "4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.declaration) + " / " + c.rules);
    EXPECT_EQ(valueAtB({c.declaration}, c.rules), c.expected);
  }
}

TEST_F(SelOptionSetTest, UsedOptionsInheritFromTheFarthestAncestor) {
  addModule("cfg", {"public level integer = 1 to 9 default 1"}, "set cfg:level to 5");
  addModule("user", {"public u uses cfg:level"}, "set user:u to 3");
  addModule("idle", {"public u uses cfg:level"}, "");
  // The leaf's own rule cannot replace an inherited value.
  addModule("leaf", {"public l uses cfg:level"}, "set leaf:l to 9");
  struct Case {
    const char* rootModule;  // "" for a root without a module
    bool cfgBetween;         // a node of cfg between the root and the leaf
    const char* expected;
    HowSet howSet;
  };
  const Case cases[] = {
      {"", true, "5", TamSelOptionSet::HOWSET_INHERITED},
      {"user", true, "3", TamSelOptionSet::HOWSET_INHERITED},
      // An inherited value equal to the default leaves the default in place; the leaf's rule
      // may change it, but reading the set binds it again and takes the inherited value anew.
      {"idle", true, "1", TamSelOptionSet::HOWSET_DEFAULT},
      {"user", false, "3", TamSelOptionSet::HOWSET_INHERITED},
      {"", false, "9", TamSelOptionSet::HOWSET_SET},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("root ") + c.rootModule + (c.cfgBetween ? " with cfg" : ""));
    TestNode root(window, "root", c.rootModule);
    TestNode* parent = c.cfgBetween ? root.addChild("c", "cfg") : &root;
    TestNode* leaf = parent->addChild("l", "leaf");
    window->setRoot(&root);
    window->evaluate(true);
    window->setRoot(nullptr);
    const TamSelOptionSet::TamSosEntry& e = leaf->getSos().get(option("leaf", "l"));
    ASSERT_EQ(e.values.size(), 1u);
    EXPECT_EQ(e.values[0]->displayString(), c.expected);
    EXPECT_EQ(e.howSet, std::vector<HowSet>{c.howSet});
  }
}

TEST_F(SelOptionSetTest, LegacyOptionsAreReadFromAndWrittenToTheHost) {
  addModule("m", {"public a integer = 0 to 9 default 0"},
            "if m:speed > 3 then set m:a to 1 endif set m:speed to m:speed + 1");
  const ref_count_ptr<TamOption> speed = window->getModule("m")->declareLegacyOption("speed");

  TamSelOptionSet sos(window);
  EXPECT_EQ(allValues(sos, speed), "***UNSET***");
  adapter.legacyValues["m:speed"] = {intValue(2)};
  EXPECT_EQ(allValues(sos, speed), "2");
  adapter.legacyValues["m:speed"] = {intValue(7)};
  EXPECT_EQ(allValues(sos, speed), "7");
  EXPECT_EQ(sos.get(speed).howSet, std::vector<HowSet>{TamSelOptionSet::HOWSET_DEFAULT});
  EXPECT_TRUE(sos.contents().empty());

  sos.set(entry(speed, {intValue(1), intValue(2)}, {}));
  ASSERT_EQ(adapter.legacyValues["m:speed"].size(), 2u);
  sos.set(entry(speed, {intValue(4)}, {TamSelOptionSet::HOWSET_SET}));
  ASSERT_EQ(adapter.legacyValues["m:speed"].size(), 1u);
  EXPECT_TRUE(sos.contents().empty());

  // Rules read the host's value and write back to the host.
  TestNode node(window, "n", "m");
  window->setRoot(&node);
  window->evaluate(true);
  EXPECT_EQ(tamtest::valueText(node.getSos(), option("m", "a")), "1");
  EXPECT_EQ(adapter.legacyValues["m:speed"][0]->displayString(), "5");
  adapter.legacyValues["m:speed"] = {intValue(0)};
  window->evaluate(true);
  EXPECT_EQ(tamtest::valueText(node.getSos(), option("m", "a")), "0");
  EXPECT_EQ(adapter.legacyValues["m:speed"][0]->displayString(), "1");
  window->setRoot(nullptr);
}

TEST_F(SelOptionSetTest, CompletenessNeedsEveryMandatoryValue) {
  addModule("m", {"public name string : mandatory", "public note string",
                  "public size integer : mandatory = 1 to 4 default 2"},
            "");
  TestNode node(window, "n", "m");
  window->setRoot(&node);
  window->evaluate(true);
  try {
    node.getSos().verifyCompleteness();
    ADD_FAILURE() << "an Unset mandatory option passed";
  } catch (const TamException& e) {
    EXPECT_EQ(e.code(), 113);
    EXPECT_EQ(e.info(), "name");
    EXPECT_EQ(e.context(), "");
  }
  TamSelOptionSet chosen(window);
  chosen.set(entry(option("m", "name"), {text("Ann")}, {TamSelOptionSet::HOWSET_HOST}));
  node.setSos(chosen);
  window->evaluate(true);
  EXPECT_NO_THROW(node.getSos().verifyCompleteness());
  window->setRoot(nullptr);
}

TEST_F(SelOptionSetTest, FindingStringOptionsAndValuesByName) {
  addModule("m", {"public color string = \"red\" \"blue\"", "public size integer default 2",
                  "public tone string = \"dark\" \"light\"",
                  "public extras string non_mutually_exclusive = \"tow\" \"roof\""},
            "");
  TamSelOptionSet sos(window);
  sos.set(entry(option("m", "color"), {text("red")}, {TamSelOptionSet::HOWSET_SET}));
  sos.get(option("m", "size"));
  sos.get(option("m", "tone"));
  sos.set(entry(option("m", "extras"), {text("tow"), text("roof")},
                {TamSelOptionSet::HOWSET_SET, TamSelOptionSet::HOWSET_SET}));

  EXPECT_EQ(sos.getOption("color"), option("m", "color"));
  EXPECT_EQ(sos.getOption("extras"), option("m", "extras"));
  EXPECT_TRUE(sos.getOption("size").isNull());  // not a String option
  EXPECT_TRUE(sos.getOption("tone").isNull());  // still Unset
  EXPECT_TRUE(sos.getOption("nothing").isNull());

  struct Case {
    const char* option;
    const char* value;
    bool expected;
  };
  const Case cases[] = {
      {"color", "red", true}, {"color", "blue", false}, {"extras", "roof", true},
      {"extras", "sun", false}, {"size", "2", false}, {"nothing", "red", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.option) + "." + c.value);
    EXPECT_EQ(sos.matchValue(c.option, c.value), c.expected);
  }
}

TEST_F(SelOptionSetTest, CopiesAssignmentsAndBinding) {
  addModule("m", {"public a integer = 0 to 9 default 0", "private p integer default 1"}, "");
  addModule("o", {"public b integer default 3"}, "");
  TamSelOptionSet sos(window);
  sos.set(entry(option("m", "a"), {intValue(4)}, {TamSelOptionSet::HOWSET_SET}));
  sos.set(entry(option("o", "b"), {intValue(5)}, {TamSelOptionSet::HOWSET_SET}));

  const TamSelOptionSet copy(sos);
  EXPECT_EQ(copy.window(), window);
  EXPECT_EQ(allValues(copy, option("m", "a")), "4");

  ref_count_ptr<TamWindow> other = Tam::createWindow();
  TamSelOptionSet assigned(other);
  assigned = sos;
  EXPECT_EQ(assigned.window(), other);
  EXPECT_EQ(allValues(assigned, option("o", "b")), "5");
  TamSelOptionSet& self = assigned;
  assigned = self;
  EXPECT_EQ(assigned.contents().size(), 2u);

  // Binding to a node without a module changes nothing.
  TestNode plain(window, "p");
  assigned.setContext(&plain, false);
  EXPECT_EQ(assigned.contents().size(), 2u);

  // Binding to a node of m keeps m's entries and gives each of m's options one.
  TestNode node(window, "n", "m");
  assigned.setContext(&node, true);
  EXPECT_EQ(assigned.contents().size(), 2u);
  EXPECT_EQ(assigned.contents().count(option("o", "b")), 0u);
  EXPECT_EQ(allValues(assigned, option("m", "a")), "4");
  EXPECT_EQ(allValues(assigned, option("m", "p")), "1");

  TamSelOptionSet::TamSosEntry reset = assigned.get(option("m", "a"));
  assigned.clearEntry(reset);
  EXPECT_EQ(allValues(assigned, option("m", "a")), "0");
  assigned.clear();
  EXPECT_TRUE(assigned.contents().empty());
}

// A host whose override decision refuses everything and records the node it was asked about.
class RefusingAdapter : public tamtest::TestAdapter {
 public:
  bool allowOptionOverride(const TamSelOptionSet::TamSosEntry& existing, const TamNode* node,
                           TamSelOptionSet::HowSet) override {
    askedAbout.push_back(existing.values[0]->displayString());
    nodes.push_back(node);
    return false;
  }
  std::vector<std::string> askedAbout;
  std::vector<const TamNode*> nodes;
};

TEST(SelOptionSetHostTest, OverrideIsDecidedByTheHostForTheBoundNode) {
  RefusingAdapter adapter;
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  adapter.addModuleText("m", evaltest::moduleText("m", {"public a integer = 0 to 9 default 0"},
                                                  "set m:a to 0 set m:a to 1 set m:a to 2"));
  TestNode node(window, "n", "m");
  window->setRoot(&node);
  window->evaluate(true);
  // The default is replaced only with the host's consent, which it refuses; equal values do not
  // ask.
  EXPECT_EQ(tamtest::valueText(node.getSos(), TamOption::findOption(window, "m", "a")), "0");
  EXPECT_EQ(adapter.askedAbout, (std::vector<std::string>{"0", "0"}));
  EXPECT_EQ(adapter.nodes, (std::vector<const TamNode*>{&node, &node}));
  window->setRoot(nullptr);
}

}  // namespace
