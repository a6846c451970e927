// TamDeclarationParser reads one option declaration line and, as it goes, creates the option
// through its module and attaches constraints, default, description and flags. Syntax is checked
// before the option is created; what fails after creation leaves the option in place. In
// translation mode (no module) it creates nothing and rewrites the option reference of a presents,
// implements or uses declaration through the lexer's recording. The module is borrowed.
#ifndef TAM_SRC_RIX_TAMDECLARATIONPARSER_H
#define TAM_SRC_RIX_TAMDECLARATIONPARSER_H

#include <string>

#include "rix/TamLexer.h"
#include "tam/TamOption.h"
#include "tam/ref_count.h"

class TamModule;
class TamTranslater;

class TamDeclarationParser {
 public:
  // module may be null only for translation.
  TamDeclarationParser(const std::string& text, TamModule* module);
  TamDeclarationParser(const TamDeclarationParser&) = delete;
  TamDeclarationParser& operator=(const TamDeclarationParser&) = delete;

  // Parses the declaration and creates the option; option() holds it afterwards.
  void parse();
  ref_count_ptr<TamOption> option() const { return option_; }
  // Returns the declaration with its option reference rewritten.
  std::string translate(const TamTranslater* translater);

 private:
  TamModule* module_;
  ref_count_ptr<TamOption> option_;
  TamLexer lexer_;
  const TamTranslater* translater_ = nullptr;
};

#endif  // TAM_SRC_RIX_TAMDECLARATIONPARSER_H
