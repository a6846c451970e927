#include "tam/TamTranslater.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestHost.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"
#include "rules/TamValueExp.h"
#include "tam/libtam.h"

namespace {

const char kNoModuleLine[] = "Expected \"module\" statement as top line of RIX";
const char kNoInterfaceStart[] = "Expected \"interface start\"";
const char kNoInterfaceEnd[] =
    "Ran out of lines parsing RIX interface - did you forget an \"interface end\" line";

// The parsed form of a rules text, comments and spacing aside.
std::string rulesDump(const std::string& rules) {
  ref_count_ptr<TamExpRoot> root = TamRuleParser(rules).parseRules();
  return root->body() ? root->body()->dump() : std::string();
}

std::string conditionDump(const std::string& condition) {
  return TamRuleParser(condition).parseCondition()->condition()->dump();
}

class TranslaterTest : public ::testing::Test {
 protected:
  tamtest::TestAdapter adapter;
};

TEST_F(TranslaterTest, LookupMapping) {
  struct Case {
    std::vector<std::pair<const char*, const char*>> modules;
    std::vector<std::vector<const char*>> options;  // module id, from, to
    const char* moduleId;
    const char* optionName;
    const char* expected;
  };
  const Case cases[] = {
      {{}, {}, "a", "x", "a:x"},
      {{{"a", "b"}}, {}, "a", "x", "b:x"},
      {{}, {{"a", "x", "z"}}, "a", "x", "a:z"},
      {{{"a", "b"}}, {{"a", "x", "z"}}, "a", "x", "b:z"},
      // Option mappings are keyed by the id the text holds, not by the mapped id.
      {{{"a", "b"}}, {{"b", "x", "z"}}, "a", "x", "b:x"},
      {{}, {{"a", "y", "z"}}, "a", "x", "a:x"},
      // A mapped name is not mapped again.
      {{{"a", "b"}, {"b", "c"}}, {}, "a", "x", "b:x"},
      {{{"a", "b"}, {"b", "c"}}, {}, "b", "x", "c:x"},
      {{}, {{"a", "x", "y"}, {"a", "y", "z"}}, "a", "x", "a:y"},
      // A later entry for the same key replaces the earlier one.
      {{{"a", "b"}, {"a", "d"}}, {{"a", "x", "y"}, {"a", "x", "w"}}, "a", "x", "d:w"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.moduleId) + ":" + c.optionName + " -> " + c.expected);
    TamTranslater translater;
    for (const auto& m : c.modules) translater.addModuleMapping(m.first, m.second);
    for (const auto& o : c.options) translater.addOptionMapping(o[0], o[1], o[2]);
    std::pair<std::string, std::string> mapped = translater.lookupMapping(c.moduleId, c.optionName);
    EXPECT_EQ(mapped.first + ":" + mapped.second, c.expected);
  }
}

// Every character of a text in which nothing is mapped comes back as written.
TEST_F(TranslaterTest, NoMappingReturnsTheTextUnchanged) {
  const char* const declarations[] = {
      "public x integer = 1 to 3, 5 default 2",
      "  private   x string \"d # not a comment\" : mandatory = \"a\" \"b\",  # c",
      "public x presents m:a [p . q] default 3 # c",
      "public x uses 'm':'a b' = 1 , 2",
      "public x implements m:a\t",
      "public x implements m:a # remarks\r\n = anything -at all, 'left' as # is",
      "public x logical non_mutually_exclusive default false\r",
      "public\tx\treal\t=>=-1.5 default 0",
  };
  const char* const rules[] = {
      "",
      "   \n\t# only a comment\n",
      "set m:a to 1 + 2 * 3",
      "set m:a [p.q] to m:a + 1 # note",
      "if m:a = 1 and not m:b = 2 or m:c then\r\n  set m:d to 'x y':z\r\n"
      "elif m:e then fix m:f to -m:g * 2\r\nelse\terror \"Bad \" + m:a # why\r\nendif\r\n",
      "mutually_exclusive : [a, b, c]  mutually_exclusive : {a.x, b.'y z'}\n\n",
      "inform   \"#not a comment\"#comment\nwarn m:a/2",
      "set 'm':'a' to ( 1+2 )*3#x",
      "  set\tm:a\tto\ttrue   ",
      "set m:a # one\n # two\n to m:b # three\r\n",
  };
  const char* const conditions[] = {
      "m:a = 1",
      "  not (m:a > 2.5) or m:'b c' # trailing",
      "m:a[x.y] != \"s\"\r\n",
      "m:a and\n\t m:b",
  };
  TamTranslater translater;
  for (const char* text : declarations) {
    SCOPED_TRACE(text);
    EXPECT_EQ(translater.translateOption(text), text);
  }
  for (const char* text : rules) {
    SCOPED_TRACE(text);
    EXPECT_EQ(translater.translateRix(text), text);
  }
  for (const char* text : conditions) {
    SCOPED_TRACE(text);
    EXPECT_EQ(translater.translateCondition(text), text);
  }
}

