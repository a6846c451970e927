// The questions the tam command asks of the library's outlines of RIX (TamRixOutline,
// TamDeclarationOutline) to place what it reports: the option references a rule text names.
// (Statements that run are placed by the library itself, through the window's observer; syntax
// errors by SyntaxWording.h.) The library reads the RIX; these only look things up in what it
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

#endif  // TAM_TOOL_OUTLINEQUERIES_H
