// Rewriting one option reference in translation mode, shared by the declaration parser and the
// rule parser: both read a reference as module id, ":" and option name inside a replacement run
// of the lexer's recording, then end the run here.
#ifndef TAM_SRC_RIX_REFERENCEREWRITE_H
#define TAM_SRC_RIX_REFERENCEREWRITE_H

#include <string>

class TamLexer;
class TamTranslater;

namespace tam {
namespace detail {

// With the token after the reference current: keeps the reference as written when the
// translater maps neither part, else writes the mapped reference in its place.
void finishReferenceRewrite(TamLexer& lexer, const TamTranslater& translater,
                            const std::string& moduleId, const std::string& optionName);

// The text of a reference to optionName of moduleId. Names are quoted as identifiers are for
// RIX; in addition an option name spelled like a keyword ("set", "if", ...) is quoted, since
// bare it would read back as that keyword and a rename would break the text around it, and an
// empty name is written as two quotes, since written as nothing it would not read back at all.
std::string rixReferenceText(const std::string& moduleId, const std::string& optionName);

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_RIX_REFERENCEREWRITE_H