TEST_F(TranslaterTest, TranslateOptionRewritesTheReference) {
  TamTranslater translater;
  translater.addModuleMapping("a", "b");
  translater.addOptionMapping("a", "x", "z");
  translater.addOptionMapping("c", "x", "two words");
  translater.addOptionMapping("c", "y", "9y");
  translater.addModuleMapping("d", "9d");
  translater.addOptionMapping("e", "q", "it's");
  translater.addModuleMapping("s", "s");
  struct Case {
    const char* declaration;
    const char* expected;
  };
  const Case cases[] = {
      {"public o uses a:x = 1, 2", "public o uses b:z = 1, 2"},
      {"public o uses a:w", "public o uses b:w"},
      {"public o presents c:x [p.q] default 3", "public o presents c:'two words' [p.q] default 3"},
      {"public o implements c:y", "public o implements c:'9y'"},
      {"public o implements d:y", "public o implements 9d:y"},
      {"public o uses e:q", "public o uses e:'it\\'s'"},
      {"public o uses 'a':'x' default 2", "public o uses b:z default 2"},
      {"public o uses  a : x  # old name", "public o uses  b:z"},
      {"public o uses a:x # old name\n  = \"s\", default \"s\"",
       "public o uses b:z\n  = \"s\", default \"s\""},
      {"public o uses a:x = \"s\", default \"s\"", "public o uses b:z = \"s\", default \"s\""},
      // A mapping onto the same names keeps the reference as written.
      {"public o presents 's':x", "public o presents 's':x"},
      {"public o uses f:x  # kept", "public o uses f:x  # kept"},
      {"public o string = \"a:x\" default \"a:x\" # a:x",
       "public o string = \"a:x\" default \"a:x\" # a:x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    EXPECT_EQ(translater.translateOption(c.declaration), c.expected);
  }
}

// Translation checks the syntax as parsing does, but looks nothing up: the host is never asked
// for a module, and no base needs to exist.
TEST_F(TranslaterTest, TranslateOptionChecksSyntaxOnly) {
  struct Case {
    const char* declaration;
    const char* message;
    const char* context;
  };
  const Case cases[] = {
      {"public o uses a:x = 1 $ 2", "Spurious extra input found",
       "blic o uses a:x = 1 $ 2\n                    ^"},
      {"private o presents a:x", "Presented options can only be public",
       "private o presents a:x\n                   ^"},
      {"public o integer = 5 to 5", "Maximum should be higher then minimum",
       "c o integer = 5 to 5\n                    ^"},
      {"public o presents a:x default -1", "Expected a value for default",
       "resents a:x default -1\n                    ^"},
      {"public o string = \"a\" default \"b\"", "Default value not valid for option",
       "tring = \"a\" default \"b\"\n                    ^"},
  };
  TamTranslater translater;
  translater.addModuleMapping("a", "b");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    try {
      translater.translateOption(c.declaration);
      ADD_FAILURE() << "no error";
    } catch (const TamSyntaxError& e) {
      EXPECT_EQ(e.info(), c.message);
      EXPECT_EQ(e.context(), c.context);
    }
  }
  EXPECT_EQ(translater.translateOption("public o presents nowhere:y default 3"),
            "public o presents nowhere:y default 3");
  EXPECT_EQ(translater.translateOption("public o implements a:y = 1.5, \"s\" default true"),
            "public o implements b:y = 1.5, \"s\" default true");
  EXPECT_TRUE(adapter.loaded.empty());
}

