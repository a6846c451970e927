#include "RixScan.h"

#include <algorithm>
#include <cctype>

#include "Diagnostics.h"

namespace {

enum class Kind { kIdent, kKeyword, kString, kNumber, kPunct, kEnd };

struct Token {
  Kind kind = Kind::kEnd;
  std::string text;  // identifier and string values unescaped; keywords and punctuation as written
  std::size_t offset = 0;
  int line = 1;  // counted as the library counts: line feeds inside quoted tokens do not count
};

// The words the library reads as keywords when a blank or the end of the text follows them.
// clang-format off
const char* const kKeywords[] = {
    "if", "then", "elif", "else", "endif", "and", "not", "or", "unset", "true", "false",
    "implements", "presents", "uses", "set", "fix", "to", "inform", "warn", "error", "public",
    "private", "mandatory", "mutually_exclusive", "non_mutually_exclusive", "enum", "string",
    "real", "integer", "logical", "default", "legacy", "hide", "show", "interface"};
// clang-format on

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isWordChar(char c) { return isLetter(c) || isDigit(c) || c == '_'; }

bool isKeyword(const std::string& word) {
  return std::find_if(std::begin(kKeywords), std::end(kKeywords),
                      [&](const char* k) { return word == k; }) != std::end(kKeywords);
}

std::string unescape(const std::string& raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
    out += raw[i];
  }
  return out;
}

class Scanner {
 public:
  explicit Scanner(const std::string& text) : text_(text) {}

  std::vector<Token> tokens() {
    std::vector<Token> result;
    for (;;) {
      Token token = next();
      result.push_back(token);
      if (token.kind == Kind::kEnd) return result;
    }
  }

 private:
  void skipBlanksAndComments() {
    for (;;) {
      while (pos_ < text_.size() && isSpace(text_[pos_])) {
        if (text_[pos_] == '\n') ++line_;
        ++pos_;
      }
      if (pos_ >= text_.size() || text_[pos_] != '#') return;
      while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
    }
  }

  Token next() {
    skipBlanksAndComments();
    Token token = scan();
    token.line = line_;
    return token;
  }

  Token scan() {
    Token token;
    token.offset = pos_;
    if (pos_ >= text_.size()) return token;
    char c = text_[pos_];
    if (c == '"' || c == '\'') return quoted(c == '"' ? Kind::kString : Kind::kIdent);
    if (isLetter(c) || c == '_') return word();
    if (isDigit(c)) return number();
    token.kind = Kind::kPunct;
    token.text = std::string(1, c);
    ++pos_;
    return token;
  }

  Token quoted(Kind kind) {
    Token token;
    token.kind = kind;
    token.offset = pos_;
    char quote = text_[pos_++];
    std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != quote) {
      if (text_[pos_] == '\\') ++pos_;
      ++pos_;
    }
    token.text = unescape(text_.substr(start, std::min(pos_, text_.size()) - start));
    if (pos_ < text_.size()) ++pos_;
    return token;
  }

  Token word() {
    Token token;
    token.offset = pos_;
    while (pos_ < text_.size() && isWordChar(text_[pos_])) ++pos_;
    token.text = text_.substr(token.offset, pos_ - token.offset);
    bool blankOrEnd = pos_ >= text_.size() || isSpace(text_[pos_]);
    token.kind = (blankOrEnd && isKeyword(token.text)) ? Kind::kKeyword : Kind::kIdent;
    return token;
  }

  Token number() {
    Token token;
    token.offset = pos_;
    while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
    token.kind = Kind::kNumber;
    if (pos_ < text_.size() && (isLetter(text_[pos_]) || text_[pos_] == '_')) {
      while (pos_ < text_.size() && isWordChar(text_[pos_])) ++pos_;
      token.kind = Kind::kIdent;
    } else if (pos_ < text_.size() && text_[pos_] == ':') {
      token.kind = Kind::kIdent;
    } else if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
    }
    token.text = text_.substr(token.offset, pos_ - token.offset);
    return token;
  }

  const std::string& text_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

bool isPunct(const Token& token, const char* text) {
  return token.kind == Kind::kPunct && token.text == text;
}

Tam::MsgSeverity severityOf(const std::string& keyword) {
  if (keyword == "error") return Tam::MSG_ERROR;
  if (keyword == "warn") return Tam::MSG_WARN;
  return Tam::MSG_INFORM;
}

// The option names of "mutually_exclusive : [a, b]" and "mutually_exclusive : {a.x, b.y}",
// starting at the token after the colon.
void collectExclusiveNames(const std::vector<Token>& tokens, std::size_t i, std::size_t ruleOffset,
                           RixScan& scan) {
  if (i >= tokens.size()) return;
  bool valueList = isPunct(tokens[i], "{");
  if (!valueList && !isPunct(tokens[i], "[")) return;
  const char* close = valueList ? "}" : "]";
  bool expectName = true;
  for (++i; i < tokens.size() && tokens[i].kind != Kind::kEnd && !isPunct(tokens[i], close); ++i) {
    if (isPunct(tokens[i], ",")) {
      expectName = true;
    } else if (expectName && tokens[i].kind == Kind::kIdent) {
      scan.exclusiveNames.push_back({tokens[i].text, tokens[i].offset, ruleOffset});
      expectName = false;
    }
  }
}

}  // namespace

