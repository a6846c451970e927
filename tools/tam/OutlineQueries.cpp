#include "OutlineQueries.h"

using Node = TamRixOutline::Node;

TamRixOutline rulesOutline(const TamWindow* window, const std::string& moduleId,
                           const std::string& rules) {
  if (window != nullptr) {
    const auto loaded = window->moduleMap().find(moduleId);
    if (loaded != window->moduleMap().end()) return loaded->second->getRix()->outline();
  }
  return TamRixOutline::fromRules(rules);
}

std::vector<const Node*> moduleReferences(const TamRixOutline& outline) {
  std::vector<const Node*> references;
  for (const Node& node : outline.nodes()) {
    if (node.kind == TamRixOutline::KIND_OPTION_REFERENCE && node.moduleIdPos.isKnown()) {
      references.push_back(&node);
    }
  }
  return references;
}
