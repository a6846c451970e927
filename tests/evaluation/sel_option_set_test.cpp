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
using evaltest::failureOf;
using evaltest::HowSet;
using tamtest::TestNode;
constexpr HowSet DEFAULT = TamSelOptionSet::HOWSET_DEFAULT;
constexpr HowSet HOST = TamSelOptionSet::HOWSET_HOST;
constexpr HowSet SET = TamSelOptionSet::HOWSET_SET;
constexpr HowSet FIRM = TamSelOptionSet::HOWSET_HOST_FIRM;
constexpr HowSet FIX = TamSelOptionSet::HOWSET_FIX;
constexpr HowSet INHERITED = TamSelOptionSet::HOWSET_INHERITED;

ref_count_ptr<TamValue> I(int v) { return TamValue::createInt(v); }
ref_count_ptr<TamValue> S(const char* v) { return TamValue::createString(v); }

using SelOptionSetTest = evaltest::EvalTest;

TEST_F(SelOptionSetTest, RulesMeetEachOtherAndTheHost) {
  // The rules of one node of m run over the host's value 5 for m:a (none when host is DEFAULT),
  // which the node keeps across evaluations. a takes one value at a time, x and y several.
  struct Case {
    const char* rules; HowSet host; const char* option; const char* values; std::vector<HowSet> how;
  };
  const Case cases[] = {
      {"fix m:a to 1 set m:a to 2", DEFAULT, "a", "1", {FIX}},
      {"set m:a to 1 fix m:a to 2", DEFAULT, "a", "2", {FIX}},
      {"set m:a to 3 fix m:a to 3", DEFAULT, "a", "3", {SET}},
      // A fix that repeats the default changes nothing, so a later set still may.
      {"fix m:a to 0", DEFAULT, "a", "0", {DEFAULT}},
      {"fix m:a to 0 set m:a to 2", DEFAULT, "a", "2", {SET}},
      {"set m:a to 2", HOST, "a", "2", {SET}},
      {"set m:a to 2", FIRM, "a", "5", {FIRM}},
      {"", HOST, "a", "5", {HOST}},
      // The Unset placeholder gives way to the first value; values accumulate whatever their
      // HowSet, and the host is not asked. A real default is a value like any other.
      {"set m:x to \"p\" set m:x to \"q\" set m:x to \"p\"", DEFAULT, "x", "p,q", {SET, SET}},
      {"fix m:x to \"q\" set m:x to \"p\"", DEFAULT, "x", "q,p", {FIX, SET}},
      {"set m:y to \"p\"", DEFAULT, "y", "r,p", {DEFAULT, SET}},
      {"set m:y to \"r\"", DEFAULT, "y", "r", {DEFAULT}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rules << " over host " << c.host);
    window = Tam::createWindow();
    addModule("m", {"public a integer = 0 to 9 default 0",
                    "public x string non_mutually_exclusive = \"p\" \"q\" \"r\"",
                    "public y string non_mutually_exclusive = \"p\" \"q\" \"r\" default \"r\""},
              c.rules);
    TestNode node(window, "n", "m");
    if (c.host != DEFAULT) hostSet(node, "m", "a", I(5), c.host);
    for (int round = 0; round < 2; ++round) {
      evaluate(node);
      EXPECT_EQ(value(node, "m", c.option), c.values);
      EXPECT_EQ(node.getSos().get(option("m", c.option)).howSet, c.how);
    }
  }
}

TEST_F(SelOptionSetTest, MergeTakesOnlyWhatTheHostSet) {
  addModule("m", {"public a integer default 0", "public b integer default 0",
                  "public c string non_mutually_exclusive = \"x\" \"y\" \"z\""}, "");
  TamSelOptionSet source(window);
  source.set(entry(option("m", "a"), {I(4)}, {SET}));
  source.set(entry(option("m", "b"), {I(6)}, {FIRM}));
  // Several values in one entry, one of them twice, each with its own HowSet.
  const ref_count_ptr<TamOption> c = option("m", "c");
  source.get(c);  // the stored Unset placeholder the values meet
  source.set(entry(c, {S("x"), S("y"), S("y"), S("z")}, {FIX, HOST, FIRM, INHERITED}));
  source.set(source.get(c));  // setting the stored entry again changes nothing
  EXPECT_EQ(allValues(source, c), "x,y,z");
  EXPECT_EQ(source.get(c).howSet, (std::vector<HowSet>{FIX, HOST, INHERITED}));
  TamSelOptionSet target(window);
  target.merge(source);
  TestNode plain(window, "p");
  target.setContext(&plain, false);  // a node without a module: nothing changes
  ASSERT_EQ(target.contents().size(), 2u);
  EXPECT_EQ(allValues(target, option("m", "b")), "6");
  EXPECT_EQ(allValues(target, c), "y");
  EXPECT_EQ(target.get(c).howSet, std::vector<HowSet>{HOST});
}

