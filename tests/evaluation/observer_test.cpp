// The evaluation observer, as a host that explains results would use it: every kind of event in
// evaluation order with exact statement places, refused overrides, values inherited over three
// levels, presented values, the values a load-if read, conflicts and failures; an observer that
// throws at any event leaves a window that evaluates correctly afterwards; and an installed
// observer changes no result.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "EvalHost.h"

namespace {

using tamtest::TestNode;

std::string stateName(TamNode::ConfigState state) {
  switch (state) {
    case TamNode::CS_CONFIGURED:
      return "on";
    case TamNode::CS_NOT_CONFIGURED:
      return "off";
    case TamNode::CS_UNDECIDED:
      break;
  }
  return "undecided";
}

std::string nameOf(const ref_count_ptr<TamOption>& option) {
  return option ? option->moduleId() + ":" + option->name() : std::string("-");
}

// "v(how),v(how)" with the HowSet numbers, or "-" for an entry that is not there.
std::string entryText(const TamSelOptionSet::TamSosEntry& entry) {
  if (!entry.option) return "-";
  std::string text;
  for (size_t i = 0; i < entry.values.size(); ++i) {
    if (i > 0) text += ",";
    text += entry.values[i]->displayString();
    if (i < entry.howSet.size()) text += "(" + std::to_string(entry.howSet[i]) + ")";
  }
  return text;
}

std::string at(const TamObserver::Statement& statement) {
  if (!statement.isKnown()) return "";
  return " @" + statement.moduleId + ":" + std::to_string(statement.begin.line) + ":" +
         std::to_string(statement.begin.column) + "-" + std::to_string(statement.end.line) + ":" +
         std::to_string(statement.end.column);
}

const char* const kCauses[] = {"rule", "host", "presented", "inherited"};
const char* const kOutcomes[] = {"stored", "replaced", "added", "unchanged", "refused", "legacy"};
const char* const kStops[] = {"ran", "stopped by its condition", "forced off"};

// Writes every event as one line, in the order heard.
class Recorder : public TamObserver {
 public:
  std::vector<std::string> log;

  void nodeEntered(const TamNode* node) override { log.push_back("enter " + id(node)); }
  void loadIfJudged(const LoadIf& judged) override {
    std::string line = "judge " + id(judged.node) + " " +
                       (judged.legacy ? std::string("legacy") : "'" + judged.condition + "'");
    for (const Read& read : judged.reads) {
      TamSelOptionSet::TamSosEntry asEntry{read.option, TamPath(), read.values, read.howSet};
      line += " read " + nameOf(read.option) + "=" + entryText(asEntry);
    }
    log.push_back(line + " -> " + stateName(judged.result));
  }
  void stateForced(const TamNode* node, TamNode::ConfigState forced) override {
    log.push_back("forced " + id(node) + " " + stateName(forced));
  }
  void valueStored(const Store& store) override {
    std::string line = "store " + id(store.node) + " " + kCauses[store.cause] + " " +
                       nameOf(store.entry.option) + path(store.entry.path) + " " +
                       entryText(store.entry) + " " + kOutcomes[store.outcome];
    if (store.outcome != OUTCOME_STORED && store.outcome != OUTCOME_LEGACY) {
      line += " was " + entryText(store.before) + " now " + entryText(store.after);
    }
    if (store.source) line += " from " + nameOf(store.source);
    if (store.provider != nullptr) line += " at " + id(store.provider);
    log.push_back(line + at(store.statement));
  }
  void defaultCreated(const Default& created) override {
    log.push_back("default " + id(created.node) + " " + nameOf(created.entry.option) +
                  path(created.entry.path) + " " + entryText(created.entry) +
                  at(created.statement));
  }
  void entryRebound(const Rebound& rebound) override {
    log.push_back("rebound " + id(rebound.node) + " " + nameOf(rebound.entry.option) + " from" +
                  path(rebound.path) + " " + entryText(rebound.entry));
  }
  void messageEmitted(const Message& message) override {
    log.push_back("message " + id(message.node) + " " + std::to_string(message.severity) + " '" +
                  message.text + "'" + (message.accepted ? "" : " refused") +
                  at(message.statement));
  }
  void exclusiveConflict(const Conflict& conflict) override {
    log.push_back("conflict " + id(conflict.node) +
                  (conflict.valueForm ? " values " : " options ") + side(conflict.first) + " / " +
                  side(conflict.second) + at(conflict.statement));
  }
  void ruleFailed(const Failure& failure) override {
    log.push_back("failed " + id(failure.node) + " " + std::to_string(failure.exception->code()) +
                  " line " + std::to_string(failure.exception->line()) + at(failure.statement));
  }
  void nodeFinished(const NodeResult& result) override {
    std::string line = "finish " + id(result.node) + " " + stateName(result.state) + " " +
                       kStops[result.stop];
    if (result.forced != TamNode::CS_UNDECIDED) line += " forced " + stateName(result.forced);
    log.push_back(line + (result.sos != nullptr ? "" : " (no set)"));
  }

