// Whole module texts: reading them into a module, writing them back, and what a failing text
// leaves behind.
#include <gtest/gtest.h>

#include <utility>

#include "ModelTestSupport.h"

namespace tamtest {
namespace {

using ModuleTextTest = ModelTest;

// Each text is read into module m and written back; reading what was written changes nothing.
// Option a keeps its id throughout; options a text no longer declares leave the module.
TEST_F(ModuleTextTest, TextsAreWrittenBackInTheReadersLayout) {
  struct Case {
    const char* read;
    const char* written;  // null: the text read
    const char* options;  // declared | used
  };
  const Case cases[] = {
      {"module m\ninterface start\npublic a integer \"Size\" = 1 to 4 default 2\n"
       "public b logical  \npublic u uses base:p\ninterface end\n"
       "if m:a > 2 then fix m:b to true endif\n# done",
       nullptr, "a b u|u"},
      {"module m\ninterface start\npublic a integer\ninterface end\n", nullptr, "a|"},
      // Line breaks of either kind and blank lines carry nothing; the rules lose only the line
      // breaks before them.
      {"module m\r\n\r\ninterface start\r\n\r\npublic a integer\r\n\n\r\npublic b logical\r\n"
       "interface end\r\n\r\n\n  set m:a to 1\r\n\n# end\n",
       "module m\ninterface start\npublic a integer\npublic b logical\ninterface end\n"
       "  set m:a to 1\r\n\n# end\n",
       "a b|"},
  };
  declare("base", {"public p integer"});
  ref_count_ptr<TamModule> m = window->createModule("m");
  EXPECT_EQ(m->getRixData(), "");
  const int aId = m->addOptionString("public a integer")->id();
  m->declareLegacyOption("kept");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.read);
    const std::string written = c.written ? c.written : c.read;
    m->setRixData(c.read);
    EXPECT_EQ(m->getRixData(), written);
    m->setRixData(written);
    EXPECT_EQ(m->getRixData(), written);
    EXPECT_EQ(m->getOption("a")->id(), aId);
    EXPECT_EQ(names(m->options()) + "|" + names(m->usingOptions()), c.options);
  }
  EXPECT_EQ(m->getOption("kept")->scope(), TamOption::SCOPE_LEGACY);
  ref_count_ptr<TamModule> rulesOnly = window->createModule("r");
  rulesOnly->setRix("");
  EXPECT_EQ(rulesOnly->getRixData(), "module r\ninterface start\ninterface end\n");
}

// The reader's own errors have no context and line 0; a declaration's error has both.
TEST_F(ModuleTextTest, BadTextsLeaveTheModuleAsItWas) {
  const std::string topLine = "10 Expected \"module\" statement as top line of RIX";
  const std::string noInterface = "10 Expected \"interface start\"";
  const std::string mismatch = "\" does not match this module's id of \"x\".";
  const std::pair<const char*, std::string> cases[] = {
      {"Module x\ninterface start\ninterface end\n", topLine},
      {"modul", topLine},
      {"\n\n", topLine},
      {"module  x\ninterface start\ninterface end\n",
       "10 RIX module statement \"module  x" + mismatch},
      {"module y\n", "10 RIX module statement \"module y" + mismatch},
      {"module x", noInterface},
      {"module x\ninterface start \npublic a integer\ninterface end\n", noInterface},
      {"module x\ninterface start\npublic a integer\n",
       "10 Ran out of lines parsing RIX interface - did you forget an \"interface end\" line"},
      {"module x\ninterface start\ninterface end \n",
       "10 Expected \"public\" or \"private\" @interface end \n^"},
  };
  const std::string original = moduleText("x", {"public a integer"}, "set x:a to 1");
  ref_count_ptr<TamModule> x = window->createModule("x");
  x->setRixData(original);
  x->setRixData("");
  EXPECT_EQ(x->getRixData(), original);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(failure([&] { x->setRixData(c.first); }), c.second);
    const bool hasContext = c.second.find('@') != std::string::npos;
    EXPECT_EQ(raised([&] { x->setRixData(c.first); }).line(), hasContext ? 1 : 0);
    EXPECT_EQ(x->getRixData(), original);
  }
}

TEST_F(ModuleTextTest, FailuresInsideTheTextKeepWhatCameBefore) {
  ref_count_ptr<TamModule> m = window->createModule("m");
  auto read = [&](const std::string& text) { return failure([&] { m->setRixData(text); }); };
  m->setRixData(moduleText("m", {"public a integer = 1 to 4", "public b logical"}, "set m:a to 1"));

  // A bad declaration: the lines before it are applied, nothing is removed, the rules stay.
  const std::vector<std::string> badLine = {"public a integer = 1 to 9", "public c bogus",
                                            "public d logical"};
  EXPECT_EQ(read(moduleText("m", badLine, "set m:a to 2")),
            "10 Expected option type, implements or presents @public c bogus\n              ^");
  EXPECT_TRUE(m->getOption("a")->validateValue(TamValue::createInt(9)));
  EXPECT_EQ(m->getRixData(),
            moduleText("m", {"public a integer = 1 to 9", "public b logical"}, "set m:a to 1"));

  // Bad rules: the new interface is in place, with the old rules.
  EXPECT_EQ(read(moduleText("m", {"public a integer", "public c logical"}, "set m:a 2")),
            "10 Error parsing set/fix statement: 'to' not found @set m:a 2\n        ^");
  EXPECT_EQ(m->getRixData(),
            moduleText("m", {"public a integer", "public c logical"}, "set m:a to 1"));
}

}  // namespace
}  // namespace tamtest
