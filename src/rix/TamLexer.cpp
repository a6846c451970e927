#include "rix/TamLexer.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "foundation/SameBytes.h"
#include "tam/TamException.h"

using tam::detail::isRixDigit;
using tam::detail::isRixLetter;
using tam::detail::isRixSpace;

namespace {

struct Keyword {
  std::string_view spelling;
  TokenKind kind;
};

// Every keyword and operator. The lexer looks them up through the indexes built from this table
// below: operators by their first byte, keywords by their first letter and length.
constexpr Keyword kKeywords[] = {
    {"=", TOKEN_EQ},
    {"!=", TOKEN_NE},
    {"<=", TOKEN_LE},
    {">=", TOKEN_GE},
    {"<", TOKEN_LT},
    {">", TOKEN_GT},
    {".", TOKEN_DOT},
    {":", TOKEN_COLON},
    {";", TOKEN_SEMICOLON},
    {",", TOKEN_COMMA},
    {"(", TOKEN_LPAREN},
    {")", TOKEN_RPAREN},
    {"[", TOKEN_LBRACKET},
    {"]", TOKEN_RBRACKET},
    {"{", TOKEN_LBRACE},
    {"}", TOKEN_RBRACE},
    {"+=", TOKEN_PLUS_ASSIGN},
    {"+", TOKEN_PLUS},
    {"-=", TOKEN_MINUS_ASSIGN},
    {"-", TOKEN_MINUS},
    {"*", TOKEN_MULTIPLY},
    {"/", TOKEN_DIVIDE},
    {"if", TOKEN_IF},
    {"then", TOKEN_THEN},
    {"elif", TOKEN_ELIF},
    {"else", TOKEN_ELSE},
    {"endif", TOKEN_ENDIF},
    {"and", TOKEN_AND},
    {"not", TOKEN_NOT},
    {"or", TOKEN_OR},
    {"unset", TOKEN_UNSET},
    {"true", TOKEN_TRUE},
    {"false", TOKEN_FALSE},
    {"implements", TOKEN_IMPLEMENTS},
    {"presents", TOKEN_PRESENTS},
    {"uses", TOKEN_USES},
    {"set", TOKEN_SET},
    {"fix", TOKEN_FIX},
    {"to", TOKEN_TO},
    {"inform", TOKEN_INFORM},
    {"warn", TOKEN_WARN},
    {"error", TOKEN_ERROR},
    {"public", TOKEN_PUBLIC},
    {"private", TOKEN_PRIVATE},
    {"mandatory", TOKEN_MANDATORY},
    {"mutually_exclusive", TOKEN_MUTUALLY_EXCLUSIVE},
    {"non_mutually_exclusive", TOKEN_NON_MUTUALLY_EXCLUSIVE},
    {"enum", TOKEN_ENUM},
    {"string", TOKEN_STRING},
    {"real", TOKEN_REAL},
    {"integer", TOKEN_INTEGER},
    {"logical", TOKEN_LOGICAL},
    {"default", TOKEN_DEFAULT},
    {"legacy", TOKEN_LEGACY},
    {"hide", TOKEN_RESERVED},
    {"show", TOKEN_RESERVED},
    {"interface", TOKEN_RESERVED},
};
static_assert(std::size(kKeywords) == 57, "one entry per keyword and operator spelling");
static_assert(std::size(kKeywords) <= UCHAR_MAX, "entry numbers fit an unsigned char");

// The operators of the table by their first byte: the one-byte operator spelled so, if any, and
// the two-byte operator beginning so, if any (at most one does: the table is checked for it).
struct Operators {
  bool hasSingle;
  TokenKind single;
  char pairSecond;  // the second byte of the two-byte operator; NUL when there is none
  TokenKind pair;
};

constexpr bool isOperator(std::string_view spelling) {
  return !(spelling[0] >= 'a' && spelling[0] <= 'z');
}

struct OperatorIndex {
  Operators byFirst[UCHAR_MAX + 1];
  bool consistent;  // no byte begins two operators of the same length
};

constexpr OperatorIndex buildOperatorIndex() {
  OperatorIndex index{};
  index.consistent = true;
  for (const Keyword& keyword : kKeywords) {
    if (!isOperator(keyword.spelling)) continue;
    Operators& entry = index.byFirst[static_cast<unsigned char>(keyword.spelling[0])];
    if (keyword.spelling.size() == 1) {
      if (entry.hasSingle) index.consistent = false;
      entry.hasSingle = true;
      entry.single = keyword.kind;
    } else if (keyword.spelling.size() == 2 && entry.pairSecond == '\0') {
      entry.pairSecond = keyword.spelling[1];
      entry.pair = keyword.kind;
    } else {
      index.consistent = false;
    }
  }
  return index;
}

constexpr OperatorIndex kOperatorIndex = buildOperatorIndex();
static_assert(kOperatorIndex.consistent, "operators: one or two bytes, one of each per first byte");
constexpr const Operators* kOperators = kOperatorIndex.byFirst;

// The keywords spelled with letters, grouped by their first letter and their length: a word
// is compared only with the one to three keywords that begin like it and are as long.
constexpr size_t kLetters = 'z' - 'a' + 1;
constexpr size_t kLongestKeyword = 22;  // "non_mutually_exclusive"

struct WordKeywordIndex {
  // The keywords of first letter l and length n are order[begin[g]] up to order[begin[g + 1]],
  // g = l * (kLongestKeyword + 1) + n.
  unsigned char begin[kLetters * (kLongestKeyword + 1) + 1];
  unsigned char order[std::size(kKeywords)];
};

constexpr bool isLowerLetter(char c) { return c >= 'a' && c <= 'z'; }

constexpr size_t wordGroup(char first, size_t length) {
  return static_cast<size_t>(first - 'a') * (kLongestKeyword + 1) + length;
}

constexpr WordKeywordIndex buildWordKeywordIndex() {
  WordKeywordIndex index{};
  constexpr size_t kGroups = kLetters * (kLongestKeyword + 1);
  size_t count[kGroups] = {};
  for (const Keyword& keyword : kKeywords) {
    if (isLowerLetter(keyword.spelling[0])) {
      ++count[wordGroup(keyword.spelling[0], keyword.spelling.size())];
    }
  }
  size_t at = 0;
  size_t next[kGroups] = {};
  for (size_t g = 0; g < kGroups; ++g) {
    index.begin[g] = static_cast<unsigned char>(at);
    next[g] = at;
    at += count[g];
  }
  index.begin[kGroups] = static_cast<unsigned char>(at);
  for (size_t i = 0; i < std::size(kKeywords); ++i) {
    const std::string_view spelling = kKeywords[i].spelling;
    if (isLowerLetter(spelling[0])) {
      index.order[next[wordGroup(spelling[0], spelling.size())]++] = static_cast<unsigned char>(i);
    }
  }
  return index;
}

constexpr WordKeywordIndex kWordKeywordIndex = buildWordKeywordIndex();

constexpr bool keywordsFitTheIndex() {
  for (const Keyword& keyword : kKeywords) {
    if (keyword.spelling.size() > kLongestKeyword) return false;
  }
  return true;
}
static_assert(keywordsFitTheIndex(), "kLongestKeyword covers every keyword");

// The keyword spelled exactly like word, or null. Keywords are words of lowercase letters and
// "_", beginning with a letter.
const Keyword* findKeyword(std::string_view word) {
  if (word.empty() || word.size() > kLongestKeyword || !isLowerLetter(word[0])) return nullptr;
  const size_t group = wordGroup(word[0], word.size());
  for (size_t i = kWordKeywordIndex.begin[group]; i < kWordKeywordIndex.begin[group + 1]; ++i) {
    const Keyword& keyword = kKeywords[kWordKeywordIndex.order[i]];
    if (tam::detail::sameBytes(keyword.spelling.data(), word.data(), word.size())) {
      return &keyword;
    }
  }
  return nullptr;
}

// The error context shows this many characters before the current token, in a window of
// kContextWidth characters.
constexpr size_t kContextBefore = 20;
constexpr size_t kContextWidth = 40;

// What each byte value is to a word, so that a word is scanned with one lookup per byte: whether
// it continues a word (letters, digits, "_"), and whether keywords are spelled with it (lowercase
// letters and "_"), so that a word with any other byte is never looked up among them.
struct WordBytes {
  static constexpr unsigned char kContinues = 1;
  static constexpr unsigned char kInKeywords = 2;
  unsigned char of[UCHAR_MAX + 1];
};

constexpr WordBytes buildWordBytes() {
  WordBytes bytes{};
  for (unsigned c = 0; c <= UCHAR_MAX; ++c) {
    const auto byte = static_cast<unsigned char>(c);
    if (isRixLetter(byte) || isRixDigit(byte) || byte == '_') bytes.of[c] |= WordBytes::kContinues;
    if (isLowerLetter(static_cast<char>(byte)) || byte == '_') bytes.of[c] |= WordBytes::kInKeywords;
  }
  return bytes;
}

constexpr WordBytes kWordBytes = buildWordBytes();

constexpr bool keywordsUseKeywordBytes() {
  for (const Keyword& keyword : kKeywords) {
    if (!isLowerLetter(keyword.spelling[0])) continue;  // operators
    for (char c : keyword.spelling) {
      if ((kWordBytes.of[static_cast<unsigned char>(c)] & WordBytes::kInKeywords) == 0) {
        return false;
      }
    }
  }
  return true;
}
static_assert(keywordsUseKeywordBytes(), "every byte of a keyword is marked as one");

bool isWordChar(unsigned char c) { return (kWordBytes.of[c] & WordBytes::kContinues) != 0; }

// Each backslash is dropped and the character after it kept as it is; there are no named escapes.
// The runs between backslashes are copied whole.
std::string unescape(std::string_view text) {
  size_t backslash = text.find('\\');
  if (backslash == std::string_view::npos) return std::string(text);
  std::string result;
  result.reserve(text.size());
  size_t from = 0;
  while (backslash != std::string_view::npos) {
    result.append(text, from, backslash - from);
    if (backslash + 1 == text.size()) return result;  // a backslash ending the text is dropped
    result += text[backslash + 1];
    from = backslash + 2;
    backslash = text.find('\\', from);
  }
  result.append(text, from, std::string_view::npos);
  return result;
}

}  // namespace