  // The log lines that start with one of these words.
  std::vector<std::string> only(const std::vector<std::string>& words) const {
    std::vector<std::string> lines;
    for (const std::string& line : log) {
      for (const std::string& word : words) {
        if (line.compare(0, word.size() + 1, word + " ") == 0) lines.push_back(line);
      }
    }
    return lines;
  }

 private:
  static std::string id(const TamNode* node) {
    return node ? const_cast<TamNode*>(node)->pathId() : "-";
  }
  static std::string path(const TamPath& path) {
    return path.isEmpty() ? "" : "[" + path.toDisplayString() + "]";
  }
  static std::string side(const ConflictSide& side) {
    std::string text = nameOf(side.option);
    if (!side.value.empty()) text += "." + side.value;
    text += "=" + entryText(side.entry);
    if (side.lastStore != nullptr) text += " set" + at(side.lastStore->statement);
    return text;
  }
};

class ObserverTest : public evaltest::EvalTest {
 protected:
  void SetUp() override {
    addModule("bike",
              {"public style string = \"road\" \"city\" default \"road\"",
               "public speed integer = 15 to 45 default 25",
               "public front_width presents wheel:width [front] default 32"},
              "if bike:style = \"road\" then\n"
              "  set bike:speed to 40\n"
              "elif bike:speed > 30 then\n"
              "  warn \"fast \" + bike:style\n"
              "endif\n"
              "fix wheel:width [rear] to 50\n");
    addModule("wheel",
              {"public width integer = 23 to 60 default 40", "public style uses bike:style"},
              "set wheel:width to 45\n");
    stand->setLoadIf("bike:style = \"road\" or bike:speed > 40");
    window->setObserver(&recorder);
  }
  void chooseAtBike(const std::string& style, int speed) {
    TamSelOptionSet chosen(window);
    chosen.set(evaltest::entry(option("bike", "style"), {TamValue::createString(style)},
                               {TamSelOptionSet::HOWSET_HOST_FIRM}));
    chosen.set(evaltest::entry(option("bike", "speed"), {TamValue::createInt(speed)},
                               {TamSelOptionSet::HOWSET_HOST}));
    bike.setSos(chosen);
  }

