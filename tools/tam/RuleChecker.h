// The checks of one parsed rule text or condition, made on the library's outline of it
// (TamRixOutline) with the options looked up in a window, so that what the library accepts
// without a word and then gets wrong, or fails on only while evaluating, is found beforehand:
//
//  - references to modules and options that do not exist ("did you mean" the closest name);
//  - values whose kind cannot fit: setting, comparing or combining a string with an integer
//    option and so on, with both kinds named;
//  - literal values an option does not allow (in a set or a comparison), with the values it does;
//  - conditions that are not true or false, whose if runs neither branch;
//  - mutually exclusive rules that name options the module does not declare, options that are
//    not strings (never looked at), or values the option does not allow;
//  - the rules after a stray "endif", "else" or "elif", which are never read.
//
// At most one problem is reported per statement (per condition, for a load-if): references come
// first, then the first problem in the text. References to what could not be declared or loaded
// (FileAdapter::isFailedDeclaration, isBrokenModule, and the options the checked file itself
// failed to declare) are left alone: that mistake is reported where it stands.
//
// The outline's nodes are visited in one pass from the last to the first (children follow their
// parent in the outline), so no input can make the checks recurse deeply.
#ifndef TAM_TOOL_RULECHECKER_H
#define TAM_TOOL_RULECHECKER_H

#include <tam/libtam.h>

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Diagnostics.h"
#include "Suggest.h"

class FileAdapter;

struct RuleCheckContext {
  // Where options are looked up; modules are loaded into it through the adapter.
  ref_count_ptr<TamWindow> window;
  FileAdapter* adapter = nullptr;
  // The module whose rules these are (mutually exclusive rules name its options); empty for a
  // load-if condition.
  std::string ownerModule;
  // Options of ownerModule whose declaration failed in the file being checked.
  std::set<std::string> failedOwnOptions;
  // Unknown options mention that legacy options need the product file.
  bool legacyHint = false;
  // Pays for "did you mean"; shared by all the checks of one run.
  SuggestionBudget* budget = nullptr;
  // The place in the file of bytes begin to end of the outline's text.
  std::function<SourcePlace(std::size_t begin, std::size_t end)> place;
};

std::vector<Diagnostic> checkRuleOutline(const TamRixOutline& outline,
                                         const RuleCheckContext& context);

// Notes that point at an option's declaration in its module file: where its allowed values are
// given (the declaration itself, or the one of the option it is based on that gives them), or
// where it is declared. False when no file declares it.
bool noteAllowedValues(FileAdapter& adapter, const ref_count_ptr<TamOption>& option,
                       Diagnostic& diagnostic);
bool noteDeclaration(FileAdapter& adapter, const ref_count_ptr<TamOption>& option,
                     const std::string& message, Diagnostic& diagnostic);

#endif  // TAM_TOOL_RULECHECKER_H