TEST_F(TranslaterTest, TranslateRixAndCondition) {
  TamTranslater translater;
  translater.addModuleMapping("m", "n");
  translater.addOptionMapping("m", "a", "b");
  EXPECT_EQ(translater.translateRix("if m:c then\n  fix m:a to 'm':'a' + k:a # \"m:a\"\nendif"),
            "if n:c then\n  fix n:b to n:b + k:a # \"m:a\"\nendif");
  EXPECT_EQ(translater.translateCondition(" m:a = 1 or m:x\n"), " n:b = 1 or n:x\n");
}

// Dropping a comment behind a rewritten reference must keep the line feed that ended it, or the
// next token would be glued to the new name.
TEST_F(TranslaterTest, DroppedCommentKeepsItsLineFeed) {
  TamTranslater translater;
  translater.addModuleMapping("m", "n");
  translater.addOptionMapping("m", "a", "b");
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"set x:y to m:a # c\nset x:z to 1", "set x:y to n:b\nset x:z to 1"},
      {"set x:y to m:a # c\r\nset x:z to 1", "set x:y to n:b\nset x:z to 1"},
      {"set x:y to m:a#c\n#d\n\tset x:z to 1", "set x:y to n:b\n\tset x:z to 1"},
      {"set x:y to m:a   \n# c\n  set x:z to 1", "set x:y to n:b\n  set x:z to 1"},
      {"set x:y to m:a # c", "set x:y to n:b"},
      {"set m:a # c\n[p] to 1", "set n:b\n[p] to 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string out = translater.translateRix(c.text);
    EXPECT_EQ(out, c.expected);
    EXPECT_EQ(rulesDump(out), rulesDump(c.expected));
  }
  const std::string module = translater.translateRixData(
      "n", "module m\ninterface start\ninterface end\nset x:y to m:a # c\nset x:z to m:a");
  EXPECT_EQ(module, "module n\ninterface start\ninterface end\nset x:y to n:b\nset x:z to n:b");
}

TEST_F(TranslaterTest, TranslateConditionRequiresTheEnd) {
  TamTranslater translater;
  translater.addModuleMapping("m", "n");
  try {
    translater.translateCondition("m:a = 1 m:b");
    ADD_FAILURE() << "no error";
  } catch (const TamSyntaxError& e) {
    EXPECT_EQ(e.info(), Tam::adapterInterface()->localizeString("SE_extra_input"));
    EXPECT_EQ(e.context(), "m:a = 1 m:b\n        ^");
    EXPECT_EQ(e.line(), 1);
  }
}

TEST_F(TranslaterTest, TranslateRixDataLayout) {
  TamTranslater plain;
  EXPECT_EQ(plain.translateRixData("x", ""), "");
  EXPECT_EQ(plain.translateRixData("new",
                                   "module old\r\n\r\ninterface start\r\n public x integer \r\n"
                                   "\r\n\r\nprivate y logical\r\ninterface end\r\n\r\n"
                                   "set m:a to 1 # keep\r\n\r\n"),
            "module new\ninterface start\n public x integer \nprivate y logical\n"
            "interface end\nset m:a to 1 # keep\r\n\r\n");
  EXPECT_EQ(plain.translateRixData("a", "module a\ninterface start\ninterface end"),
            "module a\ninterface start\ninterface end\n");

  TamTranslater renaming;
  renaming.addModuleMapping("eng", "motor");
  renaming.addOptionMapping("eng", "size", "capacity");
  const std::string text =
      "module car\ninterface start\npublic s presents eng:size [e] default 2\n"
      "public t uses eng:turbo\ninterface end\nif eng:size > 2 then fix eng:turbo to true endif";
  EXPECT_EQ(renaming.translateRixData("car", text),
            "module car\ninterface start\npublic s presents motor:capacity [e] default 2\n"
            "public t uses motor:turbo\ninterface end\n"
            "if motor:capacity > 2 then fix motor:turbo to true endif");
}

