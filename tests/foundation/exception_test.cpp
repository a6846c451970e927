#include "tam/TamException.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/SyntaxErrorTable.h"

namespace {

std::vector<int> reportedCodes;
void recordCode(int code) { reportedCodes.push_back(code); }

// Installs the recording callback for one test and removes it afterwards.
class ThrowCallbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reportedCodes.clear();
    TamException::setThrowCallback(recordCode);
  }
  void TearDown() override { TamException::setThrowCallback(nullptr); }
};

TEST(ExceptionTest, Fields) {
  const TamException plain(302, "mod", "ctx", "extra");
  EXPECT_EQ(plain.code(), 302);
  EXPECT_EQ(plain.line(), 0);
  EXPECT_EQ(plain.node(), nullptr);
  EXPECT_EQ(plain.info(), "mod");
  EXPECT_EQ(plain.context(), "ctx");
  EXPECT_EQ(plain.extrainfo1(), "ctx");
  EXPECT_EQ(plain.extrainfo2(), "extra");

  TamException withLine(106, 12, "i", "c", "e");
  EXPECT_EQ(withLine.line(), 12);
  withLine.setLine(3);
  TamNode* node = reinterpret_cast<TamNode*>(&withLine);  // any address: the node is not owned
  withLine.setNode(node);
  const TamException copy(withLine);
  EXPECT_EQ(copy.line(), 3);
  EXPECT_EQ(copy.node(), node);
  EXPECT_EQ(copy.code(), 106);

  const TamSyntaxError syntax("Unexpected input", "a b\n  ^", 4);
  EXPECT_EQ(syntax.code(), 10);
  EXPECT_EQ(syntax.line(), 4);
  EXPECT_EQ(syntax.info(), "Unexpected input");
  EXPECT_EQ(syntax.context(), "a b\n  ^");
  EXPECT_EQ(syntax.extrainfo2(), "");

  const TamException empty;
  EXPECT_EQ(empty.code(), 0);
  EXPECT_EQ(empty.info(), "");
}

TEST_F(ThrowCallbackTest, CalledOncePerConstructionNeverOnCopy) {
  TamException a(204, "", "", "");
  TamSyntaxError b("m", "c", 1);
  TamException defaulted;
  EXPECT_EQ(reportedCodes, (std::vector<int>{204, 10}));

  TamException copyA(a);
  TamSyntaxError copyB(b);
  defaulted = a;
  EXPECT_EQ(reportedCodes.size(), 2u);

  try {
    throw TamException(500, 7, "", "", "");
  } catch (TamException caughtByValue) {
    EXPECT_EQ(caughtByValue.code(), 500);
  }
  EXPECT_EQ(reportedCodes, (std::vector<int>{204, 10, 500}));

  TamException::setThrowCallback(nullptr);
  TamException unreported(3, "", "", "");
  EXPECT_EQ(reportedCodes.size(), 3u);
}

TEST(SyntaxErrorTableTest, OrderTextsAndLaterDuplicateWins) {
  std::vector<std::string> codes;
  const tam::detail::SyntaxErrorEntry* e = tam::detail::syntaxErrorTable();
  for (; e->code != nullptr; ++e) codes.push_back(e->code);
  EXPECT_EQ(e->message, nullptr);
  ASSERT_EQ(codes.size(), 23u);
  EXPECT_EQ(codes.front(), "SE_pubpriv");
  EXPECT_EQ(codes[2], "SE_expect_optname");
  EXPECT_EQ(codes[7], "SE_expect_optname");
  EXPECT_EQ(codes.back(), "SE_path");

  const auto& messages = tam::detail::syntaxErrorMessages();
  EXPECT_EQ(messages.size(), 22u);
  struct Case { const char* code; const char* message; };
  const Case cases[] = {
      {"SE_pubpriv", "Expected \"public\" or \"private\""},
      {"SE_expect_optname", "Expected option name after ':'"},
      {"SE_max_min", "Maximum should be higher then minimum"},
      {"SE_expect_closebracket", "Parse error:  Expected ')'"},
      {"SE_path_internal", "Syntax Error Parsing paths - expected path id or '.'"},
      {"SE_path", "Syntax Error Parsing path - expected one '.'  or  ']'  or a path name"},
  };
  for (const Case& c : cases) EXPECT_EQ(messages.at(c.code), c.message) << c.code;
}

}  // namespace
