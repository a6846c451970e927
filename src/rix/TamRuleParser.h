// TamRuleParser reads RIX rule bodies and conditions by recursive descent over a TamLexer, deciding
// every step from the one current token. One parser is made per text and one entry point is run.
// The roots it returns own their trees, placed in one arena per parse (see RuleArena); on a
// syntax error nothing built so far leaks. The parser
// keeps the one copy of the text it is given and shares it with the roots it returns, so a root
// outlives the caller's text and the parser. In
// translation mode the tree is built only to drive the lexer's rewriting and is then dropped.
//
// Nesting is limited to kMaxNesting levels, so that deep input ends in a syntax error rather than
// a stack overflow. A level is opened by a parenthesised value or condition, a "not", a prefix
// "-", and an if statement (an if inside another's then or else part is one level deeper); a "("
// directly after "not" or a prefix "-" belongs to that operator's level. elif chains, statement
// lists and chains of binary operators are read in loops and do not nest.
//
// Positions: every node built records where it stands in the text (see TamExp, TamValueExp and
// TamOptionExp), and a syntax error records its place in the lexer before it is thrown
// (into the failure record given at construction), with the construct it leaves open: the "if" of a missing "endif", the "(" of a
// missing ")", the "[" or "{" of an unclosed list. Neither changes a tree or an exception.
// A statement's line() is the lexer's line after the statement (the line of the token that
// follows it), counted without the line feeds inside quoted tokens; offsets count every byte.
#ifndef TAM_SRC_RIX_TAMRULEPARSER_H
#define TAM_SRC_RIX_TAMRULEPARSER_H

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/ConstraintCache.h"
#include "rix/TamLexer.h"
#include "rules/RuleArena.h"
#include "tam/TamConditionExp.h"
#include "tam/TamExpRoot.h"
#include "tam/TamValue.h"
#include "tam/ref_count.h"

class TamExp;
class TamOptionExp;
class TamTranslater;
class TamValueExp;

class TamRuleParser {
 public:
  // Deep input must end in a syntax error, not a stack overflow.
  static constexpr int kMaxNesting = 256;

  // Takes the text (moved in when the caller gives it up). The failure record, when given, is
  // borrowed and filled in at a syntax error.
  explicit TamRuleParser(std::string text, TamLexer::Failure* failureRecord = nullptr);
  // Reads `part`, which lies within *text, keeping and sharing `text` instead of a copy; offsets
  // count from the start of `part`.
  TamRuleParser(std::shared_ptr<const std::string> text, std::string_view part,
                TamLexer::Failure* failureRecord = nullptr);
  TamRuleParser(const TamRuleParser&) = delete;
  TamRuleParser& operator=(const TamRuleParser&) = delete;

  // A rule body: the statement list (null when the text holds none) under a new root. Stops at
  // the end of the text or at a stray top-level "else", "elif" or "endif", ignoring what follows.
  // Every entry point raises TamSyntaxError at the first error.
  ref_count_ptr<TamExpRoot> parseRules();
  // One condition; raises SE_extra_input when tokens follow it.
  ref_count_ptr<TamConditionExp> parseCondition();
  // The text with every option reference rewritten through the translater's mappings and every
  // other character kept; the translater is only borrowed for the call.
  std::string translateRules(const TamTranslater* translater);
  std::string translateCondition(const TamTranslater* translater);

 private:
  class NestingLevel;

  std::unique_ptr<TamExp> parseStatementList();
  std::unique_ptr<TamExp> parseStatement();
  std::unique_ptr<TamExp> parseSet(bool fix);
  std::unique_ptr<TamExp> parseMessage();
  std::unique_ptr<TamExp> parseIf();
  std::unique_ptr<TamExp> parseMutuallyExclusive();
  std::unique_ptr<TamExp> parseOptionList();
  std::unique_ptr<TamExp> parseValueList();
  std::unique_ptr<TamOptionExp> parseOptionReference();
  std::unique_ptr<TamValueExp> parseValue();
  std::unique_ptr<TamValueExp> parseTerm();
  // levelTaken: a prefix operator already opened the level a "(" here would open.
  std::unique_ptr<TamValueExp> parseFactor(bool levelTaken);
  std::unique_ptr<TamValueExp> parsePrimary();
  std::unique_ptr<TamValueExp> parseDisjunction();
  std::unique_ptr<TamValueExp> parseConjunction();
  std::unique_ptr<TamValueExp> parseNegation();
  std::unique_ptr<TamValueExp> parseConditionPrimary(bool levelTaken);
  std::unique_ptr<TamValueExp> parseComparison();

  // Clears what an earlier entry point left and makes sure there is an arena to build in.
  void beginParse();
  tam::detail::RuleArena& arena() { return *arena_; }

  // Raises the syntax error of code at the current token (SE_unexpected names the token);
  // related is the offset of the construct left open, if any.
  [[noreturn]] void fail(const char* code, size_t related = TamLexer::kNoPlace);
  // Requires the current token to be of kind (else fails with code) and moves past it.
  void expect(TokenKind kind, const char* code, size_t related = TamLexer::kNoPlace);
  // Requires an identifier (else fails with code), moves past it and returns its value.
  std::string expectIdentifier(const char* code);
  // The text from begin to end: what a reference's names may be read from, since the text
  // outlives the tree (TamOptionExp).
  std::string_view writtenBetween(size_t begin, size_t end) const;

  std::shared_ptr<const std::string> text_;  // shared with the roots made from it
  std::string_view source_;                  // the part of *text_ read
  TamLexer lexer_;                           // reads source_
  // Where the nodes are placed; handed to the root an entry point returns.
  std::unique_ptr<tam::detail::RuleArena> arena_;
  std::vector<TamOptionExp*> optionRefs_;
  // The values of the integer literals, one object for each number written in this text (up
  // to ConstraintCache::kMaxEntries numbers; further ones get their own): values never change,
  // and rules repeat small numbers by the thousand.
  tam::detail::ConstraintCache literals_;
  const TamTranslater* translater_ = nullptr;
  int depth_ = 0;
};

#endif  // TAM_SRC_RIX_TAMRULEPARSER_H
