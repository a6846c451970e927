// ModuleChecker checks one module file the way the library reads it, but piece by piece, so that
// every problem can be placed: the module line and the interface layout, each declaration line
// (given to addOptionString, which also resolves the options it presents, implements or uses),
// the rules (given to setRix) and every option reference in the rules (resolved through the
// window). Modules the file refers to are loaded through the adapter into a window of the
// checker's own, so nothing the checker does is seen by other windows.
#ifndef TAM_TOOL_MODULECHECKER_H
#define TAM_TOOL_MODULECHECKER_H

#include <string>
#include <vector>

#include "Diagnostics.h"
#include "ModuleFile.h"

class FileAdapter;

class ModuleChecker {
 public:
  // The adapter supplies the other modules and must be the installed one.
  explicit ModuleChecker(FileAdapter& adapter) : adapter_(adapter) {}
  // Mentions, at every unknown option, that legacy options come from the product file.
  void setLegacyHint(bool hint) { legacyHint_ = hint; }

  // Every problem of the file, in line order: errors, and warnings for declarations that repeat
  // an option name.
  std::vector<Diagnostic> check(const ModuleFile& file);

 private:
  FileAdapter& adapter_;
  bool legacyHint_ = false;
};

#endif  // TAM_TOOL_MODULECHECKER_H
