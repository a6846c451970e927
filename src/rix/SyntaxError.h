// Raising a parser's syntax error: the symbolic SE_ code is localised through the installed
// adapter and thrown as a TamSyntaxError with the lexer's context and line at the current token.
#ifndef TAM_SRC_RIX_SYNTAXERROR_H
#define TAM_SRC_RIX_SYNTAXERROR_H

#include <string>

#include "rix/TamLexer.h"
#include "tam/TamPath.h"

namespace tam {
namespace detail {

// Throws TamSyntaxError(localizeString(code) + suffix, context, line).
[[noreturn]] void raiseSyntaxError(const TamLexer& lexer, const std::string& code,
                                   const std::string& suffix = std::string());

// Reads dots and identifiers into a path. Embedded mode stops at the first other token; whole-text
// mode raises SE_path_internal unless that token is the end of the text.
TamPath readPathIds(TamLexer& lexer, bool embedded);
// Reads "[a.b]" at the current token: the empty path when no "[" stands there; raises SE_path
// when the "]" is missing.
TamPath readBracketedPath(TamLexer& lexer);

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_RIX_SYNTAXERROR_H