TEST_F(TranslaterTest, TranslateRixDataFormatErrors) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"Module a\ninterface start\ninterface end\n", kNoModuleLine},
      {"module", kNoModuleLine},
      {"\n\n", kNoModuleLine},
      {"module a", kNoInterfaceStart},
      {"module a\n", kNoInterfaceStart},
      {"module a\ninterface start \ninterface end\n", kNoInterfaceStart},
      {"module a\nset m:a to 1\n", kNoInterfaceStart},
      {"module a\ninterface start", kNoInterfaceEnd},
      {"module a\ninterface start\npublic x integer\n\n", kNoInterfaceEnd},
  };
  TamTranslater translater;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      translater.translateRixData("a", c.text);
      ADD_FAILURE() << "no error";
    } catch (const TamSyntaxError& e) {
      EXPECT_EQ(e.info(), c.message);
      EXPECT_EQ(e.context(), "");
      EXPECT_EQ(e.line(), 0);
    }
  }
  // A line that only looks like the end of the interface is a declaration, and not a good one.
  try {
    translater.translateRixData("a", "module a\ninterface start\ninterface end \ninterface end\n");
    ADD_FAILURE() << "no error";
  } catch (const TamSyntaxError& e) {
    EXPECT_EQ(e.info(), "Expected \"public\" or \"private\"");
    EXPECT_EQ(e.context(), "interface end \n^");
  }
}

// Renaming and renaming back gives texts that parse to the same rules; where no comment stood
// behind a renamed reference the text comes back exactly.
TEST_F(TranslaterTest, RenameThenRenameBack) {
  TamTranslater forward;
  forward.addModuleMapping("a", "b");
  forward.addOptionMapping("a", "x", "y z");
  TamTranslater back;
  back.addModuleMapping("b", "a");
  back.addOptionMapping("b", "y z", "x");
  struct Case {
    const char* rules;
    bool exact;
  };
  const Case cases[] = {
      {"set a:x to a:w + c:x * 2", true},
      {"if a:x [p.q] = 1 then\n\tfix a:w to a:x\nelse warn \"a:x\" endif\n", true},
      // The quoted spelling of a renamed reference is not restored, its meaning is.
      {"set 'a':x to 'a':'x'", false},
      {"set a:x # old\nto a:x#older\n\n", false},
      {"if not a:x then inform a:x # says x\n endif", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rules);
    const std::string renamed = forward.translateRix(c.rules);
    EXPECT_NE(rulesDump(renamed), rulesDump(c.rules));
    EXPECT_NE(renamed.find("b:'y z'"), std::string::npos);
    const std::string restored = back.translateRix(renamed);
    EXPECT_EQ(rulesDump(restored), rulesDump(c.rules));
    if (c.exact) {
      EXPECT_EQ(restored, c.rules);
    }
  }
  const char* const declarations[] = {"public o uses a:x = 1, 2 default 1",
                                      "public o presents a:x [n] default \"s\""};
  for (const char* text : declarations) {
    SCOPED_TRACE(text);
    EXPECT_EQ(back.translateOption(forward.translateOption(text)), text);
  }
  const char* condition = "a:x > 1 or c:x";
  EXPECT_EQ(conditionDump(back.translateCondition(forward.translateCondition(condition))),
            conditionDump(condition));

  // A whole module text renamed under its new id and back under its old one.
  const std::string text =
      "module a\ninterface start\npublic x integer = 1 to 5\npublic w presents a:x\n"
      "interface end\nset a:w to a:x";
  const std::string renamed = forward.translateRixData("b", text);
  EXPECT_EQ(renamed,
            "module b\ninterface start\npublic x integer = 1 to 5\npublic w presents b:'y z'\n"
            "interface end\nset b:w to b:'y z'");
  EXPECT_EQ(back.translateRixData("a", renamed), text);
}

// What translateRixData writes a module reads back and writes again unchanged.
TEST_F(TranslaterTest, TranslatedModuleTextLoads) {
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  window->createModule("eng")->setRixData(
      "module eng\ninterface start\npublic size integer = 1 to 4 default 2\ninterface end\n");
  TamTranslater translater;
  translater.addModuleMapping("engine", "eng");
  const std::string text = translater.translateRixData(
      "car", "module vehicle\n\ninterface start\npublic s presents engine:size [e] default 3\r\n"
             "interface end\n\nset car:s to 4\n");
  ref_count_ptr<TamModule> car = window->createModule("car");
  car->setRixData(text);
  EXPECT_EQ(car->getRixData(), text);
  EXPECT_EQ(car->getOption("s")->defaultValue()->displayString(), "3");
}

}  // namespace