TamLexer::TamLexer(std::string_view text, Failure* failureRecord)
    : text_(text), failureRecord_(failureRecord) {
  scan();
}

TamLexer::TamLexer(std::string&& text, Failure* failureRecord)
    : kept_(std::move(text)), text_(kept_), failureRecord_(failureRecord) {
  scan();
}

// TOKEN_INVALID has no length to move past; a parser that meets it must stop.
void TamLexer::next() {
  if (kind_ == TOKEN_INVALID) return;
  scan();
}

void TamLexer::scan() {
  pos_ += length_;
  previousEnd_ = pos_;
  length_ = 0;
  skipSpaceAndComments();
  if (recording_ && !replacing_ && !finished_) {
    output_.append(text_, mark_, pos_ - mark_);
    mark_ = pos_;
  }
  if (pos_ >= text_.size()) {
    kind_ = TOKEN_END;
    return;
  }
  const unsigned char c = static_cast<unsigned char>(text_[pos_]);
  if (c == '"') return scanQuoted('"', TOKEN_STRING_LIT);
  if (c == '\'') return scanQuoted('\'', TOKEN_IDENT);
  if (isRixLetter(c)) return scanWord(true);
  if (c == '_') return scanWord(false);
  if (isRixDigit(c)) return scanNumber();
  if (matchOperator()) return;
  kind_ = TOKEN_INVALID;
}

