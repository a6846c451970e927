#include "rix/TamRuleParser.h"

#include <functional>
#include <utility>

#include "rix/ReferenceRewrite.h"
#include "rix/SyntaxError.h"
#include "rules/TamExp.h"
#include "rules/TamOptionExp.h"
#include "rules/TamValueExp.h"
#include "tam/Tam.h"
#include "tam/TamPath.h"
#include "tam/TamSourcePos.h"
#include "tam/TamTranslater.h"

// Every node is held in a std::unique_ptr until its parent has taken it, so a syntax error
// anywhere frees exactly what was built so far. A parent takes its children only once its own
// construction has succeeded: the children are released after the parent exists.
//
// Ranges: a node's range runs from its first token to just past its last (lexer_.previousEnd()
// once the last token has been moved past); an operator spans its operands.

namespace {

using tam::detail::RuleArena;
using ValuePtr = std::unique_ptr<TamValueExp>;
using Value = ref_count_ptr<TamValue>;

constexpr size_t kNoPlace = TamLexer::kNoPlace;

template <class Node>
ValuePtr makeBinary(RuleArena& arena, ValuePtr left, ValuePtr right) {
  ValuePtr node(new (arena) Node(left.get(), right.get()));
  node->setSourceRange(left->beginOffset(), right->endOffset());
  left.release();
  right.release();
  return node;
}

// Folds a op b op c into a op (b op c) without recursing; operands holds at least one.
template <class Node>
ValuePtr foldRight(RuleArena& arena, std::vector<ValuePtr>& operands) {
  ValuePtr result = std::move(operands.back());
  operands.pop_back();
  while (!operands.empty()) {
    result = makeBinary<Node>(arena, std::move(operands.back()), std::move(result));
    operands.pop_back();
  }
  return result;
}

// begin is the "if" or "elif", elseOffset the "elif" or "else" ending the then part (or kNoPlace);
// the end is filled in once the chain's "endif" has been read.
std::unique_ptr<TamIfExp> makeIf(RuleArena& arena, ValuePtr condition, std::unique_ptr<TamExp> thenPart,
                                 std::unique_ptr<TamExp> elsePart, int line, size_t begin,
                                 size_t elseOffset) {
  std::unique_ptr<TamIfExp> node(
      new (arena) TamIfExp(condition.get(), thenPart.get(), elsePart.get(), line));
  node->setSourceRange(begin, kNoPlace);
  node->setElseOffset(elseOffset);
  condition.release();
  thenPart.release();
  elsePart.release();
  return node;
}

template <template <class> class Test>
using Comparison = TamLogicalValueExp<Test<Value>>;

bool isComparison(TokenKind kind) {
  return kind == TOKEN_EQ || kind == TOKEN_NE || kind == TOKEN_LT || kind == TOKEN_GT ||
         kind == TOKEN_LE || kind == TOKEN_GE;
}

ValuePtr makeComparison(RuleArena& arena, TokenKind op, ValuePtr left, ValuePtr right) {
  switch (op) {
    case TOKEN_EQ:
      return makeBinary<Comparison<std::equal_to>>(arena, std::move(left), std::move(right));
    case TOKEN_NE:
      return makeBinary<Comparison<std::not_equal_to>>(arena, std::move(left), std::move(right));
    case TOKEN_LT:
      return makeBinary<Comparison<std::less>>(arena, std::move(left), std::move(right));
    case TOKEN_GT:
      return makeBinary<Comparison<std::greater>>(arena, std::move(left), std::move(right));
    case TOKEN_LE:
      return makeBinary<Comparison<std::less_equal>>(arena, std::move(left), std::move(right));
    default:
      return makeBinary<Comparison<std::greater_equal>>(arena, std::move(left), std::move(right));
  }
}

std::string nestingMessage() {
  return "Nesting too deep: more than " + std::to_string(TamRuleParser::kMaxNesting) + " levels";
}

}  // namespace

