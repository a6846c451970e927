// The host's node tree is reached only through the host's own operations (parent(), children()),
// which may loop or nest beyond what a walk can afford. Every walk of the library over the tree
// counts its levels against TamNode::kMaxTreeDepth and stops with a clear TamException instead
// of looping for ever or running out of stack.
#ifndef TAM_SRC_EVALUATION_TREELIMIT_H
#define TAM_SRC_EVALUATION_TREELIMIT_H

class TamNode;

namespace tam {
namespace detail {

// Raises TamNode::kTreeTooDeepCode naming the node reached at the limit.
[[noreturn]] void raiseTreeTooDeep(TamNode* at);

// The parent of `node`, counting one more step of a walk upwards in `steps`; raises the
// too-deep error when the walk passes the limit (a parent chain that loops).
TamNode* parentOf(TamNode* node, int& steps);

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_EVALUATION_TREELIMIT_H
