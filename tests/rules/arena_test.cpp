// Rule trees live in one arena per parsed text and keep their own copy of that text: a tree
// outlives the caller's text and the module text it came from, and a parse that fails part-way
// frees what it built (the sanitizer run checks for leaks and stray frees).
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "rules/RuleArena.h"
#include "rules/TamExp.h"
#include "rules_fixture.h"

namespace rulestest {
namespace {

using tam::detail::RuleArena;
using ArenaTest = RulesTest;

constexpr const char* kRules =
    "if m:a > 3 and not (m:u = 2) then set m:color to \"big\" + \"ger\" # note\n"
    "elif m:a = 1 then fix m:small to -(2 - 1) * 3 else inform \"none \" + m:size endif\n"
    "mutually_exclusive : [a, u] mutually_exclusive : {color.red, size.x}\n"
    "set m:size[p.q] to \"s\" warn m:a / 2\n";

TEST(RuleArenaTest, BlocksAreAlignedDisjointAndSizedForTheText) {
  struct Case {
    std::size_t textSize;
    std::vector<std::size_t> requests;
  };
  const Case cases[] = {
      {0, {1, 8, 24, 7}},                                 // the smallest first block
      {10, {100, 100, 100}},                              // more than the first block holds
      {1000, {RuleArena::kMaxBlock + 1, 16}},             // one request larger than any block
      {1u << 20, std::vector<std::size_t>(5000, 40)},     // a first block at its largest
  };
  for (const Case& c : cases) {
    RuleArena arena(c.textSize);
    std::vector<std::pair<std::uintptr_t, std::size_t>> taken;
    std::size_t asked = 0;
    for (std::size_t size : c.requests) {
      auto at = reinterpret_cast<std::uintptr_t>(arena.allocate(size));
      EXPECT_EQ(at % RuleArena::kAlignment, 0u) << c.textSize;
      for (const auto& other : taken) {
        EXPECT_TRUE(at + size <= other.first || other.first + other.second <= at) << c.textSize;
      }
      taken.emplace_back(at, size);
      asked += size;
    }
    EXPECT_GE(arena.reservedBytes(), asked) << c.textSize;
    const std::size_t first = std::min(std::max(c.textSize * RuleArena::kBytesPerTextByte,
                                                RuleArena::kMinBlock),
                                       RuleArena::kMaxBlock);
    // Nothing beyond the first block, one request that did not fit, and one block after it.
    EXPECT_LE(arena.reservedBytes(), first + asked + RuleArena::kNextBlock + 64) << c.textSize;
  }
}

// Every cut of a valid text either parses or fails with a syntax error; either way nothing is
// leaked or freed twice, and a cut that parses gives the tree a fresh parse of a copy gives.
TEST(RuleArenaTest, AParseFailingAnywhereFreesWhatItBuilt) {
  const std::string text = kRules;
  int failures = 0;
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    const std::string prefix = text.substr(0, cut);
    try {
      ref_count_ptr<TamExpRoot> root = TamRuleParser(prefix).parseRules();
      const std::string copy = prefix;
      ref_count_ptr<TamExpRoot> again = TamRuleParser(copy).parseRules();
      EXPECT_EQ(root->body() ? root->body()->dump() : "", again->body() ? again->body()->dump() : "");
    } catch (const TamSyntaxError&) {
      ++failures;
    }
    try {
      TamRuleParser(prefix).parseCondition();
    } catch (const TamSyntaxError&) {
    }
  }
  EXPECT_GT(failures, 0);  // the cuts do reach into the middle of statements
}

TEST_F(ArenaTest, ATreeOutlivesTheTextItWasParsedFrom) {
  ref_count_ptr<TamExpRoot> root;
  std::string dumped;
  {
    auto text = std::make_unique<std::string>(kRules);
    root = TamRuleParser(*text).parseRules();
    dumped = root->body()->dump();
    text->assign(text->size(), '#');  // scribbled over, then gone
  }
  EXPECT_EQ(root->rix(), kRules);
  EXPECT_EQ(root->body()->dump(), dumped);
  EXPECT_EQ(root->position(root->body()->endOffset()).line, 4);
  ref_count_ptr<TamConditionExp> condition;
  {
    std::string text = "m:a > 3 and m:a < 9";
    condition = TamRuleParser(text).parseCondition();
    text = "m:u";
  }
  EXPECT_EQ(condition->rix(), "m:a > 3 and m:a < 9");
  EXPECT_EQ(condition->getValue(sos), std::make_pair(false, true));  // a defaults to 7
}

// A module's text replaced, or its rules failing to parse, while rules parsed from the old text
// are still held: the held tree keeps its text and still runs; the failure keeps the new
// interface and the old rules.
TEST_F(ArenaTest, RulesHeldAcrossAReplacedModuleTextKeepTheirText) {
  const std::string interface = "module m\ninterface start\npublic a integer default 7\n"
                                "public color string\ninterface end\n";
  module->setRixData(interface + "set m:color to \"old\"\n");
  ref_count_ptr<TamExpRoot> held = module->getRix();
  struct Step {
    std::string text;
    bool fails;
    std::string rulesAfter;  // the module's rules once the step is done
    bool declaresGone;       // the step's interface stays even when its rules fail
  };
  const Step steps[] = {
      {interface + "set m:color to \"new\"\n", false, "set m:color to \"new\"\n", false},
      {"module m\ninterface start\npublic a integer default 7\npublic color string\n"
       "public gone logical\ninterface end\nset m:color to\n",
       true, "set m:color to \"new\"\n", true},
      {interface + "if m:a then endif extra", true, "set m:color to \"new\"\n", false},
      {interface, false, "", false},
  };
  for (const Step& step : steps) {
    bool failed = false;
    try {
      module->setRixData(step.text);
    } catch (const TamSyntaxError&) {
      failed = true;
    }
    EXPECT_EQ(failed, step.fails) << step.text;
    EXPECT_EQ(module->getRix()->rix(), step.rulesAfter) << step.text;
    EXPECT_EQ(failureOf([&] { module->getOption("gone"); }).code() == 0, step.declaresGone);
    EXPECT_EQ(held->rix(), "set m:color to \"old\"\n");
    sos.clear();
    held->execute(sos);
    EXPECT_EQ(sos.get(option("color"), TamPath()).values.at(0)->strValue(), "old");
  }
}

// Names copied into the arena between nodes, alone or joined: each copy keeps its bytes however
// much follows it, and every node placed after a copy is still aligned.
TEST(RuleArenaTest, CopiedNamesKeepTheirBytesBetweenAlignedNodes) {
  const std::string names[] = {"", "m", "abc", "seven77", "a name of some length",
                               std::string(RuleArena::kNextBlock + 3, 'x')};
  RuleArena arena(0);
  std::vector<std::pair<std::string_view, std::string>> copies;
  for (int round = 0; round < 50; ++round) {
    for (const std::string& name : names) {
      if (round % 2 == 0) {
        copies.emplace_back(arena.copy(name), name);
      } else {
        copies.emplace_back(arena.copy(name, names[round % 6]), name + names[round % 6]);
      }
      void* node = arena.allocate(24 + round % 3);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(node) % RuleArena::kAlignment, 0u);
      std::memset(node, 0x5a, 24);
    }
  }
  for (const auto& copy : copies) EXPECT_EQ(copy.first, copy.second);
}

