// TamDeclarationParser reads one option declaration line and, as it goes, creates the option
// through its module and attaches constraints, default, description and flags. Syntax is checked
// before the option is created; what fails after creation leaves the option in place. In
// translation mode (no module) it creates nothing and rewrites the option reference of a presents,
// implements or uses declaration through the lexer's recording. The module is borrowed.
#ifndef TAM_SRC_RIX_TAMDECLARATIONPARSER_H
#define TAM_SRC_RIX_TAMDECLARATIONPARSER_H

#include <string>
#include <utility>
#include <vector>

#include "rix/TamLexer.h"
#include "tam/TamOption.h"
#include "tam/ref_count.h"

class TamModule;
class TamTranslater;

class TamDeclarationParser {
 public:
  // module may be null only for translation; parse() without a module only checks the syntax.
  TamDeclarationParser(const std::string& text, TamModule* module);
  TamDeclarationParser(const TamDeclarationParser&) = delete;
  TamDeclarationParser& operator=(const TamDeclarationParser&) = delete;

  // Parses the declaration and creates the option; option() holds it afterwards.
  void parse();
  ref_count_ptr<TamOption> option() const { return option_; }
  // Returns the declaration with its option reference rewritten.
  std::string translate(const TamTranslater* translater);

 private:
  using Constraints = std::vector<ref_count_ptr<TamOptionValue>>;
  // (module id, option name) of a reference as written.
  using Reference = std::pair<std::string, std::string>;

  // One function per grammar rule; each raises its SE_ code at the token it stands on.
  TamOption::Scope parseVisibility();
  std::string parseOptionName();
  std::string parseDescription();
  bool parseMandatory();
  bool parseExclusivity();
  void parseTypePart(TokenKind typeWord);
  void parsePresents();
  void parseImplementsOrUses(bool uses);
  void parseString();
  void parseNumeric(bool real);
  void parseLogical();
  Reference parseOptionReference();
  void rewriteReference(const Reference& reference);
  void parseBaseValues(TamValue::ValueType type, Constraints& out);
  ref_count_ptr<TamValue> parseDefaultClause();
  ref_count_ptr<TamValue> parseSignedNumber(bool real);
  void parseConstraintList(bool real, Constraints& out);
  ref_count_ptr<TamOptionValue> parseConstraint(bool real);
  void parseStringList(Constraints& out);
  void skipToEnd();

  // True when the parse creates the option (a target module and no translation under way).
  bool building() const { return module_ != nullptr && translater_ == nullptr; }
  void attach(const Constraints& constraints, const ref_count_ptr<TamValue>& defaultValue);
  [[noreturn]] void raise(const char* code);

  TamModule* module_;
  ref_count_ptr<TamOption> option_;
  TamLexer lexer_;
  const TamTranslater* translater_ = nullptr;
  std::string name_;
  TamOption::Scope scope_ = TamOption::SCOPE_PUBLIC;
};

#endif  // TAM_SRC_RIX_TAMDECLARATIONPARSER_H
