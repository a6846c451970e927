#include "evaluation/TreeLimit.h"

#include <string>

#include "tam/TamException.h"
#include "tam/TamNode.h"

namespace tam {
namespace detail {

void raiseTreeTooDeep(TamNode* at) {
  throw TamException(TamNode::kTreeTooDeepCode,
                     "Node tree deeper than " + std::to_string(TamNode::kMaxTreeDepth) +
                         " levels, or looping, at node '" + at->pathId() + "'",
                     std::string(), std::string());
}

TamNode* parentOf(TamNode* node, int& steps) {
  if (++steps > TamNode::kMaxTreeDepth) raiseTreeTooDeep(node);
  return node->parent();
}

}  // namespace detail
}  // namespace tam