// One nesting level, held while its construct is parsed. Opening a level beyond kMaxNesting
// raises the nesting error at the current token, the one that opens it.
class TamRuleParser::NestingLevel {
 public:
  explicit NestingLevel(TamRuleParser& parser, bool counted = true)
      : parser_(parser), counted_(counted) {
    if (!counted_) return;
    if (parser_.depth_ >= kMaxNesting) {
      tam::detail::raiseSyntaxError(parser_.lexer_, nestingMessage());
    }
    ++parser_.depth_;
  }
  ~NestingLevel() {
    if (counted_) --parser_.depth_;
  }
  NestingLevel(const NestingLevel&) = delete;
  NestingLevel& operator=(const NestingLevel&) = delete;

 private:
  TamRuleParser& parser_;
  bool counted_;
};

TamRuleParser::TamRuleParser(std::string text, TamLexer::Failure* failureRecord)
    : text_(std::make_shared<const std::string>(std::move(text))),
      source_(*text_),
      lexer_(source_, failureRecord) {}

TamRuleParser::TamRuleParser(std::shared_ptr<const std::string> text, std::string_view part,
                             TamLexer::Failure* failureRecord)
    : text_(std::move(text)), source_(part), lexer_(source_, failureRecord) {}

// Entry points.

void TamRuleParser::beginParse() {
  optionRefs_.clear();
  if (!arena_) arena_.reset(new RuleArena(source_.size()));
}

// The root takes the arena only once it exists: should its construction fail, the bucket frees
// the tree while the arena is still the parser's.
ref_count_ptr<TamExpRoot> TamRuleParser::parseRules() {
  beginParse();
  std::unique_ptr<TamExp> body = parseStatementList();
  // The list ends at the end of the text or at a stray "else", "elif" or "endif": remember where.
  const size_t stop = lexer_.kind() == TOKEN_END ? kNoPlace : lexer_.position();
  // The bucket frees the list should the root's construction fail; the root then takes it.
  optionRefs_.shrink_to_fit();  // the root keeps the list as long as the tree
  mem_bucket<TamExp> bucket(body.release());
  ref_count_ptr<TamExpRoot> root(
      new TamExpRoot(bucket.get(), text_, source_, std::move(optionRefs_)));
  bucket.release();
  root->arena_ = std::move(arena_);
  root->stopOffset_ = TamSourcePos::narrow(stop);
  return root;
}

ref_count_ptr<TamConditionExp> TamRuleParser::parseCondition() {
  beginParse();
  ValuePtr condition = parseDisjunction();
  if (lexer_.kind() != TOKEN_END) fail("SE_extra_input");
  optionRefs_.shrink_to_fit();
  mem_bucket<TamValueExp> bucket(condition.release());
  ref_count_ptr<TamConditionExp> root(
      new TamConditionExp(bucket.get(), text_, source_, std::move(optionRefs_)));
  bucket.release();
  root->arena_ = std::move(arena_);
  return root;
}

std::string TamRuleParser::translateRules(const TamTranslater* translater) {
  beginParse();
  translater_ = translater;
  lexer_.setRecording(true);
  parseStatementList();  // the tree only drives the rewriting and is dropped at once
  translater_ = nullptr;
  return lexer_.finishRecording();
}

std::string TamRuleParser::translateCondition(const TamTranslater* translater) {
  beginParse();
  translater_ = translater;
  lexer_.setRecording(true);
  parseDisjunction();
  translater_ = nullptr;
  if (lexer_.kind() != TOKEN_END) fail("SE_extra_input");
  return lexer_.finishRecording();
}

// Statements.

std::unique_ptr<TamExp> TamRuleParser::parseStatementList() {
  std::unique_ptr<TamExp> statement = parseStatement();
  if (!statement) return nullptr;
  std::unique_ptr<TamExpListExp> list(new (arena()) TamExpListExp());
  const uint32_t begin = statement->beginOffset();
  uint32_t end = begin;
  do {
    end = statement->endOffset();
    list->add(statement.get());
    statement.release();
    statement = parseStatement();
  } while (statement);
  list->setSourceRange(begin, end);
  return list;
}

