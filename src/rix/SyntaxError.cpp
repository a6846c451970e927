#include "rix/SyntaxError.h"

#include "foundation/SyntaxErrorTable.h"
#include "tam/Tam.h"
#include "tam/TamException.h"

namespace tam {
namespace detail {

namespace {

// The host's localisation when an adapter is installed; otherwise the built-in English text, so
// that parsing outside any window (a path, say) still reports a readable message.
std::string localize(const std::string& code) {
  if (Tam::AdapterInterface* adapter = Tam::adapterInterface()) {
    return adapter->localizeString(code);
  }
  const auto& messages = syntaxErrorMessages();
  const auto it = messages.find(code);
  return it == messages.end() ? code : it->second;
}

}  // namespace

void raiseSyntaxError(const TamLexer& lexer, const std::string& code, const std::string& suffix) {
  const TamLexer::ErrorContext where = lexer.errorContext();
  throw TamSyntaxError(localize(code) + suffix, where.context, where.line);
}

// Dots only separate identifiers: leading, trailing and repeated dots are skipped.
TamPath readPathIds(TamLexer& lexer, bool embedded) {
  TamPath path;
  for (;;) {
    switch (lexer.kind()) {
      case TOKEN_DOT:
        lexer.next();
        break;
      case TOKEN_IDENT:
        path.append(lexer.identifierValue());
        lexer.next();
        break;
      case TOKEN_END:
        return path;
      default:
        if (embedded) return path;
        raiseSyntaxError(lexer, "SE_path_internal");
    }
  }
}

TamPath readBracketedPath(TamLexer& lexer) {
  if (lexer.kind() != TOKEN_LBRACKET) return TamPath();
  lexer.next();
  TamPath path = readPathIds(lexer, true);
  if (lexer.kind() != TOKEN_RBRACKET) raiseSyntaxError(lexer, "SE_path");
  lexer.next();
  return path;
}

}  // namespace detail
}  // namespace tam