TEST_F(SelOptionSetTest, RefusedAndMalformedEntriesChangeNothing) {
  addModule("m", {"public a integer = 0 to 9 default 0"}, "");
  const ref_count_ptr<TamOption> a = option("m", "a");
  const ref_count_ptr<TamValue> none;
  struct Case { TamSelOptionSet::TamSosEntry entry; const char* failure; };
  const Case cases[] = {
      {entry(a, {I(3)}, {DEFAULT}), "2 Trying to change a default value with another default||"},
      {entry(a, {I(12)}, {SET}), "204 12|a|"},
      {entry(a, {}, {SET}), "2 Selected option set entry without values||"},
      {entry(a, {I(1), I(2)}, {SET}),
       "2 Selected option set entry without a HowSet for each value||"},
      {entry(a, {none}, {SET}), "2 Selected option set entry with a null value||"},
      {entry(ref_count_ptr<TamOption>(), {I(1)}, {SET}), "103 ||"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failure);
    TamSelOptionSet sos(window);
    sos.get(a);  // the stored default entry the new value meets
    EXPECT_EQ(failureOf([&] { sos.set(c.entry); }), c.failure);
    EXPECT_EQ(allValues(sos, a), "0");
  }
  TamSelOptionSet sos(window);
  EXPECT_EQ(failureOf([&] { sos.get(ref_count_ptr<TamOption>()); }), "103 ||");
}

TEST_F(SelOptionSetTest, BestMatchingPathAndPresentedPositionWin) {
  // top (module top) -> x -> a -> b (module m): b's context path is x.a.b.
  const char* kPlain = "public t integer default 0";
  struct Case { const char* declaration; const char* rules; const char* expected; };
  const Case cases[] = {
      {kPlain, "set m:a [a.b] to 3 set m:a [b] to 2 set m:a to 1 set m:a [x.a.b] to 5", "5"},
      {kPlain, "set m:a [b] to 2 set m:a to 1", "2"},
      {kPlain, "set m:a [a.x] to 4", "0"},
      // The outermost position weighs most: x (4) beats b (1), x.a (6) beats a.b (3).
      {kPlain, "set m:a [b] to 2 set m:a [x] to 6", "6"},
      {kPlain, "set m:a [a.b] to 3 set m:a [x.a] to 7", "7"},
      {"public big presents m:a [a.x]", "set top:big to 7", "0"},
      {"public big presents m:a", "set top:big to 7", "7"},
      {"public big presents m:a [a.b]", "set top:big to 7 set m:a [b] to 2", "7"},
      {"public big presents m:a [a.b]", "set top:big to 7 set m:a [x.a] to 8", "8"},
      {"public big presents m:a [a.b] default 4", "", "4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.declaration) + " / " + c.rules);
    window = Tam::createWindow();
    addModule("m", {"public a integer = 0 to 9 default 0"}, "");
    addModule("top", {c.declaration}, c.rules);
    TestNode top(window, "top", "top");
    TestNode* b = top.addChild("x")->addChild("a")->addChild("b", "m");
    evaluate(top);
    EXPECT_EQ(value(*b, "m", "a"), c.expected);
    for (const auto& item : b->getSos().contents()) {  // m's options only, at b itself
      EXPECT_EQ(item.first->moduleId(), "m");
      EXPECT_TRUE(item.second.path.isEmpty());
    }
  }
}

TEST_F(SelOptionSetTest, UsedOptionsInheritFromTheFarthestAncestor) {
  addModule("cfg", {"public level integer = 1 to 9 default 1"}, "set cfg:level to 5");
  addModule("user", {"public u uses cfg:level"}, "set user:u to 3");
  addModule("idle", {"public u uses cfg:level"}, "");
  // The leaf's own rule cannot replace an inherited value.
  addModule("leaf", {"public l uses cfg:level"}, "set leaf:l to 9");
  // root (rootModule) -> [c (cfg) ->] l (leaf)
  struct Case { const char* rootModule; bool cfgBetween; const char* expected; HowSet howSet; };
  const Case cases[] = {
      {"", true, "5", INHERITED},
      {"user", true, "3", INHERITED},
      // An inherited value equal to the default leaves the default in place; the leaf's rule
      // may change it, but reading the set binds it again and takes the inherited value anew.
      {"idle", true, "1", DEFAULT},
      {"user", false, "3", INHERITED},
      {"", false, "9", SET},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("root ") + c.rootModule + (c.cfgBetween ? " with cfg" : ""));
    TestNode root(window, "root", c.rootModule);
    TestNode* leaf = (c.cfgBetween ? root.addChild("c", "cfg") : &root)->addChild("l", "leaf");
    evaluate(root);
    EXPECT_EQ(value(*leaf, "leaf", "l"), c.expected);
    EXPECT_EQ(leaf->getSos().get(option("leaf", "l")).howSet, std::vector<HowSet>{c.howSet});
  }
}

