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

// The text of a reference to optionName of moduleId: the module id as Tam::rixQuoteModuleId
// writes it (an empty one as two quotes) and the name as Tam::rixQuoteOptionName does, so that a
// name spelled like a keyword ("set", "if", ...) or an empty name is quoted rather than read back
// as that keyword or not at all.
std::string rixReferenceText(const std::string& moduleId, const std::string& optionName);

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_RIX_REFERENCEREWRITE_H
