// TamNode is the base of the host's own node objects: the host derives from it to describe its
// product structure and owns every node (the library never deletes one, except the child iterator
// that children() returns, which the caller deletes). Evaluation decides the node's configured
// state from its load-if condition (or a legacy condition, or a forced state), binds the inherited
// selected option set to the node's module, runs the module's rules and hands the result to the
// children. Each node keeps its own set (sos) and the set its children inherit (childSos).
//
// The library reaches the tree only through the node operations below, and refuses a tree
// deeper than kMaxTreeDepth levels (which is also how a parent() or children() that loops is
// caught): evaluation, the validator and every walk up the parents raise TamException
// kTreeTooDeepCode naming the node reached. Evaluation recurses through evaluate() once per
// level, so each level takes a little of the calling thread's stack: a tree at the limit
// evaluates in 512 KB of stack in an optimised build. A node must outlive any evaluation or
// validation that reaches it; the library holds a handle on the window while it evaluates, so
// the host may drop its own in a callback.
#ifndef TAM_TAMNODE_H
#define TAM_TAMNODE_H

#include <cstdint>
#include <string>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamConditionExp.h"
#include "tam/TamSelOptionSet.h"
#include "tam/ref_count.h"

class TamModule;
class TamNode;
class TamWindow;

// The host's iterator over a node's children; the library only calls it.
class TAM_API TamNodeIterator {
 public:
  virtual bool more() = 0;
  virtual TamNode* current() = 0;
  virtual void next() = 0;
  virtual ~TamNodeIterator();
};

class TAM_API TamNode {
 public:
  enum ConfigState { CS_UNDECIDED = 0, CS_NOT_CONFIGURED = 1, CS_CONFIGURED = 2 };

  // How deep the host's tree may nest, and the code that refuses a deeper (or looping) one.
  static constexpr int kMaxTreeDepth = 1000;
  static constexpr int kTreeTooDeepCode = 2;

  explicit TamNode(ref_count_ptr<TamWindow> window);
  TamNode(const TamNode& other);
  TamNode& operator=(const TamNode& other);
  virtual ~TamNode();

  // Supplied by the host.
  virtual TamNode* parent() = 0;
  virtual TamNodeIterator* children() = 0;  // a new iterator; the caller deletes it
  virtual bool hasModule() = 0;
  virtual std::string moduleId() = 0;
  virtual std::string pathId() = 0;

  // Hooks with default bodies.
  virtual void stateChanged(ConfigState state);
  virtual void evaluate(const TamSelOptionSet& parentSos, bool notify);
  virtual void evaluateLegacyExpressions();
  virtual bool legacyConditionExists();
  virtual ConfigState evaluateLegacyCondition();
  virtual void evaluateLegacyErrorChecks();
  virtual ConfigState forcedConfigState();

  ref_count_ptr<TamWindow> window() const;
  // Raises 309 when the node has no module; may load the module through the host (302).
  ref_count_ptr<TamModule> module();
  bool isModuleBoundary() const;
  ConfigState isNodeConfigured() const { return configState_; }

  // The empty text removes the condition; a syntax error leaves the old one in place.
  void setLoadIf(const std::string& text);
  ref_count_ptr<TamConditionExp> getLoadIf() const;

  // The node's set, first re-bound to this node. Re-binding can rebuild the set's entries, so a
  // loop over contents() must not call getSos() on any node of the tree (this one included)
  // inside the loop: take what it needs from the entries first.
  const TamSelOptionSet& getSos() const;
  void setSos(TamSelOptionSet& sos);
  void clearSos();

  void evaluateChildren(bool notify);
  void evaluateChild(TamNode* child, bool notify);

 private:
  friend class TamSelOptionSet;
  // getSos() for the used options of the nodes below, while the tree is walked: bound once per
  // walk (evaluation/BindingPass.h) instead of once per node below.
  const TamSelOptionSet& sosForDescendants() const;

  // For one base option, the ancestor farthest up at or above this node that provides values for
  // the options that use the base (null: none), as found in one walk and lookup epoch, and how
  // many steps up the parents the root is from here. Each node below asks only up to the first
  // node that knows, so a chain of nodes that all use one option is walked once, not once per
  // node (TamSelOptionSet::inheritUsedOption). Neither pointer owns: the provider is a node of
  // the walk, and the option it provides is held by its module while the epoch stays.
  struct ProviderAbove {
    int baseId;
    uint64_t walk;
    uint64_t epoch;
    int stepsToRoot;
    TamNode* provider;
    TamOption* provided;
  };
  mutable std::vector<ProviderAbove> providersAbove_;

  // getSos() is const but re-binds the set to this node first.
  mutable TamSelOptionSet sos_;
  TamSelOptionSet childSos_;
  ref_count_ptr<TamConditionExp> loadIf_;
  ConfigState configState_ = CS_UNDECIDED;
  bool sosSet_ = false;
  // The binding pass in which sos_ was last rebound to this node (0: none).
  mutable uint64_t boundInPass_ = 0;
  // The walk and lookup epoch in which sosForDescendants() bound sos_ (0: not in this walk).
  mutable uint64_t boundInWalk_ = 0;
  mutable uint64_t boundInEpoch_ = 0;
  // The module module() last found, in which window and found epoch (0: none), so that asking
  // again while no module went or was queued for refresh costs a comparison of ids. Not owning.
  TamModule* moduleFound_ = nullptr;
  const TamWindow* moduleIn_ = nullptr;
  uint64_t moduleAt_ = 0;
};

#endif  // TAM_TAMNODE_H