TEST_F(SelOptionSetTest, LegacyOptionsAreReadFromAndWrittenToTheHost) {
  addModule("m", {"public a integer = 0 to 9 default 0"},
            "if m:speed > 3 then set m:a to 1 endif set m:speed to m:speed + 1");
  const ref_count_ptr<TamOption> speed = window->getModule("m")->declareLegacyOption("speed");
  std::vector<ref_count_ptr<TamValue>>& hostValues = adapter.legacyValues["m:speed"];

  TamSelOptionSet sos(window);
  EXPECT_EQ(allValues(sos, speed), "***UNSET***");
  hostValues = {I(7)};
  EXPECT_EQ(allValues(sos, speed), "7");  // every read asks the host anew
  sos.set(entry(speed, {I(1), I(2)}, {}));
  EXPECT_EQ(allValues(sos, speed), "1");
  EXPECT_EQ(hostValues.size(), 2u);
  EXPECT_TRUE(sos.contents().empty());

  // Rules read the host's value and write back to the host.
  TestNode node(window, "n", "m");
  evaluate(node);
  EXPECT_EQ(value(node, "m", "a"), "0");
  EXPECT_EQ(hostValues[0]->displayString(), "2");
  hostValues = {I(4)};
  evaluate(node);
  EXPECT_EQ(value(node, "m", "a"), "1");
  EXPECT_EQ(hostValues[0]->displayString(), "5");
}

TEST_F(SelOptionSetTest, QueriesByNameAndCompleteness) {
  addModule("m", {"public color string : mandatory = \"red\" \"blue\"",
                  "public size integer default 2", "public tone string = \"dark\" \"light\"",
                  "public extras string non_mutually_exclusive = \"tow\" \"roof\""}, "");
  TestNode node(window, "n", "m");
  evaluate(node);
  EXPECT_EQ(failureOf([&] { node.getSos().verifyCompleteness(); }), "113 color||");
  TamSelOptionSet sos(window);
  sos.set(entry(option("m", "color"), {S("red")}, {HOST}));
  sos.set(entry(option("m", "extras"), {S("tow"), S("roof")}, {HOST, HOST}));
  node.setSos(sos);
  evaluate(node);
  EXPECT_EQ(failureOf([&] { node.getSos().verifyCompleteness(); }), "none");

  const TamSelOptionSet& found = node.getSos();
  EXPECT_EQ(found.getOption("color"), option("m", "color"));
  EXPECT_EQ(found.getOption("extras"), option("m", "extras"));
  EXPECT_TRUE(found.getOption("size").isNull());  // not a String option
  EXPECT_TRUE(found.getOption("tone").isNull());  // still Unset
  EXPECT_TRUE(found.matchValue("extras", "roof"));
  EXPECT_FALSE(found.matchValue("color", "blue"));
  EXPECT_FALSE(found.matchValue("size", "2"));
}

// A host whose override decision refuses everything and records what it was asked about.
class RefusingAdapter : public tamtest::TestAdapter {
 public:
  bool allowOptionOverride(const TamSelOptionSet::TamSosEntry& existing, const TamNode* node,
                           TamSelOptionSet::HowSet) override {
    asked.push_back(existing.values[0]->displayString());
    nodes.push_back(node);
    return false;
  }
  std::vector<std::string> asked;
  std::vector<const TamNode*> nodes;
};

TEST_F(SelOptionSetTest, OverrideIsDecidedByTheHostForTheBoundNode) {
  RefusingAdapter host;  // installed in place of the fixture's adapter
  host.addModuleText("m", evaltest::moduleText("m", {"public a integer = 0 to 9 default 0"},
                                               "set m:a to 0 set m:a to 1 set m:a to 2"));
  TestNode node(window, "n", "m");
  evaluate(node);
  // Equal values do not ask; the host refuses the others.
  EXPECT_EQ(value(node, "m", "a"), "0");
  EXPECT_EQ(host.asked, (std::vector<std::string>{"0", "0"}));
  EXPECT_EQ(host.nodes, (std::vector<const TamNode*>{&node, &node}));
}

}  // namespace
