// A TamParseFailure describes the syntax error that ended a parse, as the outlines report it
// instead of throwing it (see TamRixOutline and TamDeclarationOutline). It says what the thrown
// TamSyntaxError says, plus exactly where: a plain value, independent of the text it came from.
#ifndef TAM_TAMPARSEFAILURE_H
#define TAM_TAMPARSEFAILURE_H

#include <string>

#include "tam/TamSourcePos.h"

struct TamParseFailure {
  // The symbolic code, such as "SE_missing_then"; empty for the errors that have none (an
  // unterminated quote, nesting too deep).
  std::string code;
  // The English message as the default adapter gives it, with the token SE_unexpected names.
  std::string message;
  // The offending token; for a quote never closed, the end of the text where it is missing.
  TamSourcePos position;
  // The construct the error leaves open: the "if" of a missing "endif", the opening quote of an
  // unterminated string or name, the "(" of a missing ")", the "[" of an unclosed path or option
  // list, the "{" of an unclosed value list; for an empty range ("5 to 1") its first bound.
  // Unknown when there is none.
  TamSourcePos related;
  // Just past the last token read before the offending one: where a missing token belongs.
  TamSourcePos afterPrevious;
  // The line the thrown TamSyntaxError carries (counted without the line feeds inside quoted
  // tokens, so it may differ from position.line).
  int exceptionLine = 0;
};

#endif  // TAM_TAMPARSEFAILURE_H
