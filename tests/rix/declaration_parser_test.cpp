#include "rix/TamDeclarationParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "TestHost.h"
#include "tam/libtam.h"

namespace {

// A constraint as text: "=v", "<v", ">v", "<=v", ">=v", "lo..hi" for a range, or its kind.
std::string constraintText(const ref_count_ptr<TamOptionValue>& c) {
  static const char* const prefixes[] = {"=",  "<",          ">",       "<=",       ">=",
                                         "",   "any-string", "any-int", "any-real", "bool"};
  if (c->kind() == TamOptionValue::KIND_RANGE) {
    return constraintText(c->range().first) + ".." + constraintText(c->range().second);
  }
  const bool valued = c->kind() <= TamOptionValue::KIND_MIN_INC;
  return prefixes[c->kind()] + (valued ? c->value()->displayString() : "");
}

// An option in one line: scope, base and path, value type, constraints, then default,
// description and flags when set.
std::string describe(const ref_count_ptr<TamOption>& o) {
  static const char* const types[] = {"", " presents ", " implements ", " uses "};
  std::string text = o->scope() == TamOption::SCOPE_PUBLIC ? "public" : "private";
  if (o->type() != TamOption::TYPE_DECLARED) {
    text += types[o->type()] + o->basedOnModuleId() + ":" + o->basedOnName() + " [" +
            o->path().toDisplayString() + "]";
  }
  text += " " + TamValue::typeName(o->valueType());
  for (const auto& c : o->values()) text += " " + constraintText(c);
  if (o->defaultValue()->type() != TamValue::VT_UNSET) {
    text += " default " + o->defaultValue()->displayString();
  }
  if (!o->description().empty()) text += " \"" + o->description() + "\"";
  if (o->mandatory()) text += " mandatory";
  return o->mutually_exclusive() ? text : text + " non_mutually_exclusive";
}

class DeclarationParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ref_count_ptr<TamModule> base = window->createModule("m");
    for (const char* text : {"public i integer = 1 to 10, 20 default 5", "public r real = >= 0",
                             "public s string = \"a\" \"b\" default \"a\"",
                             "public b logical default true", "private p integer"}) {
      declareIn(base, text);
    }
  }
  static ref_count_ptr<TamOption> declareIn(const ref_count_ptr<TamModule>& module,
                                            const std::string& text) {
    TamDeclarationParser parser(text, module.get());
    parser.parse();
    return parser.option();
  }
  ref_count_ptr<TamOption> declare(const std::string& text) { return declareIn(target, text); }

  tamtest::TestAdapter adapter;
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> target = window->createModule("t");
};

