// The option declarations of one module file, read by the library's declaration outline and
// found by option name: each with its file line and what the line says, part by part. A name
// declared twice is found at its later line, the declaration the library keeps. Lines that do
// not read as a declaration are left out (`tam check` reports them).
#ifndef TAM_TOOL_MODULEDECLARATIONS_H
#define TAM_TOOL_MODULEDECLARATIONS_H

#include <tam/libtam.h>

#include <map>
#include <string>

#include "ModuleFile.h"

struct ModuleDeclaration {
  int line = 0;  // the file line
  TamDeclarationOutline outline;
};

class ModuleDeclarations {
 public:
  explicit ModuleDeclarations(const ModuleFile& file);

  // Null when the file declares no option of this name.
  const ModuleDeclaration* find(const std::string& name) const;

  // The text of the constraints after "=" as written (from the first to the last), or empty.
  static std::string constraintsText(const ModuleDeclaration& declaration);

 private:
  std::map<std::string, ModuleDeclaration> byName_;
};

#endif  // TAM_TOOL_MODULEDECLARATIONS_H
