// The questions the tam command asks of the library's outlines of RIX (TamRixOutline,
// TamDeclarationOutline) to place what it reports: the option references a rule text names, the
// statement an exception's line stands for, the mutually
// exclusive rule behind a conflict, and the message statement behind an emitted message. The
// library reads the RIX; these only look things up in what it read.
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

// The statement (set, fix, message or if) that stamps this line into an exception it raises. When
// several do, the one that ends first, which is the one whose following token opens the line.
// False when none does.
bool statementForLine(const TamRixOutline& outline, int exceptionLine, TamSourcePos& place);

// The first mutually exclusive rule naming both options: the value form ({option.value, ...})
// when valueForm is set, else the option list form. Returns where its keyword stands.
bool exclusiveRuleNaming(const TamRixOutline& outline, bool valueForm, const std::string& first,
                         const std::string& second, TamSourcePos& place);

// The line (of the outline's text) of the message statement that most likely emitted `message`
// with this severity: the one whose text begins with the longest string literal that begins the
// message. 0 when no statement or more than one fits.
int messageLine(const TamRixOutline& outline, Tam::MsgSeverity severity,
                const std::string& message);

#endif  // TAM_TOOL_OUTLINEQUERIES_H
