#include <gtest/gtest.h>

#include <string>

#include "rix/SyntaxError.h"
#include "rix/TamLexer.h"
#include "tam/Tam.h"
#include "tam/TamException.h"

namespace {

TEST(PathReaderTest, BracketedPaths) {
  struct Case { const char* text; const char* path; const char* after; };
  const Case cases[] = {
      {"[a.b] x", "a.b", "x"},
      {"[] x", "", "x"},
      {"['p q'.r]", "p q.r", ""},
      {"[..a.]", "a", ""},
      {"x [a]", "", "x"},
      {"[a.if]", "a.if", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TamLexer lexer(c.text);
    EXPECT_EQ(tam::detail::readBracketedPath(lexer).toDisplayString(), c.path);
    EXPECT_EQ(lexer.tokenText(), c.after);
  }
}

TEST(PathReaderTest, BracketedPathErrors) {
  struct Case { const char* text; const char* context; };
  const Case cases[] = {
      {"[a.1]", "[a.1]\n   ^"},
      {"[a", "[a\n  ^"},
      {"[a b;", "[a b;\n    ^"},
      {"[a.if ]", "[a.if ]\n   ^"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TamLexer lexer(c.text);
    try {
      tam::detail::readBracketedPath(lexer);
      ADD_FAILURE() << "accepted";
    } catch (const TamSyntaxError& e) {
      EXPECT_EQ(e.info(), "Syntax Error Parsing path - expected one '.'  or  ']'  or a path name");
      EXPECT_EQ(e.context(), c.context);
      EXPECT_EQ(e.line(), 1);
    }
  }
}

TEST(PathReaderTest, EmbeddedReadingStopsAtOtherTokens) {
  TamLexer lexer("a.b = 1");
  EXPECT_EQ(tam::detail::readPathIds(lexer, true).toDisplayString(), "a.b");
  EXPECT_EQ(lexer.kind(), TOKEN_EQ);
}

TEST(PathReaderTest, RaiseSyntaxErrorAddsSuffixWithoutAdapter) {
  Tam::initialize(nullptr);
  TamLexer lexer("set x\n y");
  lexer.next();
  lexer.next();
  try {
    tam::detail::raiseSyntaxError(lexer, "SE_unexpected", ": y");
    ADD_FAILURE() << "did not raise";
  } catch (const TamSyntaxError& e) {
    EXPECT_EQ(e.code(), 10);
    EXPECT_EQ(e.info(), "Unexpected input: y");
    EXPECT_EQ(e.context(), "set x  y\n       ^");
    EXPECT_EQ(e.line(), 2);
  }
}

}  // namespace