  Recorder recorder;
  TestNode bike{window, "bike", "bike"};
  TestNode* front = bike.addChild("front", "wheel");
  TestNode* rear = bike.addChild("rear", "wheel");
  TestNode* stand = bike.addChild("stand", "wheel");
};

// One evaluation heard from the first event to the last: the order of the kinds within a node,
// the node order, exact places of the statements in the rules text, and what each store did.
TEST_F(ObserverTest, EveryEventInEvaluationOrder) {
  chooseAtBike("city", 32);
  evaluate(bike);
  const std::vector<std::string> expected = {
      "enter bike",
      "default bike bike:front_width 32(0)",
      "default bike bike:speed 25(0)",
      "default bike bike:style road(0)",
      "store bike host bike:style city(3) replaced was road(0) now city(3)",
      "store bike host bike:speed 32(1) replaced was 25(0) now 32(1)",
      "message bike 1 'fast city' @bike:4:3-4:28",
      "store bike rule wheel:width[rear] 50(4) stored @bike:6:1-6:29",
      "finish bike undecided ran",
      "enter front",
      "store front presented wheel:width[front] 32(0) stored from bike:front_width",
      "rebound front wheel:width from[front] 32(0)",
      "default front wheel:style road(0)",
      "store front inherited wheel:style city(5) replaced was road(0) now city(5) from "
      "bike:style at bike",
      "store front rule wheel:width 45(2) replaced was 32(0) now 45(2) @wheel:1:1-1:22",
      "finish front undecided ran",
      "enter rear",
      "store rear presented wheel:width[front] 32(0) stored from bike:front_width",
      "rebound rear wheel:width from[rear] 50(4)",
      "default rear wheel:style road(0)",
      "store rear inherited wheel:style city(5) replaced was road(0) now city(5) from "
      "bike:style at bike",
      "store rear rule wheel:width 45(2) refused was 50(4) now 50(4) @wheel:1:1-1:22",
      "finish rear undecided ran",
      "enter stand",
      "judge stand 'bike:style = \"road\" or bike:speed > 40' read bike:style=city(3) read "
      "bike:speed=32(1) -> off",
      "finish stand off stopped by its condition (no set)",
  };
  EXPECT_EQ(recorder.log, expected);
}

// A store of the same value changes nothing, not even how it was set; a set rule cannot change
// a value the host set firmly; several values are added one by one.
TEST_F(ObserverTest, OutcomesOfStores) {
  struct Case {
    const char* declaration;
    const char* rules;
    const char* expectedStores;
  };
  const Case cases[] = {
      {"public a integer = 1 to 9 default 3", "set m:a to 3\nset m:a to 4\nfix m:a to 5\n",
       "store n rule m:a 3(2) unchanged was 3(0) now 3(0) @m:1:1-1:13|"
       "store n rule m:a 4(2) replaced was 3(0) now 4(2) @m:2:1-2:13|"
       "store n rule m:a 5(4) replaced was 4(2) now 5(4) @m:3:1-3:13|"},
      {"public a integer = 1 to 9 default 3", "fix m:a to 5\nset m:a to 6\n",
       "store n rule m:a 5(4) replaced was 3(0) now 5(4) @m:1:1-1:13|"
       "store n rule m:a 6(2) refused was 5(4) now 5(4) @m:2:1-2:13|"},
      {"public a string non_mutually_exclusive = \"x\" \"y\"",
       "set m:a to \"x\"\nset m:a to \"y\"\nset m:a to \"x\"\n",
       "store n rule m:a x(2) added was ***UNSET***(0) now x(2) @m:1:1-1:15|"
       "store n rule m:a y(2) added was x(2) now x(2),y(2) @m:2:1-2:15|"
       "store n rule m:a x(2) unchanged was x(2),y(2) now x(2),y(2) @m:3:1-3:15|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rules);
    tamtest::TestAdapter host;
    ref_count_ptr<TamWindow> own = Tam::createWindow();
    host.addModuleText("m", evaltest::moduleText("m", {c.declaration}, c.rules));
    Recorder heard;
    own->setObserver(&heard);
    TestNode node(own, "n", "m");
    own->setRoot(&node);
    own->evaluate(true);
    std::string stores;
    for (const std::string& line : heard.only({"store"})) stores += line + "|";
    EXPECT_EQ(stores, c.expectedStores);
  }
}

// A value the parent's module fixed for the node's path refuses the host's value at the node;
// a forced-on node runs although its load-if is false.
TEST_F(ObserverTest, RefusedHostValueAndForcedState) {
  chooseAtBike("city", 20);
  TamSelOptionSet atRear(window);
  atRear.set(evaltest::entry(option("wheel", "width"), {TamValue::createInt(30)},
                             {TamSelOptionSet::HOWSET_HOST}));
  rear->setSos(atRear);
  stand->forced = TamNode::CS_CONFIGURED;
  evaluate(bike);
  const std::vector<std::string> expected = {
      "store rear host wheel:width 30(1) refused was 50(4) now 50(4)",
      "store rear rule wheel:width 45(2) refused was 50(4) now 50(4) @wheel:1:1-1:22",
      "finish rear undecided ran",
      "judge stand 'bike:style = \"road\" or bike:speed > 40' read bike:style=city(3) read "
      "bike:speed=20(1) -> off",
      "forced stand on",
      "store stand rule wheel:width 45(2) replaced was 40(0) now 45(2) @wheel:1:1-1:22",
      "finish stand off ran forced on",
  };
  std::vector<std::string> heard;
  for (const std::string& line : recorder.only({"store", "judge", "forced", "finish"})) {
    const bool atRearOrStand = line.find(" rear ") != std::string::npos ||
                               line.find(" stand ") != std::string::npos;
    const bool aboutWidth =
        line.find("store") != 0 || line.find("wheel:width ") != std::string::npos;
    if (atRearOrStand && aboutWidth) heard.push_back(line);
  }
  EXPECT_EQ(heard, expected);
}

// A used option takes its values from the farthest ancestor that provides them: the base's own
// module at the top, or an intermediate module using the same base when the top does not.
TEST_F(ObserverTest, InheritanceOverThreeLevels) {
  struct Case {
    const char* topModule;
    const char* expected;
  };
  const Case cases[] = {
      {"a", "store mid inherited b:u 7(5) replaced was 1(0) now 7(5) from a:x at top|"
            "store low inherited c:u 7(5) replaced was 1(0) now 7(5) from a:x at top|"},
      {"other", "store low inherited c:u 8(5) replaced was 1(0) now 8(5) from b:u at mid|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.topModule);
    tamtest::TestAdapter host;
    ref_count_ptr<TamWindow> own = Tam::createWindow();
    host.addModuleText("a", evaltest::moduleText("a", {"public x integer default 1"},
                                                 "set a:x to 7\n"));
    host.addModuleText("other", evaltest::moduleText("other", {"public y integer"}, ""));
    host.addModuleText("b", evaltest::moduleText("b", {"public u uses a:x"}, ""));
    host.addModuleText("c", evaltest::moduleText("c", {"public u uses a:x"}, ""));
    TestNode top(own, "top", c.topModule);
    TestNode* mid = top.addChild("mid", "b");
    mid->addChild("low", "c");
    TamSelOptionSet chosen(own);
    chosen.set(evaltest::entry(TamOption::findOption(own, "b", "u"), {TamValue::createInt(8)},
                               {TamSelOptionSet::HOWSET_HOST}));
    mid->setSos(chosen);
    Recorder heard;
    own->setObserver(&heard);
    own->setRoot(&top);
    own->evaluate(true);
    std::string inherited;
    for (const std::string& line : heard.only({"store"})) {
      if (line.find("inherited") != std::string::npos) inherited += line + "|";
    }
    EXPECT_EQ(inherited, c.expected);
  }
}

// Messages, conflicts and failures are placed at their statements; a failure inside an elif
// chain at the link whose condition failed; a refused message is heard before code 500.
TEST_F(ObserverTest, MessagesConflictsAndFailuresArePlaced) {
  struct Case {
    const char* rules;
    bool accept;
    const char* expected;
  };
  const Case cases[] = {
      {"set m:s to \"a\"\nset m:t to \"b\"\nmutually_exclusive : [s, t]\n", true,
       "conflict n options m:s=a(2) set @m:1:1-1:15 / m:t=b(2) set @m:2:1-2:15 @m:3:1-3:28|"
       "failed n 106 line 0 @m:3:1-3:28|"},
      {"set m:s to \"a\"\nmutually_exclusive : {s.a, t.c, s.a}\n", true,
       "conflict n values m:s.a=a(2) set @m:1:1-1:15 / m:s.a=a(2) set @m:1:1-1:15 "
       "@m:2:1-2:37|failed n 107 line 0 @m:2:1-2:37|"},
      {"if m:i = 1 then inform \"one\"\nelif m:i > \"z\" then inform \"two\" endif\n", true,
       "failed n 202 line 3 @m:2:1-2:39|"},
      {"if m:i = 2 then inform \"two\"\nelse\n  error \"not two\"\nendif\n", false,
       "message n 2 'not two' refused @m:3:3-3:18|failed n 500 line 4 @m:3:3-3:18|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rules);
    tamtest::TestAdapter host;
    host.acceptMessages = c.accept;
    ref_count_ptr<TamWindow> own = Tam::createWindow();
    host.addModuleText("m", evaltest::moduleText("m",
                                                 {"public s string = \"a\" \"x\"",
                                                  "public t string = \"b\" \"c\"",
                                                  "public i integer default 0"},
                                                 c.rules));
    Recorder heard;
    own->setObserver(&heard);
    TestNode node(own, "n", "m");
    own->setRoot(&node);
    EXPECT_NE(evaltest::failureOf([&] { own->evaluate(true); }), "none");
    std::string lines;
    for (const std::string& line : heard.only({"conflict", "failed", "message"})) {
      lines += line + "|";
    }
    EXPECT_EQ(lines, c.expected);
  }
}

// The rarer events: a default created when a rule reads an option the set has no entry for
// (placed at the rule), a value handed to the host for a legacy option, a node forced off, and a
// node whose state the host's legacy condition decides.
class LegacyConditionNode : public TestNode {
 public:
  using TestNode::TestNode;
  bool legacyConditionExists() override { return true; }
  ConfigState evaluateLegacyCondition() override { return CS_CONFIGURED; }
};

TEST_F(ObserverTest, RarerEvents) {
  tamtest::TestAdapter host;
  ref_count_ptr<TamWindow> own = Tam::createWindow();
  host.addModuleText("m", evaltest::moduleText("m", {"public a integer default 3"},
                                               "set m:a to n:b + 1\nset m:note to m:a\n"));
  host.addModuleText("n", evaltest::moduleText("n", {"public b integer default 4"}, ""));
  own->getModule("m")->declareLegacyOption("note");
  Recorder heard;
  own->setObserver(&heard);
  LegacyConditionNode top(own, "top", "m");
  TestNode* off = top.addChild("off", "n");
  off->forced = TamNode::CS_NOT_CONFIGURED;
  own->setRoot(&top);
  own->evaluate(true);
  const std::vector<std::string> expected = {
      "enter top",
      "judge top legacy -> on",
      "default top m:a 3(0)",
      "default top n:b 4(0) @m:1:1-1:19",
      "store top rule m:a 5(2) replaced was 3(0) now 5(2) @m:1:1-1:19",
      "store top rule m:note 5(2) legacy @m:2:1-2:18",
      "finish top on ran",
      "enter off",
      "forced off off",
      "finish off undecided forced off forced off (no set)",
  };
  EXPECT_EQ(heard.log, expected);
  ASSERT_EQ(host.legacyValues["m:note"].size(), 1u);
  EXPECT_EQ(host.legacyValues["m:note"][0]->displayString(), "5");
}

// An observer hears only the kinds of calls it asks for.
class InterestedRecorder : public Recorder {
 public:
  explicit InterestedRecorder(unsigned interests) : interests_(interests) {}
  unsigned interests() const override { return interests_; }

 private:
  unsigned interests_;
};

TEST_F(ObserverTest, AnObserverHearsWhatItAsksFor) {
  struct Case {
    unsigned interests;
    std::vector<std::string> kinds;  // the first word of every line heard, each once
  };
  const Case cases[] = {
      {TamObserver::INTEREST_ALL,
       {"enter", "default", "store", "message", "finish", "rebound", "judge"}},
      {TamObserver::INTEREST_NODES, {"enter", "finish", "judge"}},
      {TamObserver::INTEREST_VALUES, {"default", "store", "rebound"}},
      {TamObserver::INTEREST_RULES, {"message"}},
      {0, {}},
  };
  chooseAtBike("city", 32);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interests);
    InterestedRecorder heard(c.interests);
    window->setObserver(&heard);
    evaluate(bike);
    std::vector<std::string> kinds;
    for (const std::string& line : heard.log) {
      const std::string kind = line.substr(0, line.find(' '));
      if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) kinds.push_back(kind);
    }
    EXPECT_EQ(kinds, c.kinds);
  }
}

// The result of every node as text: state, then each value with how it was set.
std::string resultOf(TestNode& node) {
  std::string text = node.pathId() + ":" + std::to_string(node.isNodeConfigured());
  for (const auto& item : node.getSos().contents()) text += " " + entryText(item.second);
  return text;
}

std::string resultOfTree(TestNode& bike, const std::vector<TestNode*>& children) {
  std::string text = resultOf(bike);
  for (TestNode* child : children) text += " | " + resultOf(*child);
  return text;
}

// Throws at the n-th event heard.
class ThrowingObserver : public Recorder {
 public:
  explicit ThrowingObserver(size_t throwAt) : throwAt_(throwAt) {}
  void nodeEntered(const TamNode* node) override { hear(); Recorder::nodeEntered(node); }
  void loadIfJudged(const LoadIf& judged) override { hear(); Recorder::loadIfJudged(judged); }
  void valueStored(const Store& store) override { hear(); Recorder::valueStored(store); }
  void defaultCreated(const Default& created) override {
    hear();
    Recorder::defaultCreated(created);
  }
  void entryRebound(const Rebound& rebound) override { hear(); Recorder::entryRebound(rebound); }
  void messageEmitted(const Message& message) override {
    hear();
    Recorder::messageEmitted(message);
  }
  void nodeFinished(const NodeResult& result) override { hear(); Recorder::nodeFinished(result); }

