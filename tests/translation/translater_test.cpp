#include "tam/TamTranslater.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestHost.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"
#include "rules/TamValueExp.h"
#include "tam/libtam.h"

namespace {

// The parsed form of a rules text (or, with `condition`, of a condition), comments and spacing
// aside.
std::string dump(const std::string& text, bool condition = false) {
  if (condition) return TamRuleParser(text).parseCondition()->condition()->dump();
  ref_count_ptr<TamExpRoot> root = TamRuleParser(text).parseRules();
  return root->body() ? root->body()->dump() : std::string();
}

// A declaration ('o'), rules ('r'), condition ('c') or module text under the id "new" ('m'),
// translated; or the syntax error as "message\ncontext @line".
std::string translate(TamTranslater& translater, char kind, const std::string& text) {
  try {
    switch (kind) {
      case 'o': return translater.translateOption(text);
      case 'r': return translater.translateRix(text);
      case 'c': return translater.translateCondition(text);
      default: return translater.translateRixData("new", text);
    }
  } catch (const TamSyntaxError& e) {
    return e.info() + "\n" + e.context() + " @" + std::to_string(e.line());
  }
}

// One text to translate and what must come of it; an empty expectation means the text itself.
struct Case { char kind; const char* text; std::string expected; };

class TranslaterTest : public ::testing::Test {
 protected:
  void check(TamTranslater& translater, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.text);
      EXPECT_EQ(translate(translater, c.kind, c.text), c.expected.empty() ? c.text : c.expected);
    }
    EXPECT_TRUE(adapter.loaded.empty());  // translation looks nothing up
  }
  tamtest::TestAdapter adapter;
  TamTranslater translater;
};

// Both tables are keyed by the module id the text holds, and nothing is mapped twice.
TEST_F(TranslaterTest, LookupMapping) {
  translater.addModuleMapping("a", "b");
  translater.addModuleMapping("b", "c");
  translater.addOptionMapping("a", "x", "z");
  translater.addOptionMapping("b", "y", "w");
  translater.addOptionMapping("h", "x", "v");
  const char* const cases[][2] = {{"a:x", "b:z"}, {"a:y", "b:y"}, {"b:y", "c:w"},
                                  {"b:x", "c:x"}, {"h:x", "h:v"}, {"h:y", "h:y"}};
  for (const auto& c : cases) {
    const auto mapped = translater.lookupMapping(std::string(c[0], 1), c[0] + 2);
    EXPECT_EQ(mapped.first + ":" + mapped.second, c[1]);
  }
}

// Every character of a text in which nothing is mapped comes back as written.
TEST_F(TranslaterTest, NoMappingReturnsTheTextUnchanged) {
  check(translater, {
      {'o', "  private   x string \"d # no comment\" : mandatory = \"a\" \"b\",  # c", ""},
      {'o', "public x presents m:a [p . q] default 3 # c", ""},
      {'o', "public x implements 'm':'a b' # remarks\r\n = any -thing, 'left' as # is", ""},
      {'o', "public\tx\treal\t=>=-1.5 default 0\r", ""},
      {'r', "   \n\t# only a comment\n", ""},
      {'r', "if m:a = 1 and not m:b = 2 or m:c then\r\n  set m:d [p.q] to 'x y':z\r\n"
            "elif m:e then fix m:f to -m:g * 2\r\nelse\terror \"Bad \" + m:a # why\r\nendif\r\n",
       ""},
      {'r', "mutually_exclusive : [a, b, c]  mutually_exclusive : {a.x, b.'y z'}\n\n", ""},
      {'r', "inform   \"#no comment\"#comment\nwarn m:a/2 set m:a # one\n # two\n to (1+2)*3", ""},
      {'c', "  not (m:a > 2.5) or m:'b c' # trailing", ""},
      {'c', "m:a[x.y] != \"s\" and\n\t m:b\r\n", ""},
      // A module text keeps its rules as written, takes the new id and drops blank lines.
      {'m', "", ""},
      {'m', "module old\r\n\r\ninterface start\r\n public x integer \r\n\r\n"
            "private y logical\r\ninterface end\r\n\r\nset m:a to 1 # keep\r\n\r\n",
       "module new\ninterface start\n public x integer \nprivate y logical\ninterface end\n"
       "set m:a to 1 # keep\r\n\r\n"},
      {'m', "module a\ninterface start\ninterface end",
       "module new\ninterface start\ninterface end\n"},
  });
}

