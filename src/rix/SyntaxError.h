// Raising a parser's syntax error: the symbolic SE_ code is localised through the installed
// adapter and thrown as a TamSyntaxError with the lexer's context and line at the current token.
// The lexer records the failure first (code, place, and the place of the construct left open),
// which changes nothing that is thrown.
#ifndef TAM_SRC_RIX_SYNTAXERROR_H
#define TAM_SRC_RIX_SYNTAXERROR_H

#include <string>

#include "rix/TamLexer.h"
#include "tam/TamLineIndex.h"
#include "tam/TamParseFailure.h"
#include "tam/TamPath.h"

namespace tam {
namespace detail {

// Throws TamSyntaxError(localizeString(code) + suffix, context, line). related is the offset of
// the construct the error leaves open (the "if" of a missing "endif", an unclosed bracket), or
// TamLexer::kNoPlace.
[[noreturn]] void raiseSyntaxError(TamLexer& lexer, const std::string& code,
                                   const std::string& suffix = std::string(),
                                   size_t related = TamLexer::kNoPlace);
// The English message of an SE_ code as the default adapter gives it; any other text unchanged.
std::string englishMessage(const std::string& code);
// The failure a lexer recorded, in public form, placed through the index of the lexer's text.
TamParseFailure publicFailure(const TamLexer::Failure& failure, const TamLineIndex& lines);

// Reads dots and identifiers into a path. Embedded mode stops at the first other token; whole-text
// mode raises SE_path_internal unless that token is the end of the text.
TamPath readPathIds(TamLexer& lexer, bool embedded);
// Reads "[a.b]" at the current token: the empty path when no "[" stands there; raises SE_path
// (related to the "[") when the "]" is missing.
TamPath readBracketedPath(TamLexer& lexer);

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_RIX_SYNTAXERROR_H
