#include "rix/TamLexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tam/TamException.h"

namespace {

// One token as a short text: literals and identifiers with their values, keywords and operators
// as written.
std::string describe(const TamLexer& lexer) {
  switch (lexer.kind()) {
    case TOKEN_IDENT: return "id(" + lexer.identifierValue() + ")";
    case TOKEN_STRING_LIT: return "str(" + lexer.stringValue() + ")";
    case TOKEN_INT_LIT: return "int(" + std::to_string(lexer.intValue()) + ")";
    case TOKEN_REAL_LIT: return "real(" + std::to_string(lexer.realValue()) + ")";
    case TOKEN_RESERVED: return "reserved(" + lexer.tokenText() + ")";
    case TOKEN_END: return "end";
    case TOKEN_INVALID: return "invalid";
    default: return lexer.tokenText();
  }
}

// Every token of the text up to the end (or the first invalid one), separated by blanks; an
// exception gives its message.
std::string tokens(const std::string& text) {
  try {
    TamLexer lexer(text);
    std::string result = describe(lexer);
    while (lexer.kind() != TOKEN_END && lexer.kind() != TOKEN_INVALID) {
      lexer.next();
      result += " " + describe(lexer);
    }
    return result;
  } catch (const TamException& e) {
    return "E" + std::to_string(e.code()) + " " + e.info() + "\n" + e.context();
  }
}

TEST(LexerTest, EveryKeywordAndOperator) {
  struct Case { const char* spelling; TokenKind kind; };
  const Case cases[] = {
      {"=", TOKEN_EQ}, {"!=", TOKEN_NE}, {"<=", TOKEN_LE}, {">=", TOKEN_GE}, {"<", TOKEN_LT},
      {">", TOKEN_GT}, {".", TOKEN_DOT}, {":", TOKEN_COLON}, {";", TOKEN_SEMICOLON},
      {",", TOKEN_COMMA}, {"(", TOKEN_LPAREN}, {")", TOKEN_RPAREN}, {"[", TOKEN_LBRACKET},
      {"]", TOKEN_RBRACKET}, {"{", TOKEN_LBRACE}, {"}", TOKEN_RBRACE}, {"+=", TOKEN_PLUS_ASSIGN},
      {"+", TOKEN_PLUS}, {"-=", TOKEN_MINUS_ASSIGN}, {"-", TOKEN_MINUS}, {"*", TOKEN_MULTIPLY},
      {"/", TOKEN_DIVIDE}, {"if", TOKEN_IF}, {"then", TOKEN_THEN}, {"elif", TOKEN_ELIF},
      {"else", TOKEN_ELSE}, {"endif", TOKEN_ENDIF}, {"and", TOKEN_AND}, {"not", TOKEN_NOT},
      {"or", TOKEN_OR}, {"unset", TOKEN_UNSET}, {"true", TOKEN_TRUE}, {"false", TOKEN_FALSE},
      {"implements", TOKEN_IMPLEMENTS}, {"presents", TOKEN_PRESENTS}, {"uses", TOKEN_USES},
      {"set", TOKEN_SET}, {"fix", TOKEN_FIX}, {"to", TOKEN_TO}, {"inform", TOKEN_INFORM},
      {"warn", TOKEN_WARN}, {"error", TOKEN_ERROR}, {"public", TOKEN_PUBLIC},
      {"private", TOKEN_PRIVATE}, {"mandatory", TOKEN_MANDATORY},
      {"mutually_exclusive", TOKEN_MUTUALLY_EXCLUSIVE},
      {"non_mutually_exclusive", TOKEN_NON_MUTUALLY_EXCLUSIVE}, {"enum", TOKEN_ENUM},
      {"string", TOKEN_STRING}, {"real", TOKEN_REAL}, {"integer", TOKEN_INTEGER},
      {"logical", TOKEN_LOGICAL}, {"default", TOKEN_DEFAULT}, {"legacy", TOKEN_LEGACY},
      {"hide", TOKEN_RESERVED}, {"show", TOKEN_RESERVED}, {"interface", TOKEN_RESERVED},
  };
  ASSERT_EQ(std::size(cases), 57u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spelling);
    const std::string spelling = c.spelling;
    const bool keyword = spelling[0] >= 'a' && spelling[0] <= 'z';
    for (const std::string& text : {spelling, spelling + " x", spelling + "\tx", "\n" + spelling}) {
      TamLexer lexer(text);
      EXPECT_EQ(lexer.kind(), c.kind);
      EXPECT_EQ(lexer.tokenText(), spelling);
    }
    TamLexer glued(spelling + "(");
    EXPECT_EQ(glued.kind(), keyword ? TOKEN_IDENT : c.kind);
  }
}