 private:
  void hear() {
    if (heard_++ == throwAt_) throw std::runtime_error("observer gave up");
  }
  size_t throwAt_;
  size_t heard_ = 0;
};

// Whatever event an observer throws at, the exception reaches the host, and the next evaluation
// gives exactly the results of one that was never interrupted.
TEST_F(ObserverTest, AThrowingObserverCorruptsNothing) {
  chooseAtBike("city", 32);
  window->setObserver(nullptr);
  evaluate(bike);
  const std::string clean = resultOfTree(bike, {front, rear, stand});
  const size_t events = [&] {
    Recorder count;
    window->setObserver(&count);
    evaluate(bike);
    return count.log.size();
  }();
  ASSERT_GT(events, 20u);
  for (size_t throwAt = 0; throwAt < events; ++throwAt) {
    SCOPED_TRACE(throwAt);
    ThrowingObserver thrower(throwAt);
    window->setObserver(&thrower);
    EXPECT_THROW(evaluate(bike), std::runtime_error);
    window->setObserver(nullptr);
    evaluate(bike);
    EXPECT_EQ(resultOfTree(bike, {front, rear, stand}), clean);
  }
}

// The same tree evaluated with and without an observer gives the same values, states, state
// changes, messages and failures; each window's observer hears only its own window.
TEST_F(ObserverTest, AnObserverChangesNoResult) {
  const std::vector<std::pair<std::string, int>> choices = {
      {"city", 32}, {"road", 20}, {"city", 45}, {"city", 15}};
  for (const auto& choice : choices) {
    SCOPED_TRACE(choice.first + " " + std::to_string(choice.second));
    chooseAtBike(choice.first, choice.second);
    window->setObserver(nullptr);
    adapter.messages.clear();
    evaluate(bike);
    const std::string without = resultOfTree(bike, {front, rear, stand});
    const size_t messagesWithout = adapter.messages.size();
    const std::vector<TamNode::ConfigState> changesWithout = stand->stateChanges;

    recorder.log.clear();
    window->setObserver(&recorder);
    adapter.messages.clear();
    evaluate(bike);
    EXPECT_EQ(resultOfTree(bike, {front, rear, stand}), without);
    EXPECT_EQ(adapter.messages.size(), messagesWithout);
    EXPECT_EQ(stand->stateChanges, changesWithout);
    EXPECT_EQ(recorder.only({"enter"}).size(), 4u);
  }
  Recorder other;
  ref_count_ptr<TamWindow> second = Tam::createWindow();
  second->setObserver(&other);
  recorder.log.clear();
  evaluate(bike);
  EXPECT_TRUE(other.log.empty());
  EXPECT_FALSE(recorder.log.empty());
}

}  // namespace
