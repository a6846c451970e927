// Whole module texts: reading them into a module, writing them back, and what a failing text
// leaves behind.
#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/TamTokenizer.h"

namespace tamtest {
namespace {

using ModuleTextTest = ModelTest;

const char* const kTopLine = "Expected \"module\" statement as top line of RIX";
const char* const kNoInterface = "Expected \"interface start\"";
const char* const kRanOut =
    "Ran out of lines parsing RIX interface - did you forget an \"interface end\" line";

TEST(TokenizerTest, LinesAndRemainder) {
  TamTokenizer lines("\r\n one \n\n\r\ntwo\r\n\r\n  rest\nmore\n", TamTokenizer::kLineBreaks);
  EXPECT_EQ(lines.nextToken(), " one ");
  EXPECT_EQ(lines.nextToken(), "two");
  EXPECT_EQ(lines.remainder(), "  rest\nmore\n");
  EXPECT_EQ(lines.remainder(), "  rest\nmore\n");
  EXPECT_EQ(lines.nextToken(), "  rest");
  EXPECT_EQ(lines.nextToken(), "more");
  EXPECT_EQ(lines.nextToken(), "");
  EXPECT_EQ(lines.remainder(), "");
  EXPECT_EQ(TamTokenizer("a,b", ",").remainder(), "a,b");
}

TEST_F(ModuleTextTest, RoundTripKeepsLayoutAndOptionIds) {
  const std::string text =
      moduleText("engine",
                 {"public size integer \"Engine size\" = 1 to 4 default 2",
                  "public turbo logical default false  "},
                 "if engine:size > 2 then fix engine:turbo to true endif\n# done");
  ref_count_ptr<TamModule> engine = window->createModule("engine");
  EXPECT_EQ(engine->getRixData(), "");
  engine->setRixData(text);
  EXPECT_EQ(engine->getRixData(), text);
  EXPECT_EQ(engine->askOptionRix("turbo"), "public turbo logical default false  ");
  EXPECT_EQ(engine->getOption("size")->description(), "Engine size");

  const int sizeId = engine->getOption("size")->id();
  engine->setRixData(engine->getRixData());
  EXPECT_EQ(engine->getRixData(), text);
  EXPECT_EQ(engine->getOption("size")->id(), sizeId);
}

TEST_F(ModuleTextTest, LineBreaksAndBlankLinesCarryNothing) {
  const std::string plain =
      moduleText("m", {"public a integer", "public b logical"}, "set m:a to 1");
  const std::string spaced =
      "module m\r\n\r\n\r\ninterface start\r\n\r\npublic a integer\r\n\n\r\npublic b logical\r\n"
      "interface end\r\n\r\n\nset m:a to 1";
  ref_count_ptr<TamModule> m = window->createModule("m");
  m->setRixData(spaced);
  EXPECT_EQ(m->getRixData(), plain);
}

TEST_F(ModuleTextTest, ModuleWithoutRulesWritesNoRules) {
  ref_count_ptr<TamModule> m = window->createModule("m");
  m->setRixData(moduleText("m", {"public a integer"}));
  EXPECT_EQ(m->getRixData(), "module m\ninterface start\npublic a integer\ninterface end\n");
  EXPECT_EQ(m->getRix()->rix(), "");
  m->setRixData(m->getRixData());
  EXPECT_EQ(m->getRixData(), "module m\ninterface start\npublic a integer\ninterface end\n");

  ref_count_ptr<TamModule> rulesOnly = window->createModule("r");
  rulesOnly->setRix("");
  EXPECT_EQ(rulesOnly->getRixData(), "module r\ninterface start\ninterface end\n");
}

TEST_F(ModuleTextTest, BadTextsLeaveTheModuleAsItWas) {
  const std::string original = moduleText("x", {"public a integer"}, "set x:a to 1");
  struct Case {
    const char* text;
    std::string message;
  };
  const Case cases[] = {
      {"Module x\ninterface start\ninterface end\n", kTopLine},
      {"modul", kTopLine},
      {"\n\n", kTopLine},
      {"module  x\ninterface start\ninterface end\n",
       "RIX module statement \"module  x\" does not match this module's id of \"x\"."},
      {"module y\n", "RIX module statement \"module y\" does not match this module's id of \"x\"."},
      {"module x", kNoInterface},
      {"module x\r\n\r\n", kNoInterface},
      {"module x\ninterface start \npublic a integer\ninterface end\n", kNoInterface},
      {"module x\npublic a integer\ninterface end\n", kNoInterface},
      {"module x\ninterface start\npublic a integer\n", kRanOut},
      {"module x\ninterface start\ninterface end \n", "Expected \"public\" or \"private\""},
  };
  ref_count_ptr<TamModule> x = window->createModule("x");
  x->setRixData(original);
  x->setRixData("");
  EXPECT_EQ(x->getRixData(), original);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TamException e = raised([&] { x->setRixData(c.text); });
    EXPECT_EQ(e.code(), TamSyntaxError::kCode);
    EXPECT_EQ(e.info(), c.message);
    if (c.message != "Expected \"public\" or \"private\"") {
      EXPECT_EQ(e.context(), "");
      EXPECT_EQ(e.line(), 0);
    }
    EXPECT_EQ(x->getRixData(), original);
  }
}

TEST_F(ModuleTextTest, OptionsNoLongerDeclaredAreRemoved) {
  declare("base", {"public p integer"});
  ref_count_ptr<TamModule> m = window->createModule("m");
  m->declareLegacyOption("kept");
  m->setRixData(moduleText("m", {"public a integer", "public b uses base:p"}));
  const int aId = m->getOption("a")->id();
  ASSERT_EQ(m->usingOptions().size(), 1u);

  m->setRixData(moduleText("m", {"public a integer = 1 to 3"}));
  ASSERT_EQ(m->options().size(), 1u);
  EXPECT_EQ(m->options()[0]->id(), aId);
  EXPECT_TRUE(m->usingOptions().empty());
  EXPECT_EQ(raised([&] { m->askOptionRix("b"); }).code(), 102);
  EXPECT_EQ(raised([&] { m->getOption("b"); }).code(), 102);
  EXPECT_EQ(m->getOption("kept")->scope(), TamOption::SCOPE_LEGACY);
}

TEST_F(ModuleTextTest, FailingDeclarationKeepsEarlierLinesAndOldRules) {
  ref_count_ptr<TamModule> m = window->createModule("m");
  m->setRixData(moduleText("m", {"public a integer = 1 to 4", "public b logical"}, "set m:a to 1"));
  const std::string bad = moduleText(
      "m", {"public a integer = 1 to 9", "public c bogus", "public d logical"}, "set m:a to 2");
  TamException e = raised([&] { m->setRixData(bad); });
  EXPECT_EQ(e.code(), TamSyntaxError::kCode);
  EXPECT_EQ(e.info(), "Expected option type, implements or presents");
  EXPECT_TRUE(m->getOption("a")->validateValue(TamValue::createInt(9)));
  EXPECT_EQ(m->askOptionRix("a"), "public a integer = 1 to 9");
  EXPECT_EQ(m->getOption("b")->name(), "b");
  EXPECT_EQ(raised([&] { m->getOption("d"); }).code(), 102);
  EXPECT_EQ(m->getRix()->rix(), "set m:a to 1");
}

TEST_F(ModuleTextTest, FailingRulesKeepTheNewInterfaceAndOldRules) {
  ref_count_ptr<TamModule> m = window->createModule("m");
  m->setRixData(moduleText("m", {"public a integer", "public b logical"}, "set m:a to 1"));
  TamException e = raised([&] {
    m->setRixData(moduleText("m", {"public a integer", "public c logical"}, "set m:a 2"));
  });
  EXPECT_EQ(e.code(), TamSyntaxError::kCode);
  EXPECT_EQ(e.info(), "Error parsing set/fix statement: 'to' not found");
  EXPECT_EQ(m->getRixData(),
            moduleText("m", {"public a integer", "public c logical"}, "set m:a to 1"));
}

TEST_F(ModuleTextTest, LeadingBlankLinesOfTheRulesAreDropped) {
  ref_count_ptr<TamModule> m = window->createModule("m");
  const std::string rules = "set m:a to 1\n\n  # trailing comment\n";
  m->setRixData("module m\ninterface start\npublic a integer\ninterface end\n\n\r\n" + rules);
  EXPECT_EQ(m->getRix()->rix(), rules);
  EXPECT_EQ(m->getRixData(), moduleText("m", {"public a integer"}, rules));
}

}  // namespace
}  // namespace tamtest
