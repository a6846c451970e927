#include "ModuleDeclarations.h"

#include <utility>

ModuleDeclarations::ModuleDeclarations(const ModuleFile& file) {
  for (const ModuleLine& line : file.declarations()) {
    TamDeclarationOutline outline = TamDeclarationOutline::read(file.lineText(line));
    if (outline.failed() || !outline.name().isPresent()) continue;
    const std::string name = outline.name().text;
    byName_.erase(name);
    byName_.emplace(name, ModuleDeclaration{line.line, std::move(outline)});
  }
}

const ModuleDeclaration* ModuleDeclarations::find(const std::string& name) const {
  auto found = byName_.find(name);
  return found == byName_.end() ? nullptr : &found->second;
}

std::string ModuleDeclarations::constraintsText(const ModuleDeclaration& declaration) {
  const auto& constraints = declaration.outline.constraints();
  if (constraints.empty()) return "";
  const std::size_t begin = constraints.front().begin.offset;
  const std::size_t end = constraints.back().end.offset;
  return declaration.outline.text().substr(begin, end - begin);
}
