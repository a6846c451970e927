// Static validation of a node tree: which options are visible where, collected at module
// boundaries, and the four findings about options used or presented where they are not.
#include "tam/TamValidator.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "evaluation/TreeLimit.h"
#include "model/LookupEpoch.h"
#include "tam/TamConditionExp.h"
#include "tam/TamExpRoot.h"
#include "tam/TamModule.h"
#include "tam/TamNode.h"
#include "tam/TamOption.h"
#include "tam/TamPath.h"
#include "tam/TamWindow.h"

namespace {

// The options a condition or rule body refers to, each once, ordered as handles order (by id).
using OptionList = std::vector<ref_count_ptr<TamOption>>;

void referencedOnce(const TamRixExp& exp, const ref_count_ptr<TamWindow>& window,
                    OptionList& out) {
  out.clear();
  exp.referencedOptions(window, out);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

// What a node can see: the options visible there and the module-boundary nodes found below it,
// each as its module's identifier and its path. Options are told apart by id, as handles compare;
// the ids are gathered first and sealed once, since a scope at the top of a large tree sees every
// public option below it. Ids are handed out in creation order, so those of a scope mostly lie
// close together: sealed, they become a bit per id from the lowest to the highest, unless that
// would take more room than the list, which is then sorted instead.
struct Scope {
  // A bit per id in the span takes no more room than a list of the ids when the span is at
  // most this many times as long as the list.
  static constexpr std::uint64_t kBitsPerListedId = 32;

  std::vector<int> visible;  // sorted once sealed, unless the bits hold the ids
  std::vector<bool> bits;    // bit k: id lowest + k is visible
  std::int64_t lowest = 0;
  bool inBits = false;
  std::multimap<std::string, TamPath> boundaries;

  void addVisible(const ref_count_ptr<TamOption>& option) { visible.push_back(option->id()); }

  void seal() {
    if (visible.empty()) return;
    const auto range = std::minmax_element(visible.begin(), visible.end());
    const std::int64_t low = *range.first;
    const auto span = static_cast<std::uint64_t>(std::int64_t{*range.second} - low + 1);
    if (span > kBitsPerListedId * visible.size()) {
      std::sort(visible.begin(), visible.end());
      visible.erase(std::unique(visible.begin(), visible.end()), visible.end());
      return;
    }
    bits.assign(static_cast<std::size_t>(span), false);
    for (int id : visible) bits[static_cast<std::size_t>(id - low)] = true;
    lowest = low;
    inBits = true;
    visible = std::vector<int>();
  }

  bool isVisible(const ref_count_ptr<TamOption>& option) const {
    if (!option) return false;
    if (!inBits) return std::binary_search(visible.begin(), visible.end(), option->id());
    const std::int64_t at = option->id() - lowest;
    return at >= 0 && static_cast<std::uint64_t>(at) < bits.size() &&
           bits[static_cast<std::size_t>(at)];
  }

  bool hasBoundary(const std::string& moduleId, const TamPath& path) const {
    auto range = boundaries.equal_range(moduleId);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second == path) return true;
    }
    return false;
  }

  void addBoundary(const std::string& moduleId, const TamPath& path) {
    if (!hasBoundary(moduleId, path)) boundaries.emplace(moduleId, path);
  }
};

// The path of a module-boundary node: its identifier and those of its ancestors up to, not
// including, the nearest ancestor that is itself a boundary (or through the root). Collected
// upwards and then reversed, so it reads outermost first, the order in which a presented option
// writes the path it points at.
TamPath boundaryPath(TamNode* node) {
  TamPath path;
  TamNode* current = node;
  int steps = 0;
  for (;;) {
    const std::string id = current->pathId();
    if (!id.empty()) path.append(id);
    TamNode* parent = tam::detail::parentOf(current, steps);
    if (parent == nullptr || parent->isModuleBoundary()) break;
    current = parent;
  }
  path.reverse();
  return path;
}

