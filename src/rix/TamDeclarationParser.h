// TamDeclarationParser reads one option declaration line and, as it goes, creates the option
// through its module and attaches constraints, default, description and flags. Syntax is checked
// before the option is created; what fails after creation leaves the option in place. In
// translation mode (no module) it creates nothing and rewrites the option reference of a presents,
// implements or uses declaration through the lexer's recording. In outline mode (no module
// either) it creates nothing and notes every part it reads, with its place, in a
// TamDeclarationOutline; there the "=" list of implements and uses, which needs the base option
// to be read for real, is read by what is written, unless a window is given to look base options
// up in. The text, the module, the outline and the window are borrowed: the text is read in
// place and must outlive the parser.
#ifndef TAM_SRC_RIX_TAMDECLARATIONPARSER_H
#define TAM_SRC_RIX_TAMDECLARATIONPARSER_H

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rix/TamLexer.h"
#include "tam/TamDeclarationOutline.h"
#include "tam/TamOption.h"
#include "tam/ref_count.h"

class TamModule;
class TamTranslater;
class TamWindow;
namespace tam {
namespace detail {
class ConstraintCache;
}  // namespace detail
}  // namespace tam

class TamDeclarationParser {
 public:
  // module may be null only for translation; parse() without a module only checks the syntax.
  TamDeclarationParser(std::string_view text, TamModule* module);
  // A temporary text would be gone before the parser reads it.
  TamDeclarationParser(std::string&& text, TamModule* module) = delete;
  // Outline mode: parse() fills the outline, and a syntax error is also noted in the failure
  // record. With a window, base options are looked up in it as the module would look them up.
  TamDeclarationParser(std::string_view text, TamDeclarationOutline& outline,
                       TamLexer::Failure& failureRecord, TamWindow* window);
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
  void parseValuesAsWritten(Constraints& out);
  void parseString();
  void parseNumeric(bool real);
  void parseLogical();
  Reference parseOptionReference();
  void rewriteReference(const Reference& reference);
  void parseBaseValues(TamValue::ValueType type, Constraints& out);
  ref_count_ptr<TamValue> parseDefaultClause();
  // How a number is read: as an integer, as a real (integers widened), or as its spelling says.
  enum class Number { kInteger, kReal, kAsWritten };
  // An integer comes from `integers` when given (options of one module text share them).
  ref_count_ptr<TamValue> parseSignedNumber(Number number,
                                            tam::detail::ConstraintCache* integers = nullptr);
  void parseConstraintList(Number number, Constraints& out);
  ref_count_ptr<TamOptionValue> parseConstraint(Number number, size_t begin);
  void parseStringList(Constraints& out);
  void skipToEnd();

  // True when the parse creates the option (a target module and no translation under way).
  bool building() const { return module_ != nullptr && translater_ == nullptr; }
  // Where the module text being read shares ranges and defaults among its options; null when
  // nothing is shared (no module text is being read, or the parse only outlines).
  tam::detail::ConstraintCache* sharing() const;
  // True when base options are looked up: to build, or for an outline given a window.
  bool resolvesBases() const { return building() || window_ != nullptr; }
  ref_count_ptr<TamWindow> lookupWindow() const;
  void attach(const Constraints& constraints, const ref_count_ptr<TamValue>& defaultValue);
  // The constraint that lets every value of its kind through, made by `make`: one for all the
  // options of the module text being read (kept under `kind` in sharing()), else a new one.
  ref_count_ptr<TamOptionValue> unrestricted(char kind, TamOptionValue* (*make)());
  [[noreturn]] void raise(const char* code);

  // Outline mode only: the current token as a part of the line, and the notes of what was read.
  TamDeclarationOutline::Part here(const std::string& value) const;
  void noteConstraint(const ref_count_ptr<TamOptionValue>& constraint, size_t begin);
  void noteDefault(const ref_count_ptr<TamValue>& value, size_t keyword, size_t begin, size_t end);

  TamModule* module_;
  ref_count_ptr<TamOption> option_;
  TamLexer lexer_;
  const TamTranslater* translater_ = nullptr;
  TamDeclarationOutline* outline_ = nullptr;
  TamWindow* window_ = nullptr;
  std::string name_;
  TamOption::Scope scope_ = TamOption::SCOPE_PUBLIC;
};

#endif  // TAM_SRC_RIX_TAMDECLARATIONPARSER_H