std::unique_ptr<TamExp> TamRuleParser::parseStatement() {
  switch (lexer_.kind()) {
    case TOKEN_SET:
      return parseSet(false);
    case TOKEN_FIX:
      return parseSet(true);
    case TOKEN_INFORM:
    case TOKEN_WARN:
    case TOKEN_ERROR:
      return parseMessage();
    case TOKEN_IF:
      return parseIf();
    case TOKEN_MUTUALLY_EXCLUSIVE:
      return parseMutuallyExclusive();
    case TOKEN_ELSE:
    case TOKEN_ELIF:
    case TOKEN_ENDIF:
    case TOKEN_END:
      return nullptr;
    default:
      fail("SE_unexpected");
  }
}

// set|fix reference "to" value. The line is the one the lexer stands on after the value.
std::unique_ptr<TamExp> TamRuleParser::parseSet(bool fix) {
  const size_t begin = lexer_.position();
  lexer_.next();
  std::unique_ptr<TamOptionExp> option = parseOptionReference();
  expect(TOKEN_TO, "SE_missing_to");
  ValuePtr value = parseValue();
  std::unique_ptr<TamExp> node(new (arena()) TamSetExp(option.get(), value.get(), fix, lexer_.line()));
  node->setSourceRange(begin, lexer_.previousEnd());
  option.release();
  value.release();
  return node;
}

// inform|warn|error value.
std::unique_ptr<TamExp> TamRuleParser::parseMessage() {
  Tam::MsgSeverity severity = Tam::MSG_ERROR;
  if (lexer_.kind() == TOKEN_INFORM) severity = Tam::MSG_INFORM;
  if (lexer_.kind() == TOKEN_WARN) severity = Tam::MSG_WARN;
  const size_t begin = lexer_.position();
  lexer_.next();
  ValuePtr text = parseValue();
  std::unique_ptr<TamExp> node(new (arena()) TamMsgExp(severity, text.get(), lexer_.line()));
  node->setSourceRange(begin, lexer_.previousEnd());
  text.release();
  return node;
}

// if condition then list {elif condition then list} [else list] endif.
// An elif chain is one if whose else part is the if of the next elif, and so on; the whole chain
// takes one "endif". Every if but the last takes the line of the "elif" that ends its then part;
// the last takes the line after "endif". The chain is read in a loop and linked from its end, so
// its length costs no stack. Every link spans from its "if" or "elif" to the chain's "endif".
std::unique_ptr<TamExp> TamRuleParser::parseIf() {
  NestingLevel level(*this);
  const size_t opening = lexer_.position();  // the "if" a missing "endif" leaves open
  size_t begin = opening;
  std::vector<std::unique_ptr<TamIfExp>> chain;  // the ifs ended by an "elif", not yet linked
  for (;;) {
    lexer_.next();  // past "if" or "elif"
    ValuePtr condition = parseDisjunction();
    expect(TOKEN_THEN, "SE_missing_then");
    std::unique_ptr<TamExp> thenPart = parseStatementList();
    if (lexer_.kind() == TOKEN_ELIF) {
      const size_t elif = lexer_.position();
      chain.push_back(makeIf(arena(), std::move(condition), std::move(thenPart), nullptr, lexer_.line(),
                             begin, elif));
      begin = elif;
      continue;
    }
    std::unique_ptr<TamExp> elsePart;
    size_t elseOffset = kNoPlace;
    if (lexer_.kind() == TOKEN_ELSE) {
      elseOffset = lexer_.position();
      lexer_.next();
      elsePart = parseStatementList();
    }
    expect(TOKEN_ENDIF, "SE_missing_endif", opening);
    const size_t end = lexer_.previousEnd();
    std::unique_ptr<TamIfExp> last = makeIf(arena(), std::move(condition), std::move(thenPart),
                                            std::move(elsePart), lexer_.line(), begin, elseOffset);
    last->setSourceRange(begin, end);
    std::unique_ptr<TamExp> result = std::move(last);
    while (!chain.empty()) {
      std::unique_ptr<TamIfExp> outer = std::move(chain.back());
      chain.pop_back();
      outer->setSourceRange(outer->beginOffset(), end);
      outer->setElse(result.release());
      result = std::move(outer);
    }
    return result;
  }
}

