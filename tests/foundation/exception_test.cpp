#include "tam/TamException.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/SyntaxErrorTable.h"

namespace {

// All fields in one text: "code @line info|context|extrainfo1|extrainfo2".
std::string fields(const TamException& e) {
  return std::to_string(e.code()) + " @" + std::to_string(e.line()) + " " + e.info() + "|" +
         e.context() + "|" + e.extrainfo1() + "|" + e.extrainfo2();
}

TEST(ExceptionTest, FieldsAndCopies) {
  EXPECT_EQ(fields(TamException(302, "mod", "ctx", "extra")), "302 @0 mod|ctx|ctx|extra");
  EXPECT_EQ(fields(TamSyntaxError("Unexpected input", "a\n^", 4)),
            "10 @4 Unexpected input|a\n^|a\n^|");
  TamException e(106, 12, "i", "c", "e");
  EXPECT_EQ(e.node(), nullptr);
  e.setLine(3);
  e.setNode(reinterpret_cast<TamNode*>(&e));  // any address: the node is not owned
  const TamException copy(e);
  EXPECT_EQ(fields(copy), "106 @3 i|c|c|e");
  EXPECT_EQ(copy.node(), e.node());
}

std::vector<int> reportedCodes;

TEST(ExceptionTest, ThrowCallbackCalledOncePerConstructionNeverOnCopy) {
  TamException::setThrowCallback([](int code) { reportedCodes.push_back(code); });
  TamException a(204, "", "", "");
  TamSyntaxError b("m", "c", 1);
  TamException defaulted;
  TamException copyA(a);
  TamSyntaxError copyB(b);
  defaulted = a;
  try {
    throw TamException(500, 7, "", "", "");
  } catch (TamException caughtByValue) {
    EXPECT_EQ(caughtByValue.code(), 500);
  }
  TamException::setThrowCallback(nullptr);
  TamException unreported(3, "", "", "");
  EXPECT_EQ(reportedCodes, (std::vector<int>{204, 10, 500}));
}

TEST(SyntaxErrorTableTest, OrderTextsAndLaterDuplicateWins) {
  const char* const expected[][2] = {
      {"SE_pubpriv", "Expected \"public\" or \"private\""},
      {"SE_extrainput", "Spurious extra input found"},
      {"SE_expect_optname", "Expected option name"},
      {"SE_pres_public", "Presented options can only be public"},
      {"SE_expect_opttype", "Expected option type, implements or presents"},
      {"SE_expect_modid", "Expected context (module) id"},
      {"SE_expect_colon", "Expected ':' parsing option name"},
      {"SE_expect_optname", "Expected option name after ':'"},
      {"SE_expect_value", "Expected a value for option"},
      {"SE_expect_defvalue", "Expected a value for default"},
      {"SE_invalid_default", "Default value not valid for option"},
      {"SE_expect_int", "Expected integer value for option"},
      {"SE_expect_real", "Expected real value for option"},
      {"SE_max_min", "Maximum should be higher then minimum"},
      {"SE_unexpected", "Unexpected input"},
      {"SE_missing_endif", "Error parsing 'if' statement - missing endif"},
      {"SE_missing_then", "Error parsing 'if' statement - missing then"},
      {"SE_missing_to", "Error parsing set/fix statement: 'to' not found"},
      {"SE_expect_closebracket", "Parse error:  Expected ')'"},
      {"SE_expect_optorval", "Parse Error: Expected option or value"},
      {"SE_conditional", "Error parsing conditional expression"},
      {"SE_path_internal", "Syntax Error Parsing paths - expected path id or '.'"},
      {"SE_path", "Syntax Error Parsing path - expected one '.'  or  ']'  or a path name"},
  };
  const tam::detail::SyntaxErrorEntry* e = tam::detail::syntaxErrorTable();
  for (const auto& row : expected) {
    ASSERT_NE(e->code, nullptr);
    EXPECT_STREQ(e->code, row[0]);
    EXPECT_STREQ(e->message, row[1]);
    ++e;
  }
  EXPECT_EQ(e->code, nullptr);
  EXPECT_EQ(tam::detail::syntaxErrorMessages().size(), 22u);
  EXPECT_EQ(tam::detail::syntaxErrorMessages().at("SE_expect_optname"),
            "Expected option name after ':'");
}

}  // namespace
