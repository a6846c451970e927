// ModuleChecker checks one module file the way the library reads it, but piece by piece, so that
// every problem can be placed and one mistake does not hide the rest: the module line and the
// interface layout, each declaration line (given to addOptionString, which also resolves the
// options it presents, implements or uses), the rules (given to setRix) and then the checks of
// RuleChecker over the rules as the library parsed them. Modules the file refers to are loaded
// leniently through the adapter into a window of the checker's own, so nothing the checker does is
// seen by other windows.
//
// One root cause, one error: a declaration that fails is reported once, and the options it would
// have declared are not reported again where rules refer to them; an interface never closed is
// one error, not one per rule line read as a declaration; at most one error per statement.
#ifndef TAM_TOOL_MODULECHECKER_H
#define TAM_TOOL_MODULECHECKER_H

#include <string>
#include <vector>

#include "Diagnostics.h"
#include "ModuleFile.h"
#include "Suggest.h"

class FileAdapter;

class ModuleChecker {
 public:
  // The adapter supplies the other modules and must be the installed one. It is switched to
  // lenient loading while a file is checked.
  explicit ModuleChecker(FileAdapter& adapter) : adapter_(adapter) {}
  // Mentions, at every unknown option, that legacy options come from the product file.
  void setLegacyHint(bool hint) { legacyHint_ = hint; }

  // Every problem of the file, in line order: errors, and warnings (a declaration that repeats an
  // option name, an integer set into a real option).
  std::vector<Diagnostic> check(const ModuleFile& file);

 private:
  FileAdapter& adapter_;
  bool legacyHint_ = false;
  SuggestionBudget budget_;  // for all the files this checker checks
};

#endif  // TAM_TOOL_MODULECHECKER_H