// "mutually_exclusive" ":" then "[" names "]" or "{" name.value pairs "}".
std::unique_ptr<TamExp> TamRuleParser::parseMutuallyExclusive() {
  const size_t begin = lexer_.position();
  lexer_.next();
  expect(TOKEN_COLON, "SE_expect_colon");
  std::unique_ptr<TamExp> rule;
  if (lexer_.kind() == TOKEN_LBRACKET) {
    rule = parseOptionList();
  } else if (lexer_.kind() == TOKEN_LBRACE) {
    rule = parseValueList();
  } else {
    fail("SE_mutually_exclusive");
  }
  rule->setSourceRange(begin, lexer_.previousEnd());
  return rule;
}

// "[" name {"," name} "]": options of the module whose rules these are, by name alone. A quoted
// empty name ends the list without being added. The names are not option references of the text:
// they are neither collected nor rewritten.
std::unique_ptr<TamExp> TamRuleParser::parseOptionList() {
  const size_t open = lexer_.position();
  lexer_.next();
  size_t nameAt = lexer_.position();
  std::string name = expectIdentifier("SE_expect_optname");
  std::unique_ptr<TamMEExp> rule(new (arena()) TamMEExp());
  while (!name.empty()) {
    const size_t nameEnd = lexer_.previousEnd();
    std::unique_ptr<TamOptionExp> option(new (arena()) TamOptionExp(
        arena(), std::string_view(), name, TamPath(), writtenBetween(nameAt, nameEnd)));
    option->setOffsets(kNoPlace, nameAt, nameEnd);
    rule->add(option.get());
    option.release();
    if (lexer_.kind() != TOKEN_COMMA) break;
    lexer_.next();
    nameAt = lexer_.position();
    name = expectIdentifier("SE_expect_optname");
  }
  expect(TOKEN_RBRACKET, "SE_unexpected", open);
  return rule;
}

// "{" name "." value {"," name "." value} "}": the values are identifiers read as strings. Like
// the option list form, the names are neither collected nor rewritten.
std::unique_ptr<TamExp> TamRuleParser::parseValueList() {
  const size_t open = lexer_.position();
  lexer_.next();
  std::unique_ptr<TamValueMEExp> rule(new (arena()) TamValueMEExp());
  for (;;) {
    const size_t nameAt = lexer_.position();
    const std::string name = expectIdentifier("SE_expect_modid");
    const size_t nameEnd = lexer_.previousEnd();
    expect(TOKEN_DOT, "SE_mutually_exclusive");
    const size_t valueAt = lexer_.position();
    const std::string value = expectIdentifier("SE_expect_optname");
    if (name.empty() || value.empty()) fail("SE_mutually_exclusive");
    ValuePtr literal(new (arena()) TamLiteralValueExp(value));
    literal->setSourceRange(valueAt, lexer_.previousEnd());
    std::unique_ptr<TamOptionExp> option(new (arena()) TamOptionExp(
        arena(), std::string_view(), name, TamPath(), writtenBetween(nameAt, nameEnd)));
    option->setOffsets(kNoPlace, nameAt, nameEnd);
    rule->add(option.get(), literal.get());
    option.release();
    literal.release();
    if (lexer_.kind() == TOKEN_RBRACE) {
      lexer_.next();
      return rule;
    }
    if (lexer_.kind() != TOKEN_COMMA) fail("SE_mutually_exclusive", open);
    lexer_.next();
  }
}

// module ":" option, then an optional "[path]". In translation mode the module id, colon and
// option name are rewritten when the translater maps either; the path is kept as written.
std::unique_ptr<TamOptionExp> TamRuleParser::parseOptionReference() {
  if (translater_ != nullptr) lexer_.beginReplace();
  const size_t moduleAt = lexer_.position();
  const std::string moduleId = expectIdentifier("SE_expect_modid");
  expect(TOKEN_COLON, "SE_expect_colon");
  const size_t nameAt = lexer_.position();
  const std::string optionName = expectIdentifier("SE_expect_optname");
  const size_t nameEnd = lexer_.previousEnd();
  if (translater_ != nullptr) {
    tam::detail::finishReferenceRewrite(lexer_, *translater_, moduleId, optionName);
  }
  const bool hasPath = lexer_.kind() == TOKEN_LBRACKET;
  const size_t pathAt = lexer_.position();
  const TamPath path = tam::detail::readBracketedPath(lexer_);
  const std::string_view written = writtenBetween(moduleAt, nameEnd);
  std::unique_ptr<TamOptionExp> reference(
      new (arena()) TamOptionExp(arena(), moduleId, optionName, path, written));
  reference->setOffsets(moduleAt, nameAt, nameEnd);
  if (hasPath) reference->setPathRange(pathAt, lexer_.previousEnd());
  optionRefs_.push_back(reference.get());
  return reference;
}