TEST(LexerTest, TokenSequences) {
  struct Case { const char* text; const char* tokens; };
  const Case cases[] = {
      {"", "end"},
      {" \t\r\n\v\f", "end"},
      {"# only\n  # comments", "end"},
      {"a=b", "id(a) = id(b) end"},
      {"a == b", "id(a) = = id(b) end"},
      {"x<=1", "id(x) <= int(1) end"},
      {"x-=1", "id(x) -= int(1) end"},
      {"x - -1", "id(x) - - int(1) end"},
      {"a+=b+c", "id(a) += id(b) + id(c) end"},
      {"not(a)", "id(not) ( id(a) ) end"},
      {"not (a)", "not ( id(a) ) end"},
      {"if x then", "if id(x) then end"},
      {"true)", "id(true) ) end"},
      {"endif", "endif end"},
      {"settings", "id(settings) end"},
      {"show hide interface interface2", "reserved(show) reserved(hide) reserved(interface) "
                                         "id(interface2) end"},
      {"m:opt[a.b]", "id(m) : id(opt) [ id(a) . id(b) ] end"},
      {"_x9 {;,} * /", "id(_x9) { ; , } * / end"},
      {"a @ b", "id(a) invalid"},
      {"a ! b", "id(a) invalid"},
      {"a \"x#y\" 'p q'", "id(a) str(x#y) id(p q) end"},
      {"if.a", "id(if) . id(a) end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(tokens(c.text), c.tokens);
  }
}

TEST(LexerTest, Numbers) {
  struct Case { const char* text; const char* tokens; };
  const Case cases[] = {
      {"12:x", "id(12) : id(x) end"},
      {"12 :x", "int(12) : id(x) end"},
      {"3.14", "real(3.140000) end"},
      {"3.14.15", "real(3.140000) . int(15) end"},
      {".5", ". int(5) end"},
      {"1.", "real(1.000000) end"},
      {"1.5e3", "real(1.500000) id(e3) end"},
      {"2ways", "id(2ways) end"},
      {"12_a", "id(12_a) end"},
      {"007", "int(7) end"},
      {"2147483647", "int(2147483647) end"},
      {"99999999999", "int(2147483647) end"},
      {"12-3", "int(12) - int(3) end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(tokens(c.text), c.tokens);
  }
  TamLexer lexer("0.1");
  EXPECT_DOUBLE_EQ(lexer.realValue(), 0.1);
}

TEST(LexerTest, QuotedTokensAndEscapes) {
  struct Case { const char* text; const char* tokens; };
  const Case cases[] = {
      {"'a b'", "id(a b) end"},
      {"'it\\'s'", "id(it's) end"},
      {"'a\\\\'", "id(a\\) end"},
      {"\"say \\\"hi\\\"\"", "str(say \"hi\") end"},
      {"\"\\n\"", "str(n) end"},
      {"''", "id() end"},
      {"'a'b", "id(a) id(b) end"},
      {"\"a\"", "str(a) end"},
      {"\"abc", "E10 Unterminated double quotes\n\"abc\n^"},
      {"x 'abc", "E10 Unterminated single quotes\nx 'abc\n  ^"},
      {"'abc\\'", "E10 Unterminated single quotes\n'abc\\'\n^"},
      {"'abc\\", "E10 Unterminated single quotes\n'abc\\\n^"},
      {"x \"", "E10 Unterminated double quotes\nx \"\n  ^"},
      {"'x\"", "E10 Unterminated single quotes\n'x\"\n^"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(tokens(c.text), c.tokens);
  }
  // Other tokens name themselves through identifierValue, quotes kept, backslashes dropped.
  TamLexer lexer("\"a\\\"b\" <=");
  EXPECT_EQ(lexer.identifierValue(), "\"a\"b\"");
  lexer.next();
  EXPECT_EQ(lexer.identifierValue(), "<=");
}

TEST(LexerTest, CommentsAndLines) {
  TamLexer lexer("a # comment\nb#c\n\n  c 'x\ny' d\r\n# last");
  EXPECT_EQ(lexer.line(), 1);
  lexer.next();
  EXPECT_EQ(lexer.identifierValue(), "b");
  EXPECT_EQ(lexer.line(), 2);
  lexer.next();
  EXPECT_EQ(lexer.identifierValue(), "c");
  EXPECT_EQ(lexer.line(), 4);
  lexer.next();
  EXPECT_EQ(lexer.identifierValue(), "x\ny");
  lexer.next();
  EXPECT_EQ(lexer.identifierValue(), "d");
  EXPECT_EQ(lexer.line(), 4);  // the line feed inside the quotes is not counted
  lexer.next();
  EXPECT_EQ(lexer.kind(), TOKEN_END);
  EXPECT_EQ(lexer.line(), 5);
}

TEST(LexerTest, InvalidTokenHoldsItsPlace) {
  TamLexer lexer("a $ b");
  lexer.next();
  ASSERT_EQ(lexer.kind(), TOKEN_INVALID);
  EXPECT_EQ(lexer.position(), 2u);
  EXPECT_EQ(lexer.tokenText(), "");
  lexer.next();
  EXPECT_EQ(lexer.kind(), TOKEN_INVALID);
  EXPECT_EQ(lexer.position(), 2u);
}

// NUL bytes and bytes above 127 are no letters, digits or blanks: outside quotes they begin no
// token, inside quotes they are kept as they are.
TEST(LexerTest, NulAndHighBytes) {
  EXPECT_EQ(tokens(std::string("a\0b", 3)), "id(a) invalid");
  EXPECT_EQ(tokens(std::string("if\0", 3)), "id(if) invalid");
  EXPECT_EQ(tokens("caf\xc3\xa9"), "id(caf) invalid");
  EXPECT_EQ(tokens("\xa0x"), "invalid");
  EXPECT_EQ(tokens("12\xff"), "int(12) invalid");
  EXPECT_EQ(tokens(std::string("'a\0\xe9'", 5)), std::string("id(a\0\xe9) end", 11));
  EXPECT_EQ(tokens(std::string("# \0 \xff\nx", 7)), "id(x) end");
  EXPECT_EQ(tokens(std::string("\"\0", 2)),
            std::string("E10 Unterminated double quotes\n\"\0\n^", 35));
}

TEST(LexerTest, ErrorContextWindowAndCaret) {
  struct Case { std::string text; int skip; std::string context; int line; };
  const std::string alphabet = "abcdefghij klmnopqrst uvwxyzABCD EFGHIJKLMN OPQRSTUVWX";
  const Case cases[] = {
      {"abc", 0, "abc\n^", 1},
      {"ab\tc\rd\ne", 3, "ab c d e\n       ^", 2},
      // "YZ" starts at 55: the window starts 20 before it.
      {alphabet + " YZ", 5, "GHIJKLMN OPQRSTUVWX YZ\n" + std::string(20, ' ') + "^", 1},
      // At the end of the text the caret stands just past the last character.
      {alphabet, 5, "FGHIJKLMN OPQRSTUVWX\n" + std::string(20, ' ') + "^", 1},
      // A window of 40 characters cut from the middle of a longer text.
      {"x " + alphabet, 3,
       "cdefghij klmnopqrst uvwxyzABCD EFGHIJKLM\n" + std::string(20, ' ') + "^", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TamLexer lexer(c.text);
    for (int i = 0; i < c.skip; ++i) lexer.next();
    const TamLexer::ErrorContext where = lexer.errorContext();
    EXPECT_EQ(where.context, c.context);
    EXPECT_EQ(where.line, c.line);
  }
}

// Rewrites every identifier the test names in `renames` the way the translater does.
std::string record(const std::string& text, const std::vector<std::string>& renames,
                   bool keep = false) {
  TamLexer lexer(text);
  lexer.setRecording(true);
  while (lexer.kind() != TOKEN_END && lexer.kind() != TOKEN_INVALID) {
    const std::string id = lexer.identifierValue();
    bool rename = false;
    for (const std::string& r : renames) rename = rename || r == id;
    rename = rename && lexer.kind() == TOKEN_IDENT;
    if (!rename) {
      lexer.next();
      continue;
    }
    lexer.beginReplace();
    lexer.next();
    if (lexer.kind() == TOKEN_COLON) {  // a whole "module:option" run
      lexer.next();
      lexer.next();
    }
    if (keep) {
      lexer.keepReplaced();
    } else {
      lexer.replaceWith("NEW");
    }
  }
  return lexer.finishRecording();
}

TEST(LexerTest, RecordingMode) {
  struct Case { const char* text; std::vector<std::string> renames; bool keep; const char* out; };
  const Case cases[] = {
      {"  set a:b # note\n to 1 # end", {}, false, "  set a:b # note\n to 1 # end"},
      {"set a : b  to 1", {"a"}, false, "set NEW  to 1"},
      {"set a : b  to 1", {"a"}, true, "set a : b  to 1"},
      // The dropped comment's line feed is kept: it separates NEW from the next token.
      {"x=a:b #c\n\ty", {"a"}, false, "x=NEW\n\ty"},
      {"x=a:b #c\ny", {"a"}, false, "x=NEW\ny"},
      {"x=a:b #c\n\ty", {"a"}, true, "x=a:b #c\n\ty"},
      {"x=a:b", {"a"}, false, "x=NEW"},
      {"# head\na:b c", {"a"}, false, "# head\nNEW c"},
      {"p + q\t+p", {"p"}, false, "NEW + q\t+NEW"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(record(c.text, c.renames, c.keep), c.out);
  }
}

TEST(LexerTest, ReplaceAll) {
  struct Case { const char* s; const char* from; const char* to; const char* result; };
  const Case cases[] = {
      {"aaa", "a", "aa", "aaaaaa"},  {"aaaa", "aa", "b", "bb"},  {"a\\b", "\\", "\\\\", "a\\\\b"},
      {"abc", "b", "b", "abc"},      {"abc", "", "x", "abc"},    {"", "a", "b", ""},
      {"x\ny\n", "\n", " ", "x y "},
  };
  for (const Case& c : cases) {
    std::string s = c.s;
    tam::detail::replaceAll(s, c.from, c.to);
    EXPECT_EQ(s, c.result) << c.s;
  }
}

}  // namespace