void TamLexer::skipSpace() {
  const size_t start = pos_;
  while (pos_ < text_.size() && isRixSpace(static_cast<unsigned char>(text_[pos_]))) {
    if (text_[pos_] == '\n') ++line_;
    ++pos_;
  }
  if (recording_ && replacing_) pendingSpace_.assign(text_, start, pos_ - start);
}

// A comment runs from "#" to the end of its line; the line feed ending it is counted.
void TamLexer::skipSpaceAndComments() {
  skipSpace();
  while (pos_ < text_.size() && text_[pos_] == '#') {
    const size_t lineFeed = text_.find('\n', pos_);
    if (lineFeed == std::string::npos) {
      pos_ = text_.size();
    } else {
      pos_ = lineFeed + 1;
      ++line_;
    }
    skipSpace();
    // A replacement drops the comment, but the line feed that ended it still separates the
    // replaced run from the next token ("m:a # c" + LF + "set" must not become "n:bset").
    if (recording_ && replacing_ && lineFeed != std::string::npos) {
      pendingSpace_.insert(0, 1, '\n');
    }
  }
}

// The token runs to the first unescaped quote of the same kind, both quotes included. Line feeds
// inside it are not counted.
void TamLexer::scanQuoted(char quote, TokenKind kind) {
  size_t i = pos_ + 1;
  while (i < text_.size() && text_[i] != quote) i += text_[i] == '\\' ? 2 : 1;
  if (i >= text_.size()) {
    const ErrorContext where = errorContext();
    const char* message =
        quote == '"' ? "Unterminated double quotes" : "Unterminated single quotes";
    recordFailure(message, std::string(), pos_);
    if (failureRecord_ != nullptr) failureRecord_->offset = text_.size();  // the quote is missing
    throw TamSyntaxError(message, where.context, where.line);
  }
  kind_ = kind;
  length_ = i + 1 - pos_;
}