// A walk down the host's tree without recursion: one level per node under way, each with the
// host's iterator over its children. The iterator is advanced only when the walk comes back to
// it, so the host sees its operations in the order a recursive walk would call them. A walk
// deeper than the tree limit (a tree whose children lead back up) is refused.
class TreeWalk {
 public:
  // Visits the children of `node` and, below them, the children of every node for which
  // `descend` returns true; `descend` does the node's own work first.
  template <class Descend>
  static void below(TamNode* node, Descend descend) {
    std::vector<std::unique_ptr<TamNodeIterator>> levels;
    std::vector<bool> advance;
    push(levels, advance, node);
    while (!levels.empty()) {
      TamNodeIterator* level = levels.back().get();
      if (level != nullptr && advance.back()) level->next();
      if (level == nullptr || !level->more()) {
        levels.pop_back();
        advance.pop_back();
        continue;
      }
      advance.back() = true;
      TamNode* child = level->current();
      if (child == nullptr || !descend(child)) continue;
      if (levels.size() >= static_cast<size_t>(TamNode::kMaxTreeDepth)) {
        tam::detail::raiseTreeTooDeep(child);
      }
      push(levels, advance, child);
    }
  }

  // Opens a level for the children of `node`. The host's iterator is owned before the stack
  // grows, so a stack that cannot grow frees it.
  static void push(std::vector<std::unique_ptr<TamNodeIterator>>& levels,
                   std::vector<bool>& advance, TamNode* node) {
    std::unique_ptr<TamNodeIterator> children(node->children());
    levels.push_back(std::move(children));
    advance.push_back(false);
  }
};

// A boundary below contributes its position and its module's public options; the walk stops
// there. Nodes in between are walked through.
void collectChildBoundaries(TamNode* node, Scope& scope) {
  TreeWalk::below(node, [&scope](TamNode* child) {
    if (!child->isModuleBoundary()) return true;
    const ref_count_ptr<TamModule> module = child->module();
    scope.addBoundary(child->moduleId(), boundaryPath(child));
    const std::shared_ptr<const TamModule::OptionList> options = module->optionList();
    for (const ref_count_ptr<TamOption>& option : *options) {
      if (option->scope() == TamOption::SCOPE_PUBLIC) scope.addVisible(option);
    }
    return false;
  });
}

// The scope at a node: all options of its own module and what the boundaries below give.
Scope collectScope(TamNode* node) {
  Scope scope;
  if (node->hasModule()) {
    const std::shared_ptr<const TamModule::OptionList> options = node->module()->optionList();
    for (const ref_count_ptr<TamOption>& option : *options) scope.addVisible(option);
  }
  collectChildBoundaries(node, scope);
  scope.seal();
  return scope;
}

// The scope a node inherits in a walk from the root: the one collected at its nearest ancestor
// that is a module boundary, or at the root when there is none.
Scope inheritedScope(TamNode* node) {
  int steps = 0;
  TamNode* ancestor = tam::detail::parentOf(node, steps);
  while (!ancestor->isModuleBoundary() && ancestor->parent() != nullptr) {
    ancestor = tam::detail::parentOf(ancestor, steps);
  }
  return collectScope(ancestor);
}

class Walker {
 public:
  explicit Walker(std::vector<ValidationError>& errors) : errors_(errors) {}

  // Checks the node and, when recurse is set, every node below it; each node sees the scope of
  // its nearest boundary at or above it.
  void validate(TamNode* node, const Scope& inherited, bool recurse) {
    std::vector<std::unique_ptr<Scope>> fresh;  // the scopes of the boundaries under way
    std::vector<const Scope*> scopes{&check(node, inherited, fresh)};
    if (!recurse) return;
    // Each level of the walk pushes the scope its children see; leaving it pops that scope.
    std::vector<std::unique_ptr<TamNodeIterator>> levels;
    std::vector<bool> advance;
    TreeWalk::push(levels, advance, node);
    std::vector<bool> ownScope(1, false);
    while (!levels.empty()) {
      TamNodeIterator* level = levels.back().get();
      if (level != nullptr && advance.back()) level->next();
      if (level == nullptr || !level->more()) {
        if (ownScope.back()) fresh.pop_back();
        levels.pop_back();
        advance.pop_back();
        ownScope.pop_back();
        scopes.pop_back();
        continue;
      }
      advance.back() = true;
      TamNode* child = level->current();
      if (child == nullptr) continue;
      if (levels.size() >= static_cast<size_t>(TamNode::kMaxTreeDepth)) {
        tam::detail::raiseTreeTooDeep(child);
      }
      const size_t before = fresh.size();
      scopes.push_back(&check(child, *scopes.back(), fresh));
      ownScope.push_back(fresh.size() != before);
      TreeWalk::push(levels, advance, child);
    }
  }

