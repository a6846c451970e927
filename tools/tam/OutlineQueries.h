// The questions the tam command asks of the library's outlines of RIX (TamRixOutline,
// TamDeclarationOutline) to place what it reports: the option references a rule text names and
// the best place to show a syntax error. (Statements that run are placed by the library itself,
// through the window's observer.) The library reads the RIX; these only look things up in what it
// read.
#ifndef TAM_TOOL_OUTLINEQUERIES_H
#define TAM_TOOL_OUTLINEQUERIES_H

#include <tam/libtam.h>

#include <cstddef>
#include <string>
#include <vector>

// The outline of a module's rules as the library parsed them for the window, or, when the window
// (which may be null) does not hold the module, as the library reads `rules`.
TamRixOutline rulesOutline(const TamWindow* window, const std::string& moduleId,
                           const std::string& rules);

// The option references of an outline that name a module, in text order (the names in mutually
// exclusive rules name none).
std::vector<const TamRixOutline::Node*> moduleReferences(const TamRixOutline& outline);

// Where a syntax error is shown: at the offending token, or, when that is the end of the text,
// just after the last token read rather than on the blank lines and comments after it (at the
// end when no token was read); a quote never closed is shown at the quote.
TamSourcePos failurePlace(const TamParseFailure& failure, std::size_t textSize);

#endif  // TAM_TOOL_OUTLINEQUERIES_H
