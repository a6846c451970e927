// Outlines of option declarations: every part with its place, the "=" lists of implements and
// uses read by what is written, failures with the parts read before them (a refused default
// included), no option created and no module asked for, agreement with the real reading, and the
// reading for a window, which looks base options up as the module does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestHost.h"
#include "tam/libtam.h"

namespace {

TEST(DeclarationOutlineTest, EveryPartWithItsPlace) {
  struct Case { const char* text; const char* expected; };
  const Case cases[] = {
      {"public size integer \"Engine size\" : mandatory non_mutually_exclusive = 1 to 4, 8, "
       "< -2 default 2",
       "scope 1:1-1:7 public\n"
       "name 1:8-1:12 size\n"
       "type 1:13-1:20 integer\n"
       "description 1:21-1:34 Engine size\n"
       "mandatory 1:37-1:46 mandatory\n"
       "non_mutually_exclusive 1:47-1:69 non_mutually_exclusive\n"
       "constraint 1:72-1:78 1 to 4\n"
       "constraint 1:80-1:81 8\n"
       "constraint 1:83-1:87 < -2\n"
       "default 1:88 value 1:96-1:97 2\n"},
      {"private\t'gear ratio' real = >= 0.5, <= 4 default -1.5",
       "scope 1:1-1:8 private\n"
       "name 1:9-1:21 gear ratio\n"
       "type 1:22-1:26 real\n"
       "constraint 1:29-1:35 >= 0.500000\n"
       "constraint 1:37-1:41 <= 4.000000\n"
       "default 1:42 value 1:50-1:54 -1.500000\n"},
      {"public colour string = \"red\" \"green\", \"blue\", default \"red\"",
       "scope 1:1-1:7 public\n"
       "name 1:8-1:14 colour\n"
       "type 1:15-1:21 string\n"
       "constraint 1:24-1:29 \"red\"\n"
       "constraint 1:30-1:37 \"green\"\n"
       "constraint 1:39-1:45 \"blue\"\n"
       "default 1:47 value 1:55-1:60 \"red\"\n"},
      {"public lit logical default true",
       "scope 1:1-1:7 public\nname 1:8-1:11 lit\ntype 1:12-1:19 logical\n"
       "default 1:20 value 1:28-1:32 true\n"},
      {"public shown presents drive:gears [frame.rear] default 3",
       "scope 1:1-1:7 public\n"
       "name 1:8-1:13 shown\n"
       "type 1:14-1:22 presents\n"
       "base module 1:23-1:28 drive\n"
       "base option 1:29-1:34 gears\n"
       "base path 1:35-1:47 frame.rear\n"
       "default 1:48 value 1:56-1:57 3\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TamDeclarationOutline outline = TamDeclarationOutline::read(c.text);
    EXPECT_FALSE(outline.failed());
    EXPECT_EQ(outline.print(), c.expected);
  }
}

// Without the base option the list is read as written: strings as strings, numbers by their
// spelling, and no list at all where neither stands (as for a logical base).
TEST(DeclarationOutlineTest, ImplementsAndUsesListsAreReadAsWritten) {
  struct Case { const char* text; const char* expectedList; };
  const Case cases[] = {
      {"public u uses m:o = 1.5 to 2, 3, > -1 default 2",
       "base module 1:15-1:16 m\nbase option 1:17-1:18 o\n"
       "constraint 1:21-1:29 1.500000 to 2\nconstraint 1:31-1:32 3\n"
       "constraint 1:34-1:38 > -1\ndefault 1:39 value 1:47-1:48 2\n"},
      {"private u implements 'm x':o = \"x\" \"y\" default \"x\"",
       "base module 1:22-1:27 m x\nbase option 1:28-1:29 o\n"
       "constraint 1:32-1:35 \"x\"\nconstraint 1:36-1:39 \"y\"\n"
       "default 1:40 value 1:48-1:51 \"x\"\n"},
      {"public u uses m:flag = default true",
       "base module 1:15-1:16 m\nbase option 1:17-1:21 flag\n"
       "default 1:24 value 1:32-1:36 true\n"},
      {"public u uses m:o", "base module 1:15-1:16 m\nbase option 1:17-1:18 o\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TamDeclarationOutline outline = TamDeclarationOutline::read(c.text);
    EXPECT_FALSE(outline.failed());
    const std::string printed = outline.print();
    const size_t base = printed.find("base module");
    ASSERT_NE(base, std::string::npos);
    EXPECT_EQ(printed.substr(base), c.expectedList);
  }
}

// The parts read before the error stay, the refused default among them; the failure is placed
// at the offending token.
TEST(DeclarationOutlineTest, FailuresKeepWhatWasReadBefore) {
  struct Case { const char* text; const char* expectedTail; };
  const Case cases[] = {
      {"public n integer = 1 to 4 default 9",
       "constraint 1:20-1:26 1 to 4\ndefault 1:27 value 1:35-1:36 9\n"
       "failure SE_invalid_default \"Default value not valid for option\" at 1:36 after 1:36\n"},
      {"public s string = \"a\" default \"b\"",
       "constraint 1:19-1:22 \"a\"\ndefault 1:23 value 1:31-1:34 \"b\"\n"
       "failure SE_invalid_default \"Default value not valid for option\" at 1:31 after 1:30\n"},
      {"public n intger = 3",
       "type 1:10-1:16 intger\n"
       "failure SE_expect_opttype \"Expected option type, implements or presents\" at 1:17 "
       "after 1:16\n"},
      {"publik n integer",
       "failure SE_pubpriv \"Expected \"public\" or \"private\"\" at 1:1 after 1:1\n"},
      {"public n integer = 5 to 1",
       "type 1:10-1:17 integer\n"
       "failure SE_max_min \"Maximum should be higher then minimum\" at 1:26 after 1:26 "
       "related 1:20\n"},
      {"public n integer = 1.5",
       "type 1:10-1:17 integer\n"
       "failure SE_expect_int \"Expected integer value for option\" at 1:20 after 1:19\n"},
      {"private p presents m:o",
       "type 1:11-1:19 presents\n"
       "failure SE_pres_public \"Presented options can only be public\" at 1:20 after 1:19\n"},
      {"public p presents m:o [a.b",
       "base option 1:21-1:22 o\n"
       "failure SE_path \"Syntax Error Parsing path - expected one '.'  or  ']'  or a path "
       "name\" at 1:27 after 1:27 related 1:23\n"},
      {"public d string \"open",
       "type 1:10-1:16 string\n"
       "failure - \"Unterminated double quotes\" at 1:22 after 1:16 related 1:17\n"},
      {"public n integer default 2 extra",
       "default 1:18 value 1:26-1:27 2\n"
       "failure SE_extrainput \"Spurious extra input found\" at 1:28 after 1:27\n"},
      {"public u uses m:o = \"x\" 3",
       "constraint 1:21-1:24 \"x\"\n"
       "failure SE_extrainput \"Spurious extra input found\" at 1:25 after 1:24\n"},
      {"public u uses m:o = - \"x\"",
       "base option 1:17-1:18 o\n"
       "failure SE_expect_value \"Expected a value for option\" at 1:23 after 1:22\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TamDeclarationOutline outline = TamDeclarationOutline::read(c.text);
    EXPECT_TRUE(outline.failed());
    const std::string printed = outline.print();
    const std::string tail = c.expectedTail;
    ASSERT_GE(printed.size(), tail.size()) << printed;
    EXPECT_EQ(printed.substr(printed.size() - tail.size()), tail) << printed;
  }
}

TEST(DeclarationOutlineTest, ReadingCreatesNothingAndAsksForNoModule) {
  tamtest::TestAdapter adapter;
  adapter.addModuleText("m", "module m\ninterface start\npublic o integer\ninterface end\n");
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  for (const char* text : {"public u uses m:o = 1 default 1", "public p presents m:o",
                           "public n integer default 1", "public x implements q:r"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(TamDeclarationOutline::read(text).failed());
  }
  EXPECT_TRUE(adapter.loaded.empty());
  EXPECT_TRUE(window->moduleMap().empty());
}

// For every declaration that needs no base option, the outline fails exactly when the module's
// reading fails, with the same message and line, and otherwise holds the constraints, default,
// description and flags the option got.
TEST(DeclarationOutlineTest, AgreesWithTheRealReading) {
  tamtest::TestAdapter adapter;
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> module = window->createModule("n");
  module->setTestOptions(true);
  const std::vector<std::string> texts = {
      "public a integer = 1 to 4, 8, >= 10 default 3",
      "private b real \"why\" : mandatory = < 0, 1 to 2.5 default 2",
      "public c string non_mutually_exclusive = \"x\", \"y\" default \"y\"",
      "public d logical default false",
      "public e string",
      "public f integer = 1 to 4 default 9",
      "public g integer = default 1",
      "public h string = \"x\" default \"y\"",
      "public i integer : optional",
      "public j real = 1 to",
      "public k",
      "public 'l",
      "public m integer default 1 2",
      "public n logical default 1",
      "public o integer $",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    TamDeclarationOutline outline = TamDeclarationOutline::read(text);
    ref_count_ptr<TamOption> option;
    try {
      option = module->addOptionString(text);
    } catch (const TamSyntaxError& e) {
      ASSERT_TRUE(outline.failed());
      EXPECT_EQ(outline.failure().message, e.info());
      EXPECT_EQ(outline.failure().exceptionLine, e.line());
      continue;
    }
    ASSERT_FALSE(outline.failed());
    EXPECT_EQ(outline.name().text, option->name());
    EXPECT_EQ(outline.description().text, option->description());
    EXPECT_EQ(outline.mandatory().isPresent(), option->mandatory());
    EXPECT_EQ(outline.nonMutuallyExclusive().isPresent(), !option->mutually_exclusive());
    EXPECT_EQ(outline.scope().text == "public", option->scope() == TamOption::SCOPE_PUBLIC);
    const ref_count_ptr<TamValue> noDefault = TamValue::createUnset();
    EXPECT_TRUE((outline.defaultValue().value ? outline.defaultValue().value : noDefault) ==
                option->defaultValue());
    const auto& written = outline.constraints();
    const auto& built = option->values();
    if (written.empty()) continue;  // the option then allows any value of its type
    ASSERT_EQ(written.size(), built.size());
    for (size_t i = 0; i < written.size(); ++i) {
      EXPECT_EQ(written[i].constraint->kind(), built[i]->kind());
    }
  }
}

// Read for a window, the base decides how the list is read and judges the default, so every
// syntax error is the one the module's reading raises; still nothing is created.
TEST(DeclarationOutlineTest, ReadForAWindowLooksBasesUpAsTheModuleDoes) {
  tamtest::TestAdapter adapter;
  adapter.addModuleText("m",
                        "module m\ninterface start\npublic o integer = 1 to 10\n"
                        "public s string = \"a\" \"b\"\npublic flag logical\ninterface end\n");
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> module = window->createModule("n");
  struct Case { const char* text; const char* alone; const char* forWindow; };
  const Case cases[] = {
      {"public u uses m:o = 1.5", "", "SE_expect_int at 1:21"},
      {"public u uses m:o default 20", "", "SE_invalid_default at 1:29"},
      {"public u uses m:flag = 1", "", "SE_extrainput at 1:24"},
      {"public p presents m:s default \"z\"", "", "SE_invalid_default at 1:34"},
      {"public u implements m:s = \"a\" default \"a\"", "", ""},
      {"public u uses m:o = 1 to 3 default", "SE_expect_defvalue at 1:35",
       "SE_expect_defvalue at 1:35"},
  };
  const auto failureOf = [](const TamDeclarationOutline& outline) {
    if (!outline.failed()) return std::string();
    const TamSourcePos at = outline.failure().position;
    return outline.failure().code + " at " + std::to_string(at.line) + ":" +
           std::to_string(at.column);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(failureOf(TamDeclarationOutline::read(c.text)), c.alone);
    TamDeclarationOutline outline = TamDeclarationOutline::read(c.text, window);
    EXPECT_EQ(failureOf(outline), c.forWindow);
    EXPECT_TRUE(module->options().empty());
    try {
      module->addOptionString(c.text);
      EXPECT_FALSE(outline.failed());
    } catch (const TamSyntaxError& e) {
      ASSERT_TRUE(outline.failed());
      EXPECT_EQ(outline.failure().message, e.info());
    }
    for (const ref_count_ptr<TamOption>& option : module->options()) {
      module->deleteOption(option->name());
    }
  }
  try {
    TamDeclarationOutline::read("public u uses q:r", window);
    ADD_FAILURE() << "a missing base module must raise";
  } catch (const TamException& e) {
    EXPECT_EQ(e.code(), 302);
  }
}

}  // namespace