// Operators need no separation from what follows them; the longest one that matches wins.
bool TamLexer::matchOperator() {
  const auto first = static_cast<unsigned char>(text_[pos_]);
  const Operators& starting = kOperators[first];
  if (starting.pairSecond != '\0' && pos_ + 1 < text_.size() &&
      text_[pos_ + 1] == starting.pairSecond) {
    kind_ = starting.pair;
    length_ = 2;
    return true;
  }
  if (!starting.hasSingle) return false;
  kind_ = starting.single;
  length_ = 1;
  return true;
}

// A word spelled like a keyword is that keyword only when white space or the end of the text
// follows it, so "if(" begins an identifier. Keywords all begin with a letter.
void TamLexer::scanWord(bool keywordPossible) {
  size_t end = pos_;
  unsigned char all = WordBytes::kInKeywords;  // stays set while every byte may be a keyword's
  while (end < text_.size()) {
    const unsigned char is = kWordBytes.of[static_cast<unsigned char>(text_[end])];
    if ((is & WordBytes::kContinues) == 0) break;
    all &= is;
    ++end;
  }
  kind_ = TOKEN_IDENT;
  length_ = end - pos_;
  if (!keywordPossible || all == 0) return;
  if (end < text_.size() && !isRixSpace(static_cast<unsigned char>(text_[end]))) return;
  if (const Keyword* keyword = findKeyword(text_.substr(pos_, length_))) kind_ = keyword->kind;
}

// Digits alone are an integer; followed by a letter or "_" they begin an identifier such as
// "2ways"; followed by ":" they are an identifier naming a module; followed by "." a real.
void TamLexer::scanNumber() {
  size_t end = pos_;
  while (end < text_.size() && isRixDigit(static_cast<unsigned char>(text_[end]))) ++end;
  const unsigned char after = end < text_.size() ? static_cast<unsigned char>(text_[end]) : 0;
  if (end < text_.size() && (isRixLetter(after) || after == '_')) return scanWord(false);
  if (after == ':') {
    kind_ = TOKEN_IDENT;
  } else if (after == '.') {
    ++end;
    while (end < text_.size() && isRixDigit(static_cast<unsigned char>(text_[end]))) ++end;
    kind_ = TOKEN_REAL_LIT;
  } else {
    kind_ = TOKEN_INT_LIT;
  }
  length_ = end - pos_;
}

std::string TamLexer::stringValue() const {
  const std::string_view token = text_.substr(pos_, length_);
  if (kind_ == TOKEN_STRING_LIT && token.size() >= 2) {
    return unescape(token.substr(1, token.size() - 2));
  }
  return unescape(token);
}