RixScan scanRix(const std::string& text) {
  RixScan scan;
  std::vector<Token> tokens = Scanner(text).tokens();
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (token.kind == Kind::kIdent && i + 2 < tokens.size() && isPunct(tokens[i + 1], ":") &&
        tokens[i + 2].kind == Kind::kIdent) {
      scan.references.push_back(
          {token.text, tokens[i + 2].text, token.offset, tokens[i + 2].offset});
      i += 2;
    } else if (token.kind == Kind::kKeyword &&
               (token.text == "inform" || token.text == "warn" || token.text == "error")) {
      RixMessage message;
      message.severity = severityOf(token.text);
      message.offset = token.offset;
      if (i + 1 < tokens.size() && tokens[i + 1].kind == Kind::kString) {
        message.hasLiteral = true;
        message.literal = tokens[i + 1].text;
      }
      scan.messages.push_back(message);
    } else if (token.kind == Kind::kKeyword && token.text == "mutually_exclusive" &&
               i + 1 < tokens.size() && isPunct(tokens[i + 1], ":")) {
      collectExclusiveNames(tokens, i + 2, token.offset, scan);
    }
  }
  return scan;
}

int messageLine(const std::string& rules, const RixScan& scan, Tam::MsgSeverity severity,
                const std::string& message) {
  const RixMessage* best = nullptr;
  long bestScore = -2;
  bool tie = false;
  for (const RixMessage& candidate : scan.messages) {
    if (candidate.severity != severity) continue;
    long score = -1;  // a message without a leading literal could print anything
    if (candidate.hasLiteral) {
      if (message.compare(0, candidate.literal.size(), candidate.literal) != 0) continue;
      score = static_cast<long>(candidate.literal.size());
    }
    if (score > bestScore) {
      best = &candidate;
      bestScore = score;
      tie = false;
    } else if (score == bestScore) {
      tie = true;
    }
  }
  if (best == nullptr || tie) return 0;
  int line = 0;
  int column = 0;
  lineAndColumn(rules, best->offset, line, column);
  return line;
}

namespace {

bool isKeywordToken(const Token& token, const char* word) {
  return token.kind == Kind::kKeyword && token.text == word;
}

bool startsStatement(const Token& token) {
  for (const char* word : {"set", "fix", "inform", "warn", "error", "mutually_exclusive"}) {
    if (isKeywordToken(token, word)) return true;
  }
  return false;
}

// The "if" that the "endif" or "elif" at or before `from` belongs to, walking back over nested
// if statements.
bool openingIf(const std::vector<Token>& tokens, std::size_t from, bool fromEndif,
               std::size_t& offset) {
  int depth = fromEndif ? -1 : 0;
  for (std::size_t i = from + 1; i-- > 0;) {
    if (isKeywordToken(tokens[i], "endif")) {
      ++depth;
    } else if (isKeywordToken(tokens[i], "if")) {
      if (depth <= 0) {
        offset = tokens[i].offset;
        return true;
      }
      --depth;
    }
  }
  return false;
}

}  // namespace

bool statementForLine(const std::string& rules, int reportedLine, std::size_t& offset) {
  std::vector<Token> tokens = Scanner(rules).tokens();
  std::size_t follower = 0;
  while (follower + 1 < tokens.size() && tokens[follower].line < reportedLine) ++follower;
  if (tokens[follower].line != reportedLine || follower == 0) return false;
  if (isKeywordToken(tokens[follower], "elif"))
    return openingIf(tokens, follower - 1, false, offset);
  std::size_t last = follower - 1;
  if (isKeywordToken(tokens[last], "endif")) return openingIf(tokens, last, true, offset);
  for (std::size_t i = last + 1; i-- > 0;) {
    if (startsStatement(tokens[i])) {
      offset = tokens[i].offset;
      return true;
    }
    if (tokens[i].kind == Kind::kKeyword &&
        (tokens[i].text == "then" || tokens[i].text == "else" || tokens[i].text == "endif")) {
      return false;
    }
  }
  return false;
}

bool exclusiveRuleNaming(const RixScan& scan, const std::string& first, const std::string& second,
                         std::size_t& offset) {
  for (const RixExclusiveName& a : scan.exclusiveNames) {
    if (a.name != first) continue;
    for (const RixExclusiveName& b : scan.exclusiveNames) {
      if (b.ruleOffset == a.ruleOffset && b.name == second) {
        offset = a.ruleOffset;
        return true;
      }
    }
  }
  return false;
}
