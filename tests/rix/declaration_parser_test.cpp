#include "rix/TamDeclarationParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestHost.h"
#include "tam/libtam.h"

namespace {

const char kPubPriv[] = "Expected \"public\" or \"private\"";
const char kExtraInput[] = "Spurious extra input found";
const char kOptName[] = "Expected option name after ':'";
const char kPresPublic[] = "Presented options can only be public";
const char kOptType[] = "Expected option type, implements or presents";
const char kModId[] = "Expected context (module) id";
const char kColon[] = "Expected ':' parsing option name";
const char kValue[] = "Expected a value for option";
const char kDefValue[] = "Expected a value for default";
const char kInvalidDefault[] = "Default value not valid for option";
const char kInt[] = "Expected integer value for option";
const char kReal[] = "Expected real value for option";
const char kMaxMin[] = "Maximum should be higher then minimum";
const char kUnexpected[] = "Unexpected input";
const char kPath[] = "Syntax Error Parsing path - expected one '.'  or  ']'  or a path name";

// One constraint as text: "=v" enum, "<v" ">v" "<=v" ">=v" bounds, "lo..hi" range, or its kind.
std::string describe(const ref_count_ptr<TamOptionValue>& c) {
  switch (c->kind()) {
    case TamOptionValue::KIND_ENUM:
      return "=" + c->value()->displayString();
    case TamOptionValue::KIND_MAX:
      return "<" + c->value()->displayString();
    case TamOptionValue::KIND_MIN:
      return ">" + c->value()->displayString();
    case TamOptionValue::KIND_MAX_INC:
      return "<=" + c->value()->displayString();
    case TamOptionValue::KIND_MIN_INC:
      return ">=" + c->value()->displayString();
    case TamOptionValue::KIND_RANGE:
      return c->range().first->value()->displayString() + ".." +
             c->range().second->value()->displayString();
    case TamOptionValue::KIND_ANY_STRING:
      return "any-string";
    case TamOptionValue::KIND_ANY_INT:
      return "any-int";
    case TamOptionValue::KIND_ANY_REAL:
      return "any-real";
    case TamOptionValue::KIND_BOOLEAN:
      return "bool";
  }
  return "?";
}

std::string describeAll(const std::vector<ref_count_ptr<TamOptionValue>>& constraints) {
  std::string text;
  for (const auto& c : constraints) text += (text.empty() ? "" : " ") + describe(c);
  return text;
}

// The window of at most 40 characters around the token at pos, line breaks and tabs blanked,
// and the caret line under the token.
std::string contextAt(const std::string& text, size_t pos) {
  size_t start = pos < 20 ? 0 : pos - 20;
  std::string window = text.substr(start, 40);
  std::replace(window.begin(), window.end(), '\n', ' ');
  std::replace(window.begin(), window.end(), '\t', ' ');
  std::replace(window.begin(), window.end(), '\r', ' ');
  return window + "\n" + std::string(std::min<size_t>(pos, 20), ' ') + "^";
}

class DeclarationParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = Tam::createWindow();
    base = window->createModule("m");
    for (const char* text : {"public i integer = 1 to 10, 20 default 5", "public r real = >= 0",
                             "public s string = \"a\" \"b\" default \"a\"",
                             "public b logical default true", "private p integer"}) {
      declareIn(base, text);
    }
    target = window->createModule("t");
  }

  static ref_count_ptr<TamOption> declareIn(const ref_count_ptr<TamModule>& module,
                                            const std::string& text) {
    TamDeclarationParser parser(text, module.get());
    parser.parse();
    return parser.option();
  }
  ref_count_ptr<TamOption> declare(const std::string& text) { return declareIn(target, text); }

  // Whether the module holds an option of this name.
  static bool holds(const ref_count_ptr<TamModule>& module, const std::string& name) {
    const auto options = module->options();
    return std::any_of(options.begin(), options.end(),
                       [&](const ref_count_ptr<TamOption>& o) { return o->name() == name; });
  }

  tamtest::TestAdapter adapter;
  ref_count_ptr<TamWindow> window;
  ref_count_ptr<TamModule> base;
  ref_count_ptr<TamModule> target;
};