std::string TamLexer::identifierValue() const {
  const std::string_view token = text_.substr(pos_, length_);
  if (kind_ == TOKEN_IDENT && token.size() >= 2 && token[0] == '\'') {
    return unescape(token.substr(1, token.size() - 2));
  }
  return unescape(token);
}

// The value of the leading digits, saturating instead of overflowing.
int TamLexer::intValue() const {
  int64_t value = 0;
  for (size_t i = pos_; i < pos_ + length_ && isRixDigit(static_cast<unsigned char>(text_[i]));
       ++i) {
    value = std::min<int64_t>(value * 10 + (text_[i] - '0'), INT_MAX);
  }
  return static_cast<int>(value);
}

// Read independently of the process locale: RIX always writes a point.
double TamLexer::realValue() const {
  double value = 0.0;
  const char* first = text_.data() + pos_;
  std::from_chars(first, first + length_, value);
  return value;
}

void TamLexer::recordFailure(const std::string& code, const std::string& suffix, size_t related) {
  if (failureRecord_ == nullptr) return;
  failureRecord_->failed = true;
  failureRecord_->code = code;
  failureRecord_->suffix = suffix;
  failureRecord_->offset = pos_;
  failureRecord_->related = related;
  failureRecord_->previousEnd = previousEnd_;
  failureRecord_->line = line_;
}

TamLexer::ErrorContext TamLexer::errorContext() const {
  const size_t start = pos_ < kContextBefore ? 0 : pos_ - kContextBefore;
  const size_t caret = std::min(pos_, kContextBefore);
  std::string window(text_.substr(start, kContextWidth));
  tam::detail::replaceAll(window, "\n", " ");
  tam::detail::replaceAll(window, "\t", " ");
  tam::detail::replaceAll(window, "\r", " ");
  return {window + "\n" + std::string(caret, ' ') + "^", line_};
}

void TamLexer::setRecording(bool recording) {
  if (recording && !recording_ && !replacing_ && !finished_) {
    output_.append(text_, mark_, pos_ - mark_);
    mark_ = pos_;
  }
  recording_ = recording;
}

// Keeps the run as written, with the white space and comments after it.
void TamLexer::keepReplaced() {
  if (recording_ && !finished_) {
    output_.append(text_, mark_, pos_ - mark_);
    mark_ = pos_;
  }
  replacing_ = false;
}

// Substitutes the run; of what followed it only the white space after the last comment is kept,
// behind the line feed that ended that comment.
void TamLexer::replaceWith(const std::string& text) {
  if (recording_ && !finished_) {
    output_ += text;
    output_ += pendingSpace_;
    // A run written against the word after it ("'m':'x'elif") keeps a space from it when the
    // replacement ends with a word character, or the two would read back as one word. (Nothing
    // ends in a word character right before a reference: a keyword needs space after it.)
    if (!text.empty() && pendingSpace_.empty() && pos_ < text_.size() &&
        isWordChar(static_cast<unsigned char>(text.back())) &&
        isWordChar(static_cast<unsigned char>(text_[pos_]))) {
      output_ += ' ';
    }
    mark_ = pos_;
  }
  replacing_ = false;
}

std::string TamLexer::finishRecording() {
  if (!finished_) {
    output_.append(text_, mark_, std::string::npos);
    mark_ = text_.size();
    finished_ = true;
    recording_ = false;
  }
  return output_;
}

namespace tam {
namespace detail {

bool isRixKeyword(std::string_view word) {
  if (word.empty() || !isRixLetter(static_cast<unsigned char>(word[0]))) return false;
  return findKeyword(word) != nullptr;
}

void replaceAll(std::string& s, const std::string& from, const std::string& to) {
  if (from.empty() || from == to) return;
  size_t at = s.find(from);
  while (at != std::string::npos) {
    s.replace(at, from.size(), to);
    at = s.find(from, at + to.size());
  }
}

}  // namespace detail
}  // namespace tam