// The names a tree's references hold, quoted ones unescaped, outlive the text; so do those of a
// reference made outside a parse from texts of its own.
TEST_F(ArenaTest, ReferenceNamesOutliveTheirText) {
  struct Case {
    std::string rules;
    std::string moduleId;
    std::string optionName;
  };
  // Names too long for a reference's compact sizes are kept apart, as are names written with
  // quotes or spaced from their colon (not the text's bytes as they stand).
  const std::string longest(70000, 'k');
  const std::string longName(40000, 'v');
  const Case cases[] = {
      {"set m:color to \"c\"", "m", "color"},
      {"set 'a b':'x\\'y z' to 1", "a b", "x'y z"},
      {"fix m:'set'[p.q] to 2", "m", "set"},
      {"set " + std::string(300, 'k') + ":" + std::string(200, 'v') + " to 3",
       std::string(300, 'k'), std::string(200, 'v')},
      {"set m : color to 1", "m", "color"},
      {"set 'm':color to 1", "m", "color"},
      {"set m:'color' to 1", "m", "color"},
      {"set m:c[] to 1", "m", "c"},
      {"set " + longest + ":v to 1", longest, "v"},
      {"set m:" + longName + " to 1", "m", longName},
      {"set " + longName + ":" + longName + "[x] to 1", longName, longName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rules);
    ref_count_ptr<TamExpRoot> root;
    {
      auto text = std::make_unique<std::string>(c.rules);
      root = TamRuleParser(*text).parseRules();
      text->assign(text->size(), '#');
    }
    const auto& list = dynamic_cast<const TamExpListExp&>(*root->body());
    ASSERT_EQ(list.children().size(), 1u);
    const TamOptionExp* reference = dynamic_cast<const TamSetExp&>(*list.children()[0]).option();
    EXPECT_EQ(reference->moduleId(), c.moduleId);
    EXPECT_EQ(reference->optionName(), c.optionName);
    std::unique_ptr<TamOptionExp> own;
    {
      std::string moduleId = c.moduleId;
      std::string optionName = c.optionName;
      own.reset(new TamOptionExp(moduleId, optionName, reference->path()));
      moduleId.assign(moduleId.size(), '#');
      optionName.assign(optionName.size(), '#');
    }
    EXPECT_EQ(own->dump(), reference->dump());
  }
}