TEST_F(DeclarationParserTest, DeclaredOptions) {
  struct Case {
    const char* declaration;
    TamOption::Scope scope;
    TamValue::ValueType type;
    const char* constraints;
    const char* defaultValue;
    const char* description;
    bool mandatory;
    bool exclusive;
  };
  const auto pub = TamOption::SCOPE_PUBLIC;
  const Case cases[] = {
      {"public x logical", pub, TamValue::VT_BOOL, "bool", "***UNSET***", "", false, true},
      {"public x logical default false", pub, TamValue::VT_BOOL, "bool", "false", "", false, true},
      {"private x string = \"a\" \"b\", default \"b\"", TamOption::SCOPE_PRIVATE,
       TamValue::VT_STRING, "=a =b", "b", "", false, true},
      {"public x string = \"a\", \"b\" \"c\",", pub, TamValue::VT_STRING, "=a =b =c",
       "***UNSET***", "", false, true},
      {"public x string default \"c\"", pub, TamValue::VT_STRING, "any-string", "c", "", false,
       true},
      {"public x integer", pub, TamValue::VT_INT, "any-int", "***UNSET***", "", false, true},
      {"public x integer = -5 to 5, 10 default -3", pub, TamValue::VT_INT, "-5..5 =10", "-3", "",
       false, true},
      {"public x integer = < 3, > 7, <= -1, >= 100 default 50", pub, TamValue::VT_INT,
       "<3 >7 <=-1 >=100", "50", "", false, true},
      {"public x integer = 99999999999", pub, TamValue::VT_INT, "=2147483647", "***UNSET***", "",
       false, true},
      {"public x real", pub, TamValue::VT_REAL, "any-real", "***UNSET***", "", false, true},
      {"public x real = >= 0 default 2", pub, TamValue::VT_REAL, ">=0.000000", "2.000000", "",
       false, true},
      {"public x real = 1 to 2.5, -0.5 default -0.5", pub, TamValue::VT_REAL,
       "1.000000..2.500000 =-0.500000", "-0.500000", "", false, true},
      {"public x integer \"Top speed\" : mandatory = 1 to 10, 20 default 5", pub,
       TamValue::VT_INT, "1..10 =20", "5", "Top speed", true, true},
      {"public x logical \"say \\\"hi\\\"\" non_mutually_exclusive", pub, TamValue::VT_BOOL,
       "bool", "***UNSET***", "say \"hi\"", false, false},
      {"public x string \"d\" : mandatory non_mutually_exclusive = \"q\"", pub,
       TamValue::VT_STRING, "=q", "***UNSET***", "d", true, false},
      {"  public\tx   integer #tail comment", pub, TamValue::VT_INT, "any-int", "***UNSET***", "",
       false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    ref_count_ptr<TamOption> option = declare(c.declaration);
    ASSERT_TRUE(option);
    EXPECT_EQ(option.get(), target->getOption("x").get());
    EXPECT_EQ(option->type(), TamOption::TYPE_DECLARED);
    EXPECT_EQ(option->scope(), c.scope);
    EXPECT_EQ(option->valueType(), c.type);
    EXPECT_EQ(describeAll(option->values()), c.constraints);
    EXPECT_EQ(option->defaultValue()->displayString(), c.defaultValue);
    EXPECT_EQ(option->description(), c.description);
    EXPECT_EQ(option->mandatory(), c.mandatory);
    EXPECT_EQ(option->mutually_exclusive(), c.exclusive);
    target->deleteOption("x");
  }
}

TEST_F(DeclarationParserTest, QuotedNamesAndWhatTheConstraintsAccept) {
  ref_count_ptr<TamOption> option = declare("public 'top speed' integer = 1 to 10, > 100");
  EXPECT_EQ(option->name(), "top speed");
  EXPECT_TRUE(option->validateValue(TamValue::createInt(1)));
  EXPECT_TRUE(option->validateValue(TamValue::createInt(10)));
  EXPECT_FALSE(option->validateValue(TamValue::createInt(11)));
  EXPECT_FALSE(option->validateValue(TamValue::createInt(100)));
  EXPECT_TRUE(option->validateValue(TamValue::createInt(101)));

  ref_count_ptr<TamOption> text = declare("public s string = \"a\" \"b\"");
  EXPECT_TRUE(text->validateValue(TamValue::createString("b")));
  EXPECT_FALSE(text->validateValue(TamValue::createString("B")));
}

TEST_F(DeclarationParserTest, BasedOptions) {
  struct Case {
    const char* declaration;
    TamOption::Type type;
    TamOption::Scope scope;
    const char* base;
    const char* path;
    const char* constraints;
    const char* defaultValue;
  };
  const auto pub = TamOption::SCOPE_PUBLIC;
  const Case cases[] = {
      {"public x presents m:i [a.b] default 3", TamOption::TYPE_PRESENTS, pub, "m:i", "a.b",
       "1..10 =20", "3"},
      {"public x presents m:i", TamOption::TYPE_PRESENTS, pub, "m:i", "", "1..10 =20", "5"},
      {"public x presents 'm':s [ 'n 1' . c ] default \"b\"", TamOption::TYPE_PRESENTS, pub,
       "m:s", "n 1.c", "=a =b", "b"},
      {"public x implements m:i = 2, 3 to 4 default 3", TamOption::TYPE_IMPLEMENTS, pub, "m:i",
       "", "=2 3..4", "3"},
      {"public x implements m:i default 20", TamOption::TYPE_IMPLEMENTS, pub, "m:i", "",
       "1..10 =20", "20"},
      {"private x uses m:s = \"a\", default \"a\"", TamOption::TYPE_USES,
       TamOption::SCOPE_PRIVATE, "m:s", "", "=a", "a"},
      {"public x uses m:r = < 1.5, 3 default 1", TamOption::TYPE_USES, pub, "m:r", "",
       "<1.500000 =3.000000", "1"},
      {"public x uses m:b = default false", TamOption::TYPE_USES, pub, "m:b", "", "bool",
       "false"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    ref_count_ptr<TamOption> option = declare(c.declaration);
    ASSERT_TRUE(option);
    EXPECT_EQ(option->type(), c.type);
    EXPECT_EQ(option->scope(), c.scope);
    EXPECT_EQ(option->basedOnModuleId() + ":" + option->basedOnName(), c.base);
    EXPECT_EQ(option->path().toDisplayString(), c.path);
    EXPECT_EQ(describeAll(option->values()), c.constraints);
    EXPECT_EQ(option->defaultValue()->displayString(), c.defaultValue);
    EXPECT_TRUE(option->mutually_exclusive());
    target->deleteOption("x");
  }
}

TEST_F(DeclarationParserTest, SyntaxErrors) {
  struct Case {
    const char* declaration;
    const char* message;
    const char* at;  // the declaration from the offending token on
    bool created;    // the option exists after the error
  };
  const Case cases[] = {
      {"", kPubPriv, "", false},
      {"x integer", kPubPriv, "x integer", false},
      {"public", kOptName, "", false},
      {"public \"x\" integer", kOptName, "\"x\" integer", false},
      {"public x integer : optional", kUnexpected, "optional", false},
      {"public x integer : mandatory mutually_exclusive", kExtraInput, "mutually_exclusive", true},
      {"public x", kOptType, "", false},
      {"public x enum", kOptType, "", false},
      {"public x bogus \"d\" : mandatory = 1", kOptType, "= 1", false},
      {"public x $", kOptType, "$", false},
      {"private x presents m:i", kPresPublic, "m:i", false},
      {"public x integer#c", kOptType, "", false},
      {"public x presents :i", kUnexpected, "i", false},
      {"public x presents [m]:i", kModId, "[m]:i", false},
      {"public x uses 5 :i", kModId, "5 :i", false},
      {"public x presents m i", kColon, "i", false},
      {"public x implements m:\"i\"", kOptName, "\"i\"", false},
      {"public x presents m:i [a.b", kPath, "", false},
      {"public x presents m:i [a,b]", kPath, ",b]", false},
      {"public x string = default \"a\"", kValue, "default \"a\"", false},
      {"public x uses m:s = 1", kValue, "1", false},
      {"public x string default 1", kDefValue, "1", false},
      {"public x uses m:i default -1", kDefValue, "-1", false},
      {"public x presents m:i default x", kDefValue, "x", false},
      {"public x implements m:i default", kDefValue, "", false},
      {"public x string = \"a\" default \"c\"", kInvalidDefault, "\"c\"", false},
      {"public x logical default yes", kInvalidDefault, "yes", false},
      {"public x logical default 1", kInvalidDefault, "1", false},
      {"public x integer = 1 to 3 default 4", kInvalidDefault, "", false},
      {"public x real = > 0 default 0 ", kInvalidDefault, "", false},
      {"public x presents m:i default 11", kInvalidDefault, "", false},
      {"public x implements m:s = \"a\" default \"z\"", kInvalidDefault, "", false},
      {"public x integer = 1.5", kInt, "1.5", false},
      {"public x integer = 1,", kInt, "", false},
      {"public x integer = 1, , 2", kInt, ", 2", false},
      {"public x integer default - 2.0", kInt, "2.0", false},
      {"public x integer = <", kInt, "", false},
      {"public x implements m:i = 1.5", kInt, "1.5", false},
      {"public x real = \"a\"", kReal, "\"a\"", false},
      // "-.5" is a minus, a dot and an integer.
      {"public x real default -.5", kReal, ".5", false},
      {"public x real = 1 to", kReal, "", false},
      {"public x uses m:r = true", kReal, "true", false},
      {"public x integer = 5 to 5", kMaxMin, "", false},
      {"public x integer = -1 to -2 default -1", kMaxMin, "default -1", false},
      {"public x real = 2.5 to -1, 3", kMaxMin, ", 3", false},
      {"public x integer = 1 junk", kExtraInput, "junk", true},
      {"public x integer default 1 junk", kExtraInput, "junk", true},
      {"public x logical = true", kExtraInput, "= true", true},
      {"public x implements m:i $", kExtraInput, "$", true},
      {"public x presents m:i [a] default 2 3", kExtraInput, "3", true},
      {"public x string = \"a\" to", kExtraInput, "to", true},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    const std::string text = c.declaration;
    ASSERT_GE(text.size(), std::string(c.at).size());
    ASSERT_EQ(text.substr(text.size() - std::string(c.at).size()), c.at);
    const size_t pos = text.size() - std::string(c.at).size();
    ref_count_ptr<TamModule> module = window->createModule("case" + std::to_string(index++));
    try {
      declareIn(module, text);
      ADD_FAILURE() << "no error";
    } catch (const TamSyntaxError& e) {
      EXPECT_EQ(e.code(), 10);
      EXPECT_EQ(e.info(), c.message);
      EXPECT_EQ(e.context(), contextAt(text, pos));
      EXPECT_EQ(e.line(), 1);
    }
    EXPECT_EQ(holds(module, "x"), c.created);
  }
  // Nothing of a syntax error made the window ask the host for a module.
  EXPECT_TRUE(adapter.loaded.empty());
}

TEST_F(DeclarationParserTest, ErrorContextOfLongAndMultiLineDeclarations) {
  struct Case {
    const char* declaration;
    const char* context;
    int line;
  };
  const Case cases[] = {
      {"public x integer \"a rather long description\" = 1 to 3 default 4",
       "\" = 1 to 3 default 4\n                    ^", 1},
      {"public x integer \"a rather long description\" = 1 to 3 junk default 2",
       "scription\" = 1 to 3 junk default 2\n                    ^", 1},
      {"public x\ninteger\r\n= 1.5", "public x integer  = 1.5\n                    ^", 3},
      {"public x logical # no default\n  default maybe",
       "o default   default maybe\n                    ^", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    try {
      declare(c.declaration);
      ADD_FAILURE() << "no error";
    } catch (const TamSyntaxError& e) {
      EXPECT_EQ(e.context(), c.context);
      EXPECT_EQ(e.line(), c.line);
    }
  }
}

TEST_F(DeclarationParserTest, LeftoverInputLeavesTheOptionFullyDeclared) {
  EXPECT_THROW(declare("public x integer \"Gears\" : mandatory non_mutually_exclusive "
                       "= 1 to 6 default 4 5"),
               TamSyntaxError);
  ref_count_ptr<TamOption> option = target->getOption("x");
  EXPECT_EQ(describeAll(option->values()), "1..6");
  EXPECT_EQ(option->defaultValue()->displayString(), "4");
  EXPECT_EQ(option->description(), "Gears");
  EXPECT_TRUE(option->mandatory());
  EXPECT_FALSE(option->mutually_exclusive());
}

TEST_F(DeclarationParserTest, ModelFailuresPassThrough) {
  struct Case {
    const char* declaration;
    int code;
    bool created;
  };
  const Case cases[] = {
      {"public x presents m:p", 303, false},
      {"public x uses m:p", 305, false},
      {"public x implements m:p", 306, false},
      {"public x presents nosuch:i", 302, false},
      // Digits before ":" are a module id.
      {"public x uses 5:i", 302, false},
      {"public x uses m:nosuch", 102, false},
      // Checked against the base, the default is fine; against the option's own list it is not.
      {"private x uses m:s = \"a\" default \"b\"", 105, true},
      {"public x implements m:i = 30", 204, true},
      {"public x string \"unterminated", 10, false},
      // A String default cannot be ordered against the Int base's range.
      {"public x presents m:i default \"a\"", 202, false},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    ref_count_ptr<TamModule> module = window->createModule("pass" + std::to_string(index++));
    try {
      declareIn(module, c.declaration);
      ADD_FAILURE() << "no error";
    } catch (const TamException& e) {
      EXPECT_EQ(e.code(), c.code);
    }
    EXPECT_EQ(holds(module, "x"), c.created);
  }
}

TEST_F(DeclarationParserTest, BasesAreLoadedFromTheHost) {
  adapter.addModuleText("ext", "module ext\ninterface start\npublic e integer default 7\n"
                               "interface end\n");
  adapter.addModuleText("near", "module near\ninterface start\npublic e logical\n"
                                "interface end\n");
  ref_count_ptr<TamOption> used = declare("public u implements ext:e");
  ref_count_ptr<TamOption> presented = declare("public v presents near:e");
  EXPECT_EQ(adapter.loaded, (std::vector<std::string>{"ext", "near"}));
  EXPECT_TRUE(window->getModule("ext")->isExternal());
  EXPECT_FALSE(window->getModule("near")->isExternal());
  EXPECT_EQ(used->defaultValue()->displayString(), "7");
  EXPECT_EQ(presented->valueType(), TamValue::VT_BOOL);
}

}  // namespace