// Behind a rewritten reference comments are dropped, but the line feed that ended the last one is
// kept, or the next token would be glued on.
TEST_F(TranslaterTest, ReferencesAreRewritten) {
  translater.addModuleMapping("a", "b");
  translater.addOptionMapping("a", "x", "z");
  translater.addOptionMapping("c", "x", "two words");
  translater.addModuleMapping("d", "9d");
  translater.addModuleMapping("s", "s");
  translater.addModuleMapping("e", "");
  check(translater, {
      {'o', "public o uses a:x = 1, 2", "public o uses b:z = 1, 2"},
      {'o', "public o presents c:x [p] default 3", "public o presents c:'two words' [p] default 3"},
      {'o', "public o implements d:y", "public o implements 9d:y"},
      {'o', "public o uses 'a' : w # old\n  = \"s\",", "public o uses b:w\n  = \"s\","},
      {'o', "public o presents 's':x", ""},  // mapped onto the same names: kept as written
      {'o', "public o string = \"a:x\" default \"a:x\" # a:x", ""},
      // Syntax is checked, but no base is needed and none is checked against.
      {'o', "public o presents nowhere:y default 3", ""},
      {'o', "public o uses a:y = 1.5, \"s\" default t", "public o uses b:y = 1.5, \"s\" default t"},
      {'o', "public o uses a:x $", "Spurious extra input found\npublic o uses a:x $\n"
                                    "                  ^ @1"},
      {'o', "private o presents a:x", "Presented options can only be public\n"
                                      "private o presents a:x\n                   ^ @1"},
      {'o', "public o string = \"a\" default \"b\"",
       "Default value not valid for option\ntring = \"a\" default \"b\"\n                    ^ @1"},
      {'r', "if a:c then\n  fix a:x to 'a':'x' + k:x # \"a:x\"\nendif",
       "if b:c then\n  fix b:z to b:z + k:x # \"a:x\"\nendif"},
      {'r', "set k:y to a:x # c\nset k:z to 1", "set k:y to b:z\nset k:z to 1"},
      {'r', "set k:y to a:x # c\r\nset k:z to 1", "set k:y to b:z\nset k:z to 1"},
      {'r', "set k:y to a:x#c\n#d\n\tset k:z to 1", "set k:y to b:z\n\tset k:z to 1"},
      {'c', " a:x = 1 or a:y\n", " b:z = 1 or b:y\n"},
      // Empty names are written as two quotes, so that the reference still reads.
      {'c', "a:'' = 1 or e:v = 2", "b:'' = 1 or '':v = 2"},
      {'c', "a:x = 1 a:y", "SE_extra_input\na:x = 1 a:y\n        ^ @1"},
      // A reference written against the word after it is kept apart from it, or both would read
      // as one.
      {'r', "if k:c then set k:y to 'a':'w'endif", "if k:c then set k:y to b:w endif"},
      {'c', "'a':'w'or k:w", "b:w or k:w"},
  });
}

TEST_F(TranslaterTest, ModuleTextFormatErrors) {
  const std::string noModule = "Expected \"module\" statement as top line of RIX\n @0";
  const std::string noStart = "Expected \"interface start\"\n @0";
  const std::string noEnd =
      "Ran out of lines parsing RIX interface - did you forget an \"interface end\" line\n @0";
  check(translater, {
      {'m', "Module a\ninterface start\ninterface end\n", noModule},
      {'m', "module", noModule},
      {'m', "\n\n", noModule},
      {'m', "module a", noStart},
      {'m', "module a\ninterface start \ninterface end\n", noStart},
      {'m', "module a\nset m:a to 1\n", noStart},
      {'m', "module a\ninterface start\npublic x integer\n\n", noEnd},
      // A line that only looks like the end of the interface is a declaration, and a bad one.
      {'m', "module a\ninterface start\ninterface end \ninterface end\n",
       "Expected \"public\" or \"private\"\ninterface end \n^ @1"},
  });
}

// Renaming and renaming back gives texts that mean the same; where no comment stood behind a
// renamed reference, and no reference was quoted, the text comes back exactly.
TEST_F(TranslaterTest, RenameThenRenameBack) {
  TamTranslater back;
  translater.addModuleMapping("a", "b");
  translater.addOptionMapping("a", "x", "y z");
  back.addModuleMapping("b", "a");
  back.addOptionMapping("b", "y z", "x");
  struct Round { char kind; const char* text; bool exact; };
  const Round rounds[] = {
      {'r', "if a:x [p.q] = 1 then\n\tfix a:w to a:x * 2\nelse warn \"a:x\" endif\n", true},
      {'r', "set 'a':x # old\nto a:x#older\n\n", false},
      {'c', "a:x > 1 or c:x", true},
      {'o', "public o presents a:x [n] default \"s\"", true},
      {'m', "module a\ninterface start\npublic x integer = 1 to 5\npublic w presents a:x\n"
            "interface end\nset a:w to a:x", true},
  };
  for (const Round& r : rounds) {
    SCOPED_TRACE(r.text);
    const std::string renamed = translate(translater, r.kind, r.text);
    EXPECT_NE(renamed.find("b:'y z'"), std::string::npos);
    const std::string restored = translate(back, r.kind, renamed);
    if (r.exact) {
      EXPECT_EQ(restored, r.kind == 'm' ? std::string(r.text).replace(7, 1, "new") : r.text);
    }
    if (r.kind == 'r' || r.kind == 'c') {
      EXPECT_EQ(dump(restored, r.kind == 'c'), dump(r.text, r.kind == 'c'));
    }
  }
}

// RIX has no escape for a line break: a module line or a declaration line that would hold one
// is refused rather than written in two pieces.
TEST_F(TranslaterTest, NamesWithLineBreaksAreRefusedInModuleTexts) {
  const std::string text =
      "module a\ninterface start\npublic w presents a:x\ninterface end\nset a:w to a:x\n";
  translater.addOptionMapping("a", "x", "two\nlines");
  EXPECT_EQ(translater.translateRix("set a:w to a:x"), "set a:w to a:'two\nlines'");
  struct Case { const char* moduleId; const char* refused; };
  const Case cases[] = {{"a", "public w presents a:'two\nlines'"}, {"b\rc", "module b\rc"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.moduleId);
    try {
      translater.translateRixData(c.moduleId, text);
      ADD_FAILURE() << "not refused";
    } catch (const TamException& e) {
      EXPECT_EQ(std::to_string(e.code()) + " " + e.info(),
                std::string("2 A module text line cannot hold a line break: ") + c.refused);
    }
  }
}

// What translateRixData writes a module reads back and writes again unchanged.
TEST_F(TranslaterTest, TranslatedModuleTextLoads) {
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  window->createModule("eng")->setRixData(
      "module eng\ninterface start\npublic size integer = 1 to 4 default 2\ninterface end\n");
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
