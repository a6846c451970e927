// TamRuleParser reads RIX rule bodies and conditions by recursive descent over a TamLexer, deciding
// every step from the one current token. One parser is made per text and one entry point is run.
// The roots it returns own their trees; on a syntax error nothing built so far leaks. In
// translation mode the tree is built only to drive the lexer's rewriting and is then dropped.
// Nesting deeper than kMaxNesting (parentheses, if statements, not, prefix minus) is a syntax
// error rather than a stack overflow.
#ifndef TAM_SRC_RIX_TAMRULEPARSER_H
#define TAM_SRC_RIX_TAMRULEPARSER_H

#include <memory>
#include <string>
#include <vector>

#include "rix/TamLexer.h"
#include "tam/TamConditionExp.h"
#include "tam/TamExpRoot.h"
#include "tam/ref_count.h"

class TamExp;
class TamOptionExp;
class TamTranslater;
class TamValueExp;

class TamRuleParser {
 public:
  // Deep input must end in a syntax error, not a stack overflow.
  static constexpr int kMaxNesting = 256;

  explicit TamRuleParser(const std::string& text);
  TamRuleParser(const TamRuleParser&) = delete;
  TamRuleParser& operator=(const TamRuleParser&) = delete;

  ref_count_ptr<TamExpRoot> parseRules();
  // Raises SE_extra_input when tokens follow the condition.
  ref_count_ptr<TamConditionExp> parseCondition();
  std::string translateRules(const TamTranslater* translater);
  std::string translateCondition(const TamTranslater* translater);

 private:
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
  std::unique_ptr<TamValueExp> parseFactor();
  std::unique_ptr<TamValueExp> parsePrimary();
  std::unique_ptr<TamValueExp> parseDisjunction();
  std::unique_ptr<TamValueExp> parseConjunction();
  std::unique_ptr<TamValueExp> parseNegation();
  std::unique_ptr<TamValueExp> parseConditionPrimary();
  std::unique_ptr<TamValueExp> parseComparison();

  void expect(TokenKind kind, const char* code);
  std::string expectIdentifier(const char* code);

  std::string text_;
  TamLexer lexer_;
  std::vector<TamOptionExp*> optionRefs_;
  const TamTranslater* translater_ = nullptr;
  int depth_ = 0;
};

#endif  // TAM_SRC_RIX_TAMRULEPARSER_H