 private:
  // One node's findings: its load-if against the scope it inherits, then its presented options
  // and rules against its own scope, which it returns (a new one, kept in `fresh`, at a boundary).
  const Scope& check(TamNode* node, const Scope& inherited,
                     std::vector<std::unique_ptr<Scope>>& fresh) {
    if (node->parent() != nullptr) {
      referencedOnce(*node->getLoadIf(), node->window(), loadIfUses_);
      report(loadIfUses_, inherited, ValidationError::VE_LOADIF_OPTION_NOT_IN_SCOPE, node);
    }
    const Scope* scope = &inherited;
    if (node->isModuleBoundary()) {
      fresh.push_back(std::make_unique<Scope>(collectScope(node)));
      scope = fresh.back().get();
    }
    if (node->hasModule()) {
      const ref_count_ptr<TamModule> module = node->module();
      checkPresented(node, module, *scope);
      // Nodes of one module often follow each other: their rules refer to the same options.
      const ref_count_ptr<TamExpRoot> rules = module->getRix();
      const ref_count_ptr<TamWindow> window = node->window();
      if (rules.get() != rulesUsed_.get() || window.get() != usedIn_ ||
          tam::detail::foundEpoch() != usedAt_) {
        referencedOnce(*rules, window, ruleUses_);
        rulesUsed_ = rules;
        usedIn_ = window.get();
        usedAt_ = tam::detail::foundEpoch();
      }
      report(ruleUses_, *scope, ValidationError::VE_RULE_OPTION_NOT_IN_SCOPE, node);
    }
    return *scope;
  }

  // A presented option must rest on a visible base and, when it names a path, point at a
  // boundary node of the base's module at that path.
  void checkPresented(TamNode* node, const ref_count_ptr<TamModule>& module, const Scope& scope) {
    const std::shared_ptr<const TamModule::OptionList> options = module->optionList();
    for (const ref_count_ptr<TamOption>& option : *options) {
      if (option->type() != TamOption::TYPE_PRESENTS) continue;
      const ref_count_ptr<TamOption> base = option->basedOn();
      if (!scope.isVisible(base)) {
        errors_.emplace_back(ValidationError::VE_PRESENTED_BASE_NOT_IN_SCOPE, node, option);
      } else if (!option->path().isEmpty() &&
                 !scope.hasBoundary(base->moduleId(), option->path())) {
        errors_.emplace_back(ValidationError::VE_PRESENTED_PATH_NOT_FOUND, node, option);
      }
    }
  }

  void report(const OptionList& used, const Scope& scope, ValidationError::ErrorCode code,
              TamNode* node) {
    for (const ref_count_ptr<TamOption>& option : used) {
      if (!scope.isVisible(option)) errors_.emplace_back(code, node, option);
    }
  }

  std::vector<ValidationError>& errors_;
  OptionList loadIfUses_;  // of the node being checked
  // The options the rules last listed refer to, as resolved in that window and lookup epoch; the
  // rules are held so that no other rules can take their address meanwhile.
  ref_count_ptr<TamExpRoot> rulesUsed_;
  const TamWindow* usedIn_ = nullptr;
  std::uint64_t usedAt_ = 0;
  OptionList ruleUses_;
};

}  // namespace

// A start node that is not a boundary sees the scope collected at itself. A start node that is a
// boundary collects its own scope for its module, and its load-if, if it has a parent, is judged
// by the scope it would inherit in a walk from the root rather than by an empty one.
void TamValidator::validateNode(TamNode* node, bool recurse) {
  if (node == nullptr) return;
  const ref_count_ptr<TamWindow> keep = node->window();  // the host may drop its own meanwhile
  Walker walker(errors_);
  if (!node->isModuleBoundary()) {
    walker.validate(node, collectScope(node), recurse);
  } else if (node->parent() != nullptr) {
    walker.validate(node, inheritedScope(node), recurse);
  } else {
    walker.validate(node, Scope(), recurse);
  }
}