TEST_F(DeclarationParserTest, Declarations) {
  struct Case { const char* declaration; const char* option; };
  const Case cases[] = {
      {"public x logical", "public bool bool"},
      {"public x logical default false", "public bool bool default false"},
      {"private x string = \"a\" \"b\", default \"b\"", "private string =a =b default b"},
      {"public x string default \"c\"", "public string any-string default c"},
      {"  public\tx   integer #tail comment", "public integer any-int"},
      {"public x integer = -5 to 5, 10 default -3", "public integer >=-5..<=5 =10 default -3"},
      {"public x integer = < 3, > 7, <= -1, >= 100", "public integer <3 >7 <=-1 >=100"},
      {"public x integer = 99999999999", "public integer =2147483647"},
      {"public x real", "public real any-real"},
      {"public x real = >= 0 default 2", "public real >=0.000000 default 2.000000"},
      {"public x real = 1 to 2.5, -0.5", "public real >=1.000000..<=2.500000 =-0.500000"},
      {"public x integer \"Top\" : mandatory = 1 to 10 default 5",
       "public integer >=1..<=10 default 5 \"Top\" mandatory"},
      {"public x logical \"say \\\"hi\\\"\" non_mutually_exclusive",
       "public bool bool \"say \"hi\"\" non_mutually_exclusive"},
      {"public x presents m:i [a.b] default 3",
       "public presents m:i [a.b] integer >=1..<=10 =20 default 3"},
      {"public x presents m:i", "public presents m:i [] integer >=1..<=10 =20 default 5"},
      {"public x presents 'm':s [ 'n 1' . c ] default \"b\"",
       "public presents m:s [n 1.c] string =a =b default b"},
      {"public x implements m:i = 2, 3 to 4 default 3",
       "public implements m:i [] integer =2 >=3..<=4 default 3"},
      {"private x uses m:s = \"a\", default \"a\"", "private uses m:s [] string =a default a"},
      // The default of a based option is taken as written: the integer stays an Int.
      {"public x uses m:r = < 1.5, 3 default 1",
       "public uses m:r [] real <1.500000 =3.000000 default 1"},
      {"public x uses m:b = default false", "public uses m:b [] bool bool default false"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    ref_count_ptr<TamOption> option = declare(c.declaration);
    EXPECT_EQ(option, target->getOption("x"));
    EXPECT_EQ(describe(option), c.option);
    target->deleteOption("x");
  }
  EXPECT_EQ(declare("public 'top speed' logical")->name(), "top speed");
}

// A syntax error gives the message of its code, the context at the offending token (the end of
// the declaration that is `at`) and its line; a numeric code is a model failure passing through.
// Only a failure after the option was created (leftover input, a default its own list refuses)
// leaves the option in the module.
TEST_F(DeclarationParserTest, Errors) {
  struct Case { const char* declaration; const char* code; const char* at; bool created; };
  const Case cases[] = {
      {"", "SE_pubpriv", "", false},
      {"x integer", "SE_pubpriv", "x integer", false},
      {"public \"x\" integer", "SE_expect_optname", "\"x\" integer", false},
      {"public x integer : optional", "SE_unexpected", "optional", false},
      {"public x presents :i", "SE_unexpected", "i", false},
      {"public x enum", "SE_expect_opttype", "", false},
      {"public x bogus \"d\" : mandatory = 1", "SE_expect_opttype", "= 1", false},
      {"private x presents m:i", "SE_pres_public", "m:i", false},
      {"public x uses 5 :i", "SE_expect_modid", "5 :i", false},
      {"public x presents m i", "SE_expect_colon", "i", false},
      {"public x implements m:\"i\"", "SE_expect_optname", "\"i\"", false},
      {"public x presents m:i [a,b]", "SE_path", ",b]", false},
      {"public x string = default \"a\"", "SE_expect_value", "default \"a\"", false},
      {"public x uses m:s = 1", "SE_expect_value", "1", false},
      {"public x string default 1", "SE_expect_defvalue", "1", false},
      {"public x uses m:i default -1", "SE_expect_defvalue", "-1", false},
      {"public x implements m:i default", "SE_expect_defvalue", "", false},
      {"public x string = \"a\" default \"c\"", "SE_invalid_default", "\"c\"", false},
      {"public x logical # none\n  default yes", "SE_invalid_default", "yes", false},
      {"public x integer = 1 to 3 default 4", "SE_invalid_default", "", false},
      {"public x\ninteger\r\n= 1, , 2", "SE_expect_int", ", 2", false},
      {"public x implements m:i = 1.5", "SE_expect_int", "1.5", false},
      {"public x real default -.5", "SE_expect_real", ".5", false},  // "-", ".", "5"
      {"public x integer = 5 to 5", "SE_max_min", "", false},
      {"public x real = 2.5 to -1, 3", "SE_max_min", ", 3", false},
      {"public x logical : mandatory mutually_exclusive", "SE_extrainput", "mutually_exclusive",
       true},
      {"public x implements m:i $", "SE_extrainput", "$", true},
      {"public x presents m:i [a] default 2 3", "SE_extrainput", "3", true},
      {"public x presents m:p", "303", "", false},
      {"public x uses 5:i", "302", "", false},  // digits before ":" are a module id
      {"public x uses m:nosuch", "102", "", false},
      {"private x uses m:s = \"a\" default \"b\"", "105", "", true},
      {"public x implements m:i = 30", "204", "", true},
      {"public x presents m:i default \"a\"", "202", "", false},
      {"public x string \"unterminated", "10", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    const std::string text = c.declaration;
    const size_t pos = text.size() - std::string(c.at).size();
    ASSERT_EQ(text.substr(pos), c.at);
    ref_count_ptr<TamModule> module = window->createModule("case" + std::to_string(&c - cases));
    const size_t asked = adapter.loaded.size();
    try {
      declareIn(module, text);
      ADD_FAILURE() << "no error";
    } catch (const TamException& e) {
      if (std::isdigit(c.code[0])) {
        EXPECT_EQ(std::to_string(e.code()), c.code);
      } else {
        // Up to 40 characters from 20 before the token, line breaks and tabs blanked, and a caret.
        std::string window = text.substr(pos < 20 ? 0 : pos - 20, 40);
        std::replace_if(window.begin(), window.end(), ::isspace, ' ');
        EXPECT_EQ(e.code(), 10);
        EXPECT_EQ(e.info(), adapter.localizeString(c.code));
        EXPECT_EQ(e.context(), window + "\n" + std::string(std::min<size_t>(pos, 20), ' ') + "^");
        EXPECT_EQ(e.line(), 1 + std::count(text.begin(), text.begin() + pos, '\n'));
        EXPECT_EQ(adapter.loaded.size(), asked);  // nothing was asked of the host
      }
    }
    const auto options = module->options();
    EXPECT_EQ(std::any_of(options.begin(), options.end(),
                          [](const ref_count_ptr<TamOption>& o) { return o->name() == "x"; }),
              c.created);
  }
}

TEST_F(DeclarationParserTest, LeftoverInputLeavesTheOptionFullyDeclared) {
  EXPECT_THROW(declare("public x integer \"Gears\" : mandatory non_mutually_exclusive "
                       "= 1 to 6 default 4 5"),
               TamSyntaxError);
  EXPECT_EQ(describe(target->getOption("x")),
            "public integer >=1..<=6 default 4 \"Gears\" mandatory non_mutually_exclusive");
}

TEST_F(DeclarationParserTest, BasesAreLoadedFromTheHost) {
  adapter.addModuleText("ext", "module ext\ninterface start\npublic e integer default 7\n"
                               "interface end\n");
  adapter.addModuleText("near", "module near\ninterface start\npublic e logical\ninterface end\n");
  EXPECT_EQ(describe(declare("public u implements ext:e")),
            "public implements ext:e [] integer any-int default 7");
  EXPECT_EQ(describe(declare("public v presents near:e")), "public presents near:e [] bool bool");
  EXPECT_EQ(adapter.loaded, (std::vector<std::string>{"ext", "near"}));
  EXPECT_TRUE(window->getModule("ext")->isExternal());
  EXPECT_FALSE(window->getModule("near")->isExternal());
}

}  // namespace
