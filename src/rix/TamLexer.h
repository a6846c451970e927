// TamLexer cuts one RIX text (a declaration, a rule body, a condition or a path) into tokens and
// always holds exactly one current token; parsers look at kind(), take the value they need and
// call next(). There is no push-back. In recording mode the lexer also copies its input to an
// output text while it scans and lets a parser replace chosen token runs (option references):
// the translater's way of rewriting names while keeping every other character.
// The lexer reads its text through a view and copies nothing: the caller keeps the text alive
// for as long as the lexer is used (a temporary string given to it is kept by the lexer itself).
// The keyword table is shared, built at compile time, read-only.
// Beside the current token the lexer knows where the token before it ended, and when given a
// failure record it notes there the place of the syntax error that ends a parse (see Failure),
// so that positions can be reported without reading the text a second time.
#ifndef TAM_SRC_RIX_TAMLEXER_H
#define TAM_SRC_RIX_TAMLEXER_H

#include <string>
#include <string_view>

enum TokenKind {
  TOKEN_STRING_LIT = 0,
  TOKEN_IDENT = 1,
  TOKEN_INT_LIT = 2,
  TOKEN_REAL_LIT = 3,
  TOKEN_TRUE = 4,
  TOKEN_FALSE = 5,
  TOKEN_PUBLIC = 6,
  TOKEN_PRIVATE = 7,
  TOKEN_LEGACY = 8,
  TOKEN_IMPLEMENTS = 9,
  TOKEN_USES = 11,
  TOKEN_PRESENTS = 12,
  TOKEN_SET = 13,
  TOKEN_TO = 14,
  TOKEN_FIX = 15,
  TOKEN_DEFAULT = 16,
  TOKEN_INFORM = 17,
  TOKEN_WARN = 18,
  TOKEN_ERROR = 19,
  TOKEN_IF = 20,
  TOKEN_THEN = 21,
  TOKEN_ELSE = 22,
  TOKEN_ELIF = 23,
  TOKEN_ENDIF = 24,
  TOKEN_MANDATORY = 25,
  TOKEN_MUTUALLY_EXCLUSIVE = 26,
  TOKEN_NON_MUTUALLY_EXCLUSIVE = 27,
  TOKEN_ENUM = 28,
  TOKEN_STRING = 29,
  TOKEN_INTEGER = 30,
  TOKEN_REAL = 31,
  TOKEN_LOGICAL = 32,
  TOKEN_EQ = 33,
  TOKEN_NE = 34,
  TOKEN_LT = 35,
  TOKEN_GT = 36,
  TOKEN_LE = 37,
  TOKEN_GE = 38,
  TOKEN_AND = 39,
  TOKEN_OR = 40,
  TOKEN_NOT = 41,
  TOKEN_UNSET = 42,
  TOKEN_PLUS = 44,
  TOKEN_PLUS_ASSIGN = 45,
  TOKEN_MINUS = 46,
  TOKEN_MINUS_ASSIGN = 47,
  TOKEN_DIVIDE = 48,
  TOKEN_MULTIPLY = 49,
  TOKEN_DOT = 50,
  TOKEN_COLON = 51,
  TOKEN_SEMICOLON = 52,
  TOKEN_COMMA = 53,
  TOKEN_LPAREN = 54,
  TOKEN_RPAREN = 55,
  TOKEN_LBRACKET = 56,
  TOKEN_RBRACKET = 57,
  TOKEN_LBRACE = 58,
  TOKEN_RBRACE = 59,
  TOKEN_END = 60,
  TOKEN_INVALID = 61,
  TOKEN_RESERVED = 62
};

class TamLexer {
 public:
  // The context text and line that go into a TamSyntaxError.
  struct ErrorContext {
    std::string context;
    int line;
  };

  // Where and why a parse over this lexer stopped with a syntax error: recorded just before the
  // error is thrown, so that an outline can report the exact place. The code is an SE_ code or,
  // for a message without one, the plain text. The record belongs to whoever asked for it.
  struct Failure {
    bool failed = false;
    std::string code;
    std::string suffix;        // what follows the message (SE_unexpected names the token)
    size_t offset = 0;         // the offending token; the end of the text for a quote never closed
    size_t related = kNoPlace;  // the construct left open (an "if", a bracket, a quote), if any
    size_t previousEnd = 0;    // just past the token before the offending one
    int line = 0;              // the line the error carries
  };
  static constexpr size_t kNoPlace = static_cast<size_t>(-1);

