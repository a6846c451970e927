// A binding pass is one outermost TamSelOptionSet::setContext call together with every rebinding
// it causes. Inheriting a used option reads each providing ancestor's set through getSos(), which
// rebinds that ancestor and walks its own ancestors in turn; without a pass, a chain of nodes that
// all use one option would rebind the top of the chain once per path through it, doubling the
// work with each level. Within one pass nothing but rebinding changes any set, and rebinding a
// set that is already bound to its node changes nothing, so each node is rebound at most once
// per pass. Outside a pass (a host calling getSos()) every call rebinds, as it always did.
// Passes are per thread; their numbers are unique in the process, so a window handed from one
// thread to another never finds a node marked bound in a pass of the other thread.
#ifndef TAM_SRC_EVALUATION_BINDINGPASS_H
#define TAM_SRC_EVALUATION_BINDINGPASS_H

#include <cstdint>

namespace tam {
namespace detail {

class BindingPass {
 public:
  // Opens a pass, or joins the one already open.
  BindingPass();
  ~BindingPass();
  BindingPass(const BindingPass&) = delete;
  BindingPass& operator=(const BindingPass&) = delete;

  // The number of the open pass; never 0, which marks a node never bound in a pass.
  static uint64_t current();

 private:
  static thread_local int depth_;
  static thread_local uint64_t number_;
};

// A walk is one evaluation of a tree as the library descends it. While it lasts, a node's set,
// once bound for the used options of the nodes below it, stays bound until the node's own set
// changes: the walk changes a node's set before it descends below the node, so nothing above a
// node changes after the node is bound. A new walk begins with each outermost evaluation, with
// every evaluation a host starts from inside one (a callback evaluating a node again), and with
// every set a host gives a node; each begun walk ends the reuse of bindings made before it.
// Numbers are unique in the process, like binding passes.
uint64_t currentWalk();
void beginWalk();
// Whether the library is walking a tree (evaluating a node) on this thread (TamNode.cpp).
bool insideWalk();

// Lets go the entries a walk kept for reuse (TamSelOptionSet.cpp); called when the outermost
// evaluation on the thread ends, however it ends.
void releaseSpareEntries();

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_EVALUATION_BINDINGPASS_H
