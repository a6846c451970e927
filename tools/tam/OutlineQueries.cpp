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

TamSourcePos failurePlace(const TamParseFailure& failure, std::size_t textSize) {
  // Only a quote never closed fails without a code and with a construct left open.
  if (failure.code.empty() && failure.related.isKnown()) return failure.related;
  const bool tokenRead = failure.afterPrevious.offset > 0;
  if (failure.position.offset == textSize && tokenRead) return failure.afterPrevious;
  return failure.position;
}