// Lists of every length up to past a few doublings keep their statements in order, parsed and
// built by hand alike.
TEST_F(ArenaTest, StatementListsKeepEveryStatementInOrder) {
  for (int count : {1, 2, 3, 4, 5, 8, 9, 16, 17, 33, 64, 65}) {
    SCOPED_TRACE(count);
    std::string text;
    std::vector<std::string> dumps;
    auto byHand = std::make_unique<TamExpListExp>();
    for (int i = 0; i < count; ++i) {
      const std::string statement = "set m:n to " + std::to_string(i) + "\n";
      text += statement;
      dumps.push_back(dynamic_cast<const TamExpListExp&>(
                          *TamRuleParser(statement).parseRules()->body()).children()[0]->dump());
      byHand->add(new TamSetExp(new TamOptionExp("m", "n", TamPath()),
                                new TamLiteralValueExp(TamValue::createInt(i)), false, i + 1));
    }
    ref_count_ptr<TamExpRoot> root = TamRuleParser(text).parseRules();
    const auto& parsed = dynamic_cast<const TamExpListExp&>(*root->body());
    for (const TamExpListExp* list : {&parsed, static_cast<const TamExpListExp*>(byHand.get())}) {
      ASSERT_EQ(list->children().size(), static_cast<std::size_t>(count));
      std::vector<std::string> seen;
      for (const TamExp* child : list->children()) seen.push_back(child->dump());
      EXPECT_EQ(seen, dumps);
    }
    sos.clear();
    byHand->execute(sos);
    EXPECT_EQ(sos.get(option("n"), TamPath()).values.back()->intValue(), count - 1);
  }
}

}  // namespace
}  // namespace rulestest

