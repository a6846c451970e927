#include "rix/SyntaxError.h"

#include "foundation/SyntaxErrorTable.h"
#include "tam/Tam.h"
#include "tam/TamException.h"

namespace tam {
namespace detail {

namespace {

constexpr char kCodePrefix[] = "SE_";

// The host's localisation when an adapter is installed; otherwise the built-in English text, so
// that parsing outside any window (a path, say) still reports a readable message.
std::string localize(const std::string& code) {
  if (Tam::AdapterInterface* adapter = Tam::adapterInterface()) {
    return adapter->localizeString(code);
  }
  return englishMessage(code);
}

}  // namespace

std::string englishMessage(const std::string& code) {
  const auto& messages = syntaxErrorMessages();
  const auto it = messages.find(code);
  return it == messages.end() ? code : it->second;
}

TamParseFailure publicFailure(const TamLexer::Failure& failure, const TamLineIndex& lines) {
  TamParseFailure result;
  // Symbolic codes begin with "SE_" (not all of them have a built-in message); the plain-text
  // messages raised without one do not.
  const bool symbolic = failure.code.rfind(kCodePrefix, 0) == 0;
  result.code = symbolic ? failure.code : std::string();
  result.message = englishMessage(failure.code) + failure.suffix;
  result.position = lines.position(failure.offset);
  if (failure.related != TamLexer::kNoPlace) result.related = lines.position(failure.related);
  result.afterPrevious = lines.position(failure.previousEnd);
  result.exceptionLine = failure.line;
  return result;
}

void raiseSyntaxError(TamLexer& lexer, const std::string& code, const std::string& suffix,
                      size_t related) {
  lexer.recordFailure(code, suffix, related);
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
  const size_t open = lexer.position();
  lexer.next();
  TamPath path = readPathIds(lexer, true);
  if (lexer.kind() != TOKEN_RBRACKET) raiseSyntaxError(lexer, "SE_path", std::string(), open);
  lexer.next();
  return path;
}

}  // namespace detail
}  // namespace tam
