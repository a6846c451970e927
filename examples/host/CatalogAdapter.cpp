#include "CatalogAdapter.h"

#include <utility>

#include "ProductNode.h"

CatalogAdapter::CatalogAdapter(std::map<std::string, std::string> moduleTexts)
    : moduleTexts_(std::move(moduleTexts)) {}

bool CatalogAdapter::loadModule(TamWindow* window, const std::string& moduleId) {
  auto found = moduleTexts_.find(moduleId);
  if (found == moduleTexts_.end()) return false;
  // setRixData parses the text at once; a syntax error in it reaches the caller of the library
  // function that needed the module, as a TamSyntaxError.
  window->createModule(moduleId)->setRixData(found->second);
  return true;
}

bool CatalogAdapter::refreshModule(TamWindow*, ref_count_ptr<TamModule> module) {
  if (!module) return false;  // deleted meanwhile: nothing to refresh
  auto found = moduleTexts_.find(module->id());
  if (found == moduleTexts_.end()) return false;  // gone from the catalog: the window drops it
  module->setRixData(found->second);
  return true;
}

bool CatalogAdapter::userMsg(TamWindow*, Tam::MsgSeverity severity, const std::string& message,
                             TamNode* node) {
  // The library passes the node whose rules are running; all nodes of this host are ProductNodes.
  const ProductNode* productNode = dynamic_cast<const ProductNode*>(node);
  messages_.push_back({severity, productNode != nullptr ? productNode->path() : "?", message});
  return true;
}