// Values: "+" and "-" over terms, "*" and "/" over factors, both left-associative.

std::unique_ptr<TamValueExp> TamRuleParser::parseValue() {
  ValuePtr left = parseTerm();
  for (;;) {
    const TokenKind op = lexer_.kind();
    if (op != TOKEN_PLUS && op != TOKEN_MINUS) return left;
    lexer_.next();
    ValuePtr right = parseTerm();
    left = op == TOKEN_PLUS ? makeBinary<TamPlusValueExp>(arena(), std::move(left), std::move(right))
                            : makeBinary<TamMinusValueExp>(arena(), std::move(left), std::move(right));
  }
}

std::unique_ptr<TamValueExp> TamRuleParser::parseTerm() {
  ValuePtr left = parseFactor(false);
  for (;;) {
    const TokenKind op = lexer_.kind();
    if (op != TOKEN_MULTIPLY && op != TOKEN_DIVIDE) return left;
    lexer_.next();
    ValuePtr right = parseFactor(false);
    left = op == TOKEN_MULTIPLY
               ? makeBinary<TamMultipliesValueExp>(arena(), std::move(left), std::move(right))
               : makeBinary<TamDividesValueExp>(arena(), std::move(left), std::move(right));
  }
}

// "(" value ")" (no node of its own) or a primary.
std::unique_ptr<TamValueExp> TamRuleParser::parseFactor(bool levelTaken) {
  if (lexer_.kind() != TOKEN_LPAREN) return parsePrimary();
  NestingLevel level(*this, !levelTaken);
  const size_t open = lexer_.position();
  lexer_.next();
  ValuePtr value = parseValue();
  expect(TOKEN_RPAREN, "SE_expect_closebracket", open);
  value->setSourceRange(open, lexer_.previousEnd());
  return value;
}

std::unique_ptr<TamValueExp> TamRuleParser::parsePrimary() {
  ValuePtr literal;
  const size_t begin = lexer_.position();
  switch (lexer_.kind()) {
    case TOKEN_IDENT: {
      std::unique_ptr<TamOptionExp> reference = parseOptionReference();
      ValuePtr node(new (arena()) TamOptionValueExp(reference.get()));
      node->setSourceRange(reference->beginOffset(), reference->endOffset());
      reference.release();
      return node;
    }
    case TOKEN_TRUE:
      literal.reset(new (arena()) TamLiteralValueExp(true));
      break;
    case TOKEN_FALSE:
      literal.reset(new (arena()) TamLiteralValueExp(false));
      break;
    case TOKEN_STRING_LIT:
      literal.reset(new (arena()) TamLiteralValueExp(lexer_.stringValue()));
      break;
    case TOKEN_INT_LIT:
      literal.reset(new (arena()) TamLiteralValueExp(literals_.integer(lexer_.intValue())));
      break;
    case TOKEN_REAL_LIT:
      literal.reset(new (arena()) TamLiteralValueExp(lexer_.realValue()));
      break;
    case TOKEN_MINUS: {
      // Prefix minus is 0 - factor.
      NestingLevel level(*this);
      lexer_.next();
      ValuePtr operand = parseFactor(true);
      ValuePtr zero(new (arena()) TamLiteralValueExp(0));
      zero->setSourceRange(begin, begin);  // not written: the empty range at the "-"
      return makeBinary<TamMinusValueExp>(arena(), std::move(zero), std::move(operand));
    }
    default:
      fail("SE_expect_optorval");
  }
  lexer_.next();
  literal->setSourceRange(begin, lexer_.previousEnd());
  return literal;
}

