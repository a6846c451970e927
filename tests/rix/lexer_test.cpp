#include "rix/TamLexer.h"

#include <gtest/gtest.h>

#include <string>
#include <iterator>
#include <utility>

#include "tam/TamException.h"

namespace {

using namespace std::string_literals;

// Every token up to the end (or the first invalid one) as a short text, with "@line" whenever
// the line changes; an exception gives its message, context and line.
std::string tokens(const std::string& text) {
  try {
    TamLexer lexer(text);
    std::string result;
    for (int line = 1;; lexer.next()) {
      switch (lexer.kind()) {
        case TOKEN_IDENT: result += "id(" + lexer.identifierValue() + ")"; break;
        case TOKEN_STRING_LIT: result += "str(" + lexer.stringValue() + ")"; break;
        case TOKEN_INT_LIT: result += "int(" + std::to_string(lexer.intValue()) + ")"; break;
        case TOKEN_REAL_LIT: result += "real(" + std::to_string(lexer.realValue()) + ")"; break;
        case TOKEN_END: result += "end"; break;
        case TOKEN_INVALID: result += "invalid"; break;
        default: result += lexer.tokenText();
      }
      if (lexer.line() != line) result += "@" + std::to_string(line = lexer.line());
      if (lexer.kind() == TOKEN_END || lexer.kind() == TOKEN_INVALID) return result;
      result += " ";
    }
  } catch (const TamException& e) {
    return "E" + std::to_string(e.code()) + " " + e.info() + "\n" + e.context() + " @" +
           std::to_string(e.line());
  }
}

TEST(LexerTest, EveryKeywordAndOperator) {
  const char* const spellings[] = {
      "=", "!=", "<=", ">=", "<", ">", ".", ":", ";", ",", "(", ")", "[", "]", "{", "}", "+=", "+",
      "-=", "-", "*", "/", "if", "then", "elif", "else", "endif", "and", "not", "or", "unset",
      "true", "false", "implements", "presents", "uses", "set", "fix", "to", "inform", "warn",
      "error", "public", "private", "mandatory", "mutually_exclusive", "non_mutually_exclusive",
      "enum", "string", "real", "integer", "logical", "default", "legacy", "hide", "show",
      "interface"};
  const int kinds[] = {33, 34, 37, 38, 35, 36, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 45, 44, 47,
                       46, 49, 48, 20, 21, 23, 22, 24, 39, 41, 40, 42, 4, 5, 9, 12, 11, 13, 15, 14,
                       17, 18, 19, 6, 7, 25, 26, 27, 28, 29, 31, 30, 32, 16, 8, 62, 62, 62};
  static_assert(std::size(spellings) == 57 && std::size(kinds) == 57, "one row per table entry");
  for (size_t i = 0; i < std::size(kinds); ++i) {
    const std::string spelling = spellings[i];
    SCOPED_TRACE(spelling);
    for (const std::string& text : {spelling, spelling + "\tx", "\n" + spelling + " x"}) {
      TamLexer lexer(text);
      EXPECT_EQ(lexer.kind(), kinds[i]);
      EXPECT_EQ(lexer.tokenText(), spelling);
    }
    // A keyword needs white space or the end of the text after it; an operator does not.
    const bool keyword = spelling[0] >= 'a' && spelling[0] <= 'z';
    EXPECT_EQ(TamLexer(spelling + "(").kind(), keyword ? TOKEN_IDENT : kinds[i]);
  }
}

// Keywords are looked up by their first byte and length: words that share a prefix, a first
// letter or a length with a keyword stay identifiers.
TEST(LexerTest, WordsNearKeywords) {
  const std::pair<const char*, const char*> cases[] = {
      {"ifs x", "id(ifs) id(x) end"},
      {"i f", "id(i) id(f) end"},
      {"IF x", "id(IF) id(x) end"},
      {"endif_ x", "id(endif_) id(x) end"},
      {"in inter interfaces", "id(in) id(inter) id(interfaces) end"},
      {"_if 2if if2", "id(_if) id(2if) id(if2) end"},
      {"non_mutually_exclusiv e", "id(non_mutually_exclusiv) id(e) end"},
      {"if\x80", "id(if) invalid"},
      {"set\rto", "set to end"},
      {"+== !x", "+= = invalid"},
  };
  for (const auto& c : cases) EXPECT_EQ(tokens(c.first), c.second) << c.first;
  const std::pair<const char*, bool> words[] = {
      {"if", true},   {"interface", true}, {"non_mutually_exclusive", true}, {"If", false},
      {"ifs", false}, {"", false},         {"=", false},  {"_set", false}, {"legac", false}};
  for (const auto& w : words) EXPECT_EQ(tam::detail::isRixKeyword(w.first), w.second) << w.first;
}

// A lexer borrows the text it is given, but keeps a temporary string itself.
TEST(LexerTest, ATemporaryTextIsKept) {
  TamLexer lexer(std::string("set m:a # comment long enough to need the heap"));
  const std::string other(64, 'x');  // may reuse the temporary's memory had it been freed
  EXPECT_EQ(lexer.kind(), TOKEN_SET);
  lexer.next();
  EXPECT_EQ(lexer.identifierValue(), "m");
  lexer.next();
  lexer.next();
  EXPECT_EQ(lexer.tokenText(), "a");
  lexer.next();
  EXPECT_EQ(lexer.kind(), TOKEN_END);
  EXPECT_EQ(other.size(), 64u);
}

TEST(LexerTest, TokenSequences) {
  struct Case { std::string text; std::string tokens; };
  const Case cases[] = {
      {"", "end"},
      {" \t\r\n\v\f", "end@2"},
      {"# only\n  # comments", "end@2"},
      {"a=b a == b", "id(a) = id(b) id(a) = = id(b) end"},
      {"x<=1 x-=1 x - -1", "id(x) <= int(1) id(x) -= int(1) id(x) - - int(1) end"},
      {"not(a) not (a)", "id(not) ( id(a) ) not ( id(a) ) end"},
      {"true) endif", "id(true) ) endif end"},
      {"show hide interface interface2 settings",
       "show hide interface id(interface2) id(settings) end"},
      {"_x9 {;,} * / ! b", "id(_x9) { ; , } * / invalid"},
      // Numbers: no sign, no exponent; digits before a letter or ":" make an identifier.
      {"12:x 12 :x", "id(12) : id(x) int(12) : id(x) end"},
      {"3.14 3.14.15 .5 1.",
       "real(3.140000) real(3.140000) . int(15) . int(5) real(1.000000) end"},
      {"1.5e3 2ways 12_a 007", "real(1.500000) id(e3) id(2ways) id(12_a) int(7) end"},
      {"2147483647 99999999999 12-3", "int(2147483647) int(2147483647) int(12) - int(3) end"},
      // Quoted tokens: a backslash keeps the next character, whatever it is.
      {"'a b' 'it\\'s' 'a\\\\' ''", "id(a b) id(it's) id(a\\) id() end"},
      {"\"say \\\"hi\\\"\" \"\\n\" 'a'b", "str(say \"hi\") str(n) id(a) id(b) end"},
      // Several escapes in one token, at its ends and back to back; long runs between them.
      {"'\\ab\\\\\\'c\\d' \"\\\\\\\\\" '0123456789abcdef\\-0123456789abcdef'",
       "id(ab\\'cd) str(\\\\) id(0123456789abcdef-0123456789abcdef) end"},
      {"a \"x#y\" 'p q'", "id(a) str(x#y) id(p q) end"},
      {"x\n'abc\\'", "E10 Unterminated single quotes\nx 'abc\\'\n  ^ @2"},
      {"'abc\\", "E10 Unterminated single quotes\n'abc\\\n^ @1"},
      {"'x\"", "E10 Unterminated single quotes\n'x\"\n^ @1"},
      // Comments run to the end of the line; a line feed inside quotes is not counted.
      {"a # c\nb#c\n\n  c 'x\ny' d\r\n# last", "id(a) id(b)@2 id(c)@4 id(x\ny) id(d) end@5"},
      // NUL and bytes above 127 begin no token; inside quotes and comments they are kept.
      {"a\0b"s, "id(a) invalid"},
      {"if\0"s, "id(if) invalid"},
      {"caf\xc3\xa9", "id(caf) invalid"},
      {"12\xff", "int(12) invalid"},
      {"'a\0\xe9' # \0 \xff\nx"s, "id(a\0\xe9) id(x)@2 end"s},
      {"\"\0"s, "E10 Unterminated double quotes\n\"\0\n^ @1"s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(tokens(c.text), c.tokens);
  }
  TamLexer lexer("\"a\\\"b\" $ b");  // other tokens name themselves, backslashes dropped
  EXPECT_EQ(lexer.identifierValue(), "\"a\"b\"");
  lexer.next();
  lexer.next();  // the invalid token holds its place
  EXPECT_EQ(lexer.kind(), TOKEN_INVALID);
  EXPECT_EQ(lexer.position(), 7u);
  EXPECT_EQ(lexer.tokenText(), "");
}

TEST(LexerTest, ErrorContextWindowAndCaret) {
  struct Case { std::string text; int skip; std::string context; int line; };
  const std::string alphabet = "abcdefghij klmnopqrst uvwxyzABCD EFGHIJKLMN OPQRSTUVWX";
  const std::string caret20 = std::string(20, ' ') + "^";
  const Case cases[] = {
      {"ab\tc\rd\ne", 3, "ab c d e\n       ^", 2},
      {alphabet, 5, "FGHIJKLMN OPQRSTUVWX\n" + caret20, 1},  // caret past the last character
      {"x " + alphabet, 3, "cdefghij klmnopqrst uvwxyzABCD EFGHIJKLM\n" + caret20, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TamLexer lexer(c.text);
    for (int i = 0; i < c.skip; ++i) lexer.next();
    EXPECT_EQ(lexer.errorContext().context, c.context);
    EXPECT_EQ(lexer.errorContext().line, c.line);
  }
}

// Records the text as the translater's parsers do, rewriting each identifier "a" as NEW or
// keeping it as written.
std::string record(const std::string& text, bool keep) {
  TamLexer lexer(text);
  lexer.setRecording(true);
  while (lexer.kind() != TOKEN_END && lexer.kind() != TOKEN_INVALID) {
    const bool rewrite = lexer.kind() == TOKEN_IDENT && lexer.identifierValue() == "a";
    if (rewrite) lexer.beginReplace();
    lexer.next();
    if (rewrite) keep ? lexer.keepReplaced() : lexer.replaceWith("NEW");
  }
  return lexer.finishRecording();
}

TEST(LexerTest, RecordingMode) {
  struct Case { const char* text; bool keep; const char* out; };
  const Case cases[] = {
      {"  set x # note\n to 1 # end", false, "  set x # note\n to 1 # end"},
      // Comments behind a rewritten run are dropped, all but the line feed ending the last one.
      {"set a # c\n#d\n\tto 1", false, "set NEW\n\tto 1"},
      {"set a # c\n#d\n\tto 1", true, "set a # c\n#d\n\tto 1"},
      {"# head\na + q\t+a", false, "# head\nNEW + q\t+NEW"},
  };
  for (const Case& c : cases) EXPECT_EQ(record(c.text, c.keep), c.out) << c.text;
}

TEST(LexerTest, ReplaceAll) {
  const char* const cases[][4] = {{"aaa", "a", "aa", "aaaaaa"}, {"aaaa", "aa", "b", "bb"},
                                  {"a\\b", "\\", "\\\\", "a\\\\b"}, {"abc", "b", "b", "abc"},
                                  {"abc", "", "x", "abc"}, {"x\ny\n", "\n", " ", "x y "}};
  for (const auto& c : cases) {
    std::string s = c[0];
    tam::detail::replaceAll(s, c[1], c[2]);
    EXPECT_EQ(s, c[3]) << c[0];
  }
}

}  // namespace
