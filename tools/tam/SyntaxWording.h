// How tam words and places the syntax errors of RIX text. The library reports a syntax error as
// its SE code, its own English message and exact places (TamParseFailure, from the outlines);
// tam says the same in its own words, in lower case, and shows it where a person looks for the
// mistake: at the offending token, or, when something is missing at the end of a line (a "then",
// a "to", an "endif"), just after the last token read rather than on the next line. The construct
// a missing token would close (the "if" of a missing "endif", an open bracket) becomes a note.
#ifndef TAM_TOOL_SYNTAXWORDING_H
#define TAM_TOOL_SYNTAXWORDING_H

#include <tam/libtam.h>

#include <string>

// Which kind of text failed: the wording differs a little (a declaration expects 'mandatory'
// after ':', rules expect a statement).
enum class RixPiece { kDeclaration, kRules, kCondition };

struct SyntaxReport {
  std::string message;
  TamSourcePos place;        // the caret
  std::string note;          // empty when there is no related construct
  TamSourcePos notePlace;    // the construct left open
};

// `text` is the text that failed; a character in it that begins no token (a control character, a
// byte outside ASCII) is named as the mistake.
SyntaxReport describeSyntaxFailure(const TamParseFailure& failure, RixPiece piece,
                                   const std::string& text);

// The caret of a syntax error in a text of textSize bytes (see the header comment).
TamSourcePos failurePlace(const TamParseFailure& failure, std::size_t textSize);

// tam's words for a syntax error message as the library's default adapter words it (for a
// TamSyntaxError met without an outline); unknown texts come back with a lower-case first letter.
std::string syntaxMessageInTamWords(const std::string& libraryMessage);

#endif  // TAM_TOOL_SYNTAXWORDING_H