// Conditions: "or" over conjunctions and "and" over negations, both right-associative; the chains
// are read in a loop and folded from their end.

std::unique_ptr<TamValueExp> TamRuleParser::parseDisjunction() {
  ValuePtr first = parseConjunction();
  if (lexer_.kind() != TOKEN_OR) return first;  // most conditions: no list of operands
  std::vector<ValuePtr> operands;
  operands.push_back(std::move(first));
  while (lexer_.kind() == TOKEN_OR) {
    lexer_.next();
    operands.push_back(parseConjunction());
  }
  return foldRight<TamOrValueExp>(arena(), operands);
}

std::unique_ptr<TamValueExp> TamRuleParser::parseConjunction() {
  ValuePtr first = parseNegation();
  if (lexer_.kind() != TOKEN_AND) return first;
  std::vector<ValuePtr> operands;
  operands.push_back(std::move(first));
  while (lexer_.kind() == TOKEN_AND) {
    lexer_.next();
    operands.push_back(parseNegation());
  }
  return foldRight<TamAndValueExp>(arena(), operands);
}

// "not" applies to one condition primary; "not not" is refused.
std::unique_ptr<TamValueExp> TamRuleParser::parseNegation() {
  if (lexer_.kind() != TOKEN_NOT) return parseConditionPrimary(false);
  NestingLevel level(*this);
  const size_t begin = lexer_.position();
  lexer_.next();
  if (lexer_.kind() == TOKEN_NOT) fail("SE_expect_optorval");
  ValuePtr operand = parseConditionPrimary(true);
  ValuePtr node(new (arena()) TamNotValueExp(operand.get()));
  node->setSourceRange(begin, operand->endOffset());
  operand.release();
  return node;
}

// "(" condition ")" or a comparison. A "(" here always opens a condition, so a parenthesised
// value cannot begin a comparison.
std::unique_ptr<TamValueExp> TamRuleParser::parseConditionPrimary(bool levelTaken) {
  if (lexer_.kind() != TOKEN_LPAREN) return parseComparison();
  NestingLevel level(*this, !levelTaken);
  const size_t open = lexer_.position();
  lexer_.next();
  ValuePtr condition = parseDisjunction();
  expect(TOKEN_RPAREN, "SE_expect_closebracket", open);
  condition->setSourceRange(open, lexer_.previousEnd());
  return condition;
}

// value [op value]: comparisons do not chain.
std::unique_ptr<TamValueExp> TamRuleParser::parseComparison() {
  ValuePtr left = parseValue();
  const TokenKind op = lexer_.kind();
  if (!isComparison(op)) return left;
  lexer_.next();
  ValuePtr right = parseValue();
  return makeComparison(arena(), op, std::move(left), std::move(right));
}

// Helpers.

std::string_view TamRuleParser::writtenBetween(size_t begin, size_t end) const {
  return source_.substr(begin, end - begin);
}

void TamRuleParser::fail(const char* code, size_t related) {
  std::string suffix;
  if (std::string(code) == "SE_unexpected") {
    // The message names the token met; the end of the text and an invalid character have no text.
    const TokenKind kind = lexer_.kind();
    suffix = " " + (kind == TOKEN_END || kind == TOKEN_INVALID ? std::string()
                                                              : lexer_.identifierValue());
  }
  tam::detail::raiseSyntaxError(lexer_, code, suffix, related);
}

void TamRuleParser::expect(TokenKind kind, const char* code, size_t related) {
  if (lexer_.kind() != kind) fail(code, related);
  lexer_.next();
}

std::string TamRuleParser::expectIdentifier(const char* code) {
  if (lexer_.kind() != TOKEN_IDENT) fail(code);
  std::string value = lexer_.identifierValue();
  lexer_.next();
  return value;
}

static_assert(alignof(TamIfExp) <= RuleArena::kAlignment && alignof(TamSetExp) <= RuleArena::kAlignment &&
                  alignof(TamLiteralValueExp) <= RuleArena::kAlignment &&
                  alignof(TamOptionExp) <= RuleArena::kAlignment,
              "nodes placed in an arena need no more than its alignment");