  // Borrows the text (it must outlive the lexer) and scans the first token. Raises
  // TamSyntaxError for an unterminated quote. A failure record, when given, is borrowed for the
  // lexer's life and filled in at the first syntax error, including one raised by the
  // constructor.
  explicit TamLexer(std::string_view text, Failure* failureRecord = nullptr);
  explicit TamLexer(const char* text, Failure* failureRecord = nullptr)
      : TamLexer(std::string_view(text), failureRecord) {}
  // Keeps a temporary text for the lexer's life instead of borrowing it.
  explicit TamLexer(std::string&& text, Failure* failureRecord = nullptr);
  TamLexer(const TamLexer&) = delete;
  TamLexer& operator=(const TamLexer&) = delete;

  // Moves past the current token; does not move past TOKEN_INVALID.
  void next();
  TokenKind kind() const { return kind_; }
  int line() const { return line_; }
  // The characters between the double quotes, unescaped.
  std::string stringValue() const;
  // A quoted identifier unquoted and unescaped; any other token's characters, unescaped.
  std::string identifierValue() const;
  // Saturates at 2147483647.
  int intValue() const;
  double realValue() const;
  // Up to 40 characters around the current token with line breaks and tabs blanked, a line feed,
  // and a caret under the token's first character.
  ErrorContext errorContext() const;
  // The current token's text as written.
  std::string tokenText() const { return std::string(text_.substr(pos_, length_)); }
  size_t position() const { return pos_; }
  // The text read, as given.
  std::string_view text() const { return text_; }
  // Just past the current token.
  size_t tokenEnd() const { return pos_ + length_; }
  // Just past the token before the current one; 0 before the first token.
  size_t previousEnd() const { return previousEnd_; }

  // Notes a syntax error at the current token in the failure record, if there is one; the caller
  // then throws it.
  void recordFailure(const std::string& code, const std::string& suffix, size_t related);

  // Switching recording on first copies the text before the current token, so the output always
  // holds everything before the current token, even when recording starts after construction.
  void setRecording(bool recording);
  void beginReplace() {
    replacing_ = true;
    pendingSpace_.clear();
  }
  // Ends a replacement keeping the run as written, with the white space and comments after it.
  void keepReplaced();
  // Ends a replacement substituting `text` for the run. Comments after the run are dropped; the
  // line feed ending the last of them and the white space after it are kept. Where the run touched
  // the word after it, a space keeps `text` from merging with it.
  void replaceWith(const std::string& text);
  // Copies the rest of the input, stops all copying and returns the rewritten text.
  std::string finishRecording();

 private:
  void scan();
  void skipSpaceAndComments();
  void skipSpace();
  void scanQuoted(char quote, TokenKind kind);
  bool matchOperator();
  void scanWord(bool keywordPossible);
  void scanNumber();

  std::string kept_;  // the text, when the lexer was given a temporary; otherwise empty
  std::string_view text_;
  size_t pos_ = 0;
  size_t length_ = 0;
  size_t previousEnd_ = 0;
  int line_ = 1;
  TokenKind kind_ = TOKEN_END;
  bool recording_ = false;
  bool replacing_ = false;
  bool finished_ = false;
  size_t mark_ = 0;
  std::string output_;
  std::string pendingSpace_;
  Failure* failureRecord_;
};

namespace tam {
namespace detail {

// RIX character classes: plain ASCII, applied to bytes; a byte above 127 is none of them.
constexpr bool isRixLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool isRixDigit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr bool isRixSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// True when the word is spelled like a RIX keyword ("set", "if", "mandatory", ...), which the
// lexer reads as that keyword wherever white space or the end of the text follows it.
bool isRixKeyword(std::string_view word);

// Replaces every occurrence of `from` by `to`, resuming after each inserted text. An empty
// `from`, or `from` equal to `to`, leaves s unchanged.
void replaceAll(std::string& s, const std::string& from, const std::string& to);

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_RIX_TAMLEXER_H
