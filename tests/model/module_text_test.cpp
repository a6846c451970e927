// Whole module texts: reading them into a module, writing them back, and what a failing text
// leaves behind.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

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

// Reading texts one after another into one module: an option declared again keeps its object,
// one no longer declared leaves the module, and the options stay in name order (bytes compared
// unsigned, so a name with a byte above 127 sorts after "z").
TEST_F(ModuleTextTest, ReReadsKeepOptionsDeclaredAgainAndForgetTheRest) {
  struct Case {
    std::vector<std::string> lines;
    const char* options;  // in the module's order afterwards
  };
  const std::string accented = "'z\xc3\xa9'";
  const Case cases[] = {
      {{"public b logical", "public a integer", "public 'a b' string", "public 'a\\'q' logical"},
       "a a b a'q b"},
      {{"public a integer = 1 to 3", "public b logical", "private " + accented + " logical",
        "public z logical"},
       "a b z z\xc3\xa9"},
      {{"public z logical", "private " + accented + " logical"}, "z z\xc3\xa9"},
      {{"private " + accented + " logical", "public a_ integer", "public a integer"},
       "a a_ z\xc3\xa9"},
      {{}, ""},
      {{"public a integer"}, "a"},
  };
  ref_count_ptr<TamModule> m = window->createModule("m");
  std::map<std::string, ref_count_ptr<TamOption>> seen;  // every option met, by name
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    m->setRixData(moduleText("m", c.lines));
    EXPECT_EQ(names(m->options()), c.options);
    for (auto& entry : seen) {
      if (!entry.second) continue;
      const bool present = failure([&] { m->getOption(entry.first); }) == "none";
      if (present) {
        EXPECT_EQ(m->getOption(entry.first).get(), entry.second.get()) << entry.first;
      } else {
        entry.second = nullptr;  // gone: a later declaration makes a new option
      }
    }
    for (const ref_count_ptr<TamOption>& option : m->options()) {
      ref_count_ptr<TamOption>& known = seen[option->name()];
      if (!known) known = option;
    }
  }
}

// A module of many options read, then read again with every third option left out and the lines
// in reverse: the options left out are forgotten, the others are the same objects.
TEST_F(ModuleTextTest, ManyOptionsInOneModuleAreReadAgainInPlace) {
  const int kOptions = 3000;
  std::vector<std::string> all;
  std::vector<std::string> kept;
  for (int i = 0; i < kOptions; ++i) {
    const std::string line = "public o" + std::to_string(i) + " integer = 0 to " +
                             std::to_string(i % 5 + 1) + " default 0";
    all.push_back(line);
    if (i % 3 != 0) kept.insert(kept.begin(), line);
  }
  ref_count_ptr<TamModule> m = window->createModule("m");
  m->setRixData(moduleText("m", all));
  std::map<std::string, ref_count_ptr<TamOption>> before;
  for (const ref_count_ptr<TamOption>& option : m->options()) before[option->name()] = option;
  ASSERT_EQ(before.size(), static_cast<std::size_t>(kOptions));
  m->setRixData(moduleText("m", kept));
  EXPECT_EQ(m->options().size(), kept.size());
  for (int i = 0; i < kOptions; ++i) {
    const std::string name = "o" + std::to_string(i);
    const ref_count_ptr<TamOption> was = before[name];
    ASSERT_TRUE(was) << name;
    if (i % 3 == 0) {
      EXPECT_EQ(failure([&] { m->getOption(name); }), "102 " + name);
    } else {
      EXPECT_EQ(m->getOption(name).get(), was.get()) << name;
      EXPECT_TRUE(was->validateValue(TamValue::createInt(i % 5 + 1))) << name;
      EXPECT_FALSE(was->validateValue(TamValue::createInt(i % 5 + 2))) << name;
    }
  }
}

// A declaration line gives the same option, or fails the same way leaving the same constraints
// behind, whether it is added alone or read in a module text (where options share constraint
// lists and values).
TEST_F(ModuleTextTest, DeclarationsReadInATextMatchThoseAddedAlone) {
  declare("base", {"public s string = \"x\", \"y\"", "public n integer = 1 to 5",
                   "public l logical"});
  const char* const lines[] = {
      "public a implements base:s = \"x\", \"q\"",
      "public a implements base:s = \"q\", \"x\"",
      "public a implements base:s = \"y\", \"x\" default \"x\"",
      "public a uses base:n = 2, 3, 9",
      "public a uses base:n = 2 to 9, 3",
      "public a implements base:n = 2, 4 default 3",
      "public a implements base:l",
      "public a integer = 1 to 4, 7 default 7",
      "public a integer = 1 to 4 default 5",
      "public a real = 1, 2.5 default 2.5",
      "public a string = \"p\" \"q\", default \"q\"",
  };
  auto state = [](const ref_count_ptr<TamModule>& module) {
    std::string text;
    for (const ref_count_ptr<TamOption>& option : module->options()) {
      for (const ref_count_ptr<TamOptionValue>& constraint : option->values()) {
        text += std::to_string(constraint->kind()) + " ";
      }
      text += "default " + option->defaultValue()->displayString();
    }
    return text;
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    ref_count_ptr<TamModule> alone = window->createModule("alone");
    ref_count_ptr<TamModule> read = window->createModule("read");
    const std::string aloneFailure = failure([&] { alone->addOptionString(line); });
    EXPECT_EQ(failure([&] { read->setRixData(moduleText("read", {line})); }), aloneFailure);
    EXPECT_EQ(state(read), state(alone));
    for (int probe = 0; probe <= 10 && !alone->options().empty(); ++probe) {
      const ref_count_ptr<TamValue> values[] = {
          TamValue::createInt(probe), TamValue::createReal(probe / 2.0),
          TamValue::createString(probe == 0 ? "x" : probe == 1 ? "q" : "y")};
      for (const ref_count_ptr<TamValue>& value : values) {
        if (value->type() != alone->getOption("a")->valueType()) continue;
        EXPECT_EQ(read->getOption("a")->validateValue(value),
                  alone->getOption("a")->validateValue(value))
            << value->displayString();
      }
    }
    window->deleteModule("alone");
    window->deleteModule("read");
  }
}

}  // namespace
}  // namespace tamtest