namespace rulestest {
namespace {

// Where every reference of a parsed tree stands and what it names, as a line per reference.
std::vector<std::string> describeReferences(const TamExpRoot& root) {
  std::vector<std::string> lines;
  const TamRixOutline outline = root.outline();
  for (const TamRixOutline::Node& r : outline.nodes()) {
    if (r.kind != TamRixOutline::KIND_OPTION_REFERENCE) continue;
    lines.push_back(r.moduleId + "|" + r.optionName + "|" + std::to_string(r.optionNamePos.offset) +
                    "|" + std::to_string(r.pathBegin.offset) + "|" + std::to_string(r.pathEnd.offset));
  }
  return lines;
}

// The mutually exclusive rules' names, read from the text when written plainly and copied
// otherwise, survive the text and keep their places.
TEST_F(ArenaTest, MutuallyExclusiveNamesOutliveTheirText) {
  const std::string rules =
      "mutually_exclusive : [a, 'u', small , 'a b']\n"
      "mutually_exclusive : {color.red, 'size'.x, tags . 'y z'}\n";
  ref_count_ptr<TamExpRoot> root;
  {
    auto text = std::make_unique<std::string>(rules);
    root = TamRuleParser(*text).parseRules();
    text->assign(text->size(), '#');
  }
  const auto& list = dynamic_cast<const TamExpListExp&>(*root->body());
  ASSERT_EQ(list.children().size(), 2u);
  EXPECT_EQ(list.children()[0]->dump(), "me[a, u, small, a b]");
  EXPECT_EQ(list.children()[1]->dump(), "valueme{color.red, size.x, tags.y z}");
  const auto& names = dynamic_cast<const TamMEExp&>(*list.children()[0]);
  const std::size_t expected[] = {rules.find("a,"), rules.find("'u'"), rules.find("small"),
                                  rules.find("'a b'")};
  ASSERT_EQ(names.options().size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(names.options()[i]->optionNameOffset(), expected[i]) << i;
    EXPECT_EQ(names.options()[i]->moduleIdOffset(), TamSourcePos::kNoOffset) << i;
    EXPECT_TRUE(names.options()[i]->moduleId().empty()) << i;
  }
}

// A path written after a reference, even an empty one, moves its names apart from the text
// without changing them, its places or how it prints; the same reference without a path keeps
// none.
TEST_F(ArenaTest, ReferencesWithAndWithoutPathsKeepNamesAndPlaces) {
  const std::string rules = "set m:color[] to 1 set m:color[p.q] to 2 set m:color to 3";
  ref_count_ptr<TamExpRoot> root = TamRuleParser(rules).parseRules();
  const auto& list = dynamic_cast<const TamExpListExp&>(*root->body());
  std::vector<std::string> dumps;
  for (const TamExp* child : list.children()) dumps.push_back(child->dump());
  EXPECT_EQ(dumps, (std::vector<std::string>{"set(m:color, 1)", "set(m:color[p.q], 2)",
                                             "set(m:color, 3)"}));
  const std::size_t empty = rules.find("[]");
  const std::size_t path = rules.find("[p.q]");
  const std::vector<std::string> expected = {
      "m|color|6|" + std::to_string(empty) + "|" + std::to_string(empty + 2),
      "m|color|" + std::to_string(path - 5) + "|" + std::to_string(path) + "|" +
          std::to_string(path + 5),
      "m|color|" + std::to_string(rules.rfind("color")) + "|" +
          std::to_string(TamSourcePos::kNoOffset) + "|" + std::to_string(TamSourcePos::kNoOffset),
  };
  EXPECT_EQ(describeReferences(*root), expected);
}

// Trees built by hand on the heap and parsed trees in arenas, alive at once and freed in either
// order, from two threads: each delete frees exactly the heap nodes (the sanitizer run reports
// a stray or missed free).
TEST_F(ArenaTest, HeapNodesAndArenaNodesAreFreedEachTheirWay) {
  const std::string rules = "if m:a > 3 then set m:n to 1 else set m:n to 2 endif\n";
  auto work = [&rules](int rounds) {
    for (int round = 0; round < rounds; ++round) {
      std::unique_ptr<TamExpListExp> byHand(new TamExpListExp());
      ref_count_ptr<TamExpRoot> parsed = TamRuleParser(rules).parseRules();
      for (int i = 0; i <= round % 5; ++i) {
        byHand->add(new TamSetExp(new TamOptionExp("m", "n", TamPath()),
                                  new TamLiteralValueExp(i), false, i));
      }
      EXPECT_EQ(byHand->children().size(), static_cast<std::size_t>(round % 5 + 1));
      if (round % 2 == 0) parsed = ref_count_ptr<TamExpRoot>();
      else byHand.reset();
    }
  };
  std::thread other(work, 200);
  work(200);
  other.join();
  ref_count_ptr<TamExpRoot> root = TamRuleParser(rules).parseRules();
  sos.clear();
  root->execute(sos);
  EXPECT_EQ(sos.get(option("n"), TamPath()).values.at(0)->intValue(), 1);
}

}  // namespace
}  // namespace rulestest
