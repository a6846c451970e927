#include "Provenance.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

namespace {

using Step = EvaluationRecord::ValueStep;
using Entry = TamSelOptionSet::TamSosEntry;
// The entries a node's set holds for the options followed, by option id and path, each with the
// steps that made it.
using Key = std::pair<int, std::string>;
using Live = std::map<Key, std::vector<const Step*>>;

Key keyOf(const Entry& entry) { return {entry.option->id(), entry.path.toDisplayString()}; }

// The nodes from the root down to `node`.
std::vector<TamNode*> chainTo(const TamNode* node) {
  std::vector<TamNode*> chain;
  for (TamNode* at = const_cast<TamNode*>(node); at != nullptr; at = at->parent()) {
    chain.push_back(at);
  }
  std::reverse(chain.begin(), chain.end());
  return chain;
}

bool hasText(const std::vector<ref_count_ptr<TamValue>>& values, const std::string& text) {
  for (const ref_count_ptr<TamValue>& value : values) {
    if (value->displayString() == text) return true;
  }
  return false;
}

// The values a step put into its entry.
std::vector<ref_count_ptr<TamValue>> brought(const Step& step) {
  if (step.kind == Step::kDefault) return step.entry().values;
  const TamObserver::Store& store = step.store;
  switch (store.outcome) {
    case TamObserver::OUTCOME_STORED:
    case TamObserver::OUTCOME_LEGACY:
      return store.entry.values;
    case TamObserver::OUTCOME_REPLACED:
      return {store.entry.values.front()};
    case TamObserver::OUTCOME_ADDED: {
      std::vector<ref_count_ptr<TamValue>> added;
      for (const ref_count_ptr<TamValue>& value : store.entry.values) {
        if (!hasText(store.before.values, value->displayString())) added.push_back(value);
      }
      return added;
    }
    case TamObserver::OUTCOME_UNCHANGED:
    case TamObserver::OUTCOME_REFUSED:
      break;
  }
  return {};
}

// Steps that only carry values stored elsewhere.
bool carries(const Step& step) {
  return step.kind == Step::kRebound ||
         (step.kind == Step::kStore && step.store.cause == TamObserver::CAUSE_PRESENTED);
}

void append(std::vector<const Step*>& to, const std::vector<const Step*>& steps) {
  to.insert(to.end(), steps.begin(), steps.end());
}

}  // namespace

std::vector<const Provenance::Step*> Provenance::history(
    const TamNode* node, const ref_count_ptr<TamOption>& option) const {
  if (option.isNull()) return {};
  // The option itself and the options presenting it, with their handles by id.
  std::map<int, ref_count_ptr<TamOption>> followed;
  auto follows = [&](const ref_count_ptr<TamOption>& candidate) {
    if (candidate->id() == option->id()) return true;
    return candidate->type() == TamOption::TYPE_PRESENTS &&
           candidate->basedOnModuleId() == option->moduleId() &&
           candidate->basedOnName() == option->name();
  };

  Live live;
  // At a node of a module, each followed option of that module keeps the entry that best matches
  // the node's position (a rebound step names it when it is not the node's own); the entries of
  // other modules' options are dropped.
  auto bind = [&](TamNode* at, const EvaluationRecord::NodeOutcome& outcome) {
    if (!at->isModuleBoundary()) return;
    const std::string moduleId = at->moduleId();
    Live kept;
    for (std::size_t index : outcome.steps) {
      const Step& step = record_.steps()[index];
      if (step.kind != Step::kRebound || !follows(step.entry().option)) continue;
      const Key from{step.entry().option->id(), step.path.toDisplayString()};
      std::vector<const Step*> steps = live[from];
      steps.push_back(&step);
      kept[keyOf(step.entry())] = steps;
    }
    for (auto& item : live) {
      auto found = followed.find(item.first.first);
      if (found == followed.end() || found->second->moduleId() != moduleId) continue;
      if (item.first.second.empty()) kept.emplace(item.first, item.second);
    }
    live.swap(kept);
  };

  for (TamNode* at : chainTo(node)) {
    const EvaluationRecord::NodeOutcome* outcome = record_.outcome(at);
    const bool ran = outcome != nullptr && outcome->finished &&
                     outcome->result.stop == TamObserver::STOP_NONE;
    if (!ran) return {};
    bool bound = false;
    for (std::size_t index : outcome->steps) {
      const Step& step = record_.steps()[index];
      if (!bound && !carries(step)) {
        bind(at, *outcome);
        bound = true;
      }
      const ref_count_ptr<TamOption>& stepOption = step.entry().option;
      if (stepOption.isNull() || !follows(stepOption)) continue;
      followed[stepOption->id()] = stepOption;
      const Key key = keyOf(step.entry());
      if (step.kind == Step::kDefault) {
        live[key] = {&step};
      } else if (step.kind == Step::kStore) {
        std::vector<const Step*>& steps = live[key];
        const TamObserver::Store& store = step.store;
        if (store.cause == TamObserver::CAUSE_PRESENTED && store.source) {
          if (store.outcome == TamObserver::OUTCOME_STORED) steps.clear();
          append(steps, live[{store.source->id(), std::string()}]);
        } else if (store.cause == TamObserver::CAUSE_INHERITED && store.provider != nullptr) {
          // The entry was reset to its default first; only the default made here stays.
          steps.erase(std::remove_if(steps.begin(), steps.end(),
                                     [&](const Step* earlier) { return earlier->node != at; }),
                      steps.end());
          append(steps, history(store.provider, store.source));
        } else if (store.outcome == TamObserver::OUTCOME_STORED) {
          steps.clear();
        }
        steps.push_back(&step);
      }
    }
    if (!bound) bind(at, *outcome);
  }
  std::vector<const Step*> steps = live[{option->id(), std::string()}];
  std::sort(steps.begin(), steps.end(),
            [](const Step* a, const Step* b) { return a->sequence < b->sequence; });
  steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
  return steps;
}

std::vector<const Provenance::Step*> Provenance::origins(const std::vector<const Step*>& history,
                                                         const Entry& entry) {
  std::vector<const Step*> found;
  for (const ref_count_ptr<TamValue>& value : entry.values) {
    const std::string text = value->displayString();
    const Step* origin = nullptr;
    for (auto it = history.rbegin(); it != history.rend() && origin == nullptr; ++it) {
      if (!carries(**it) && hasText(brought(**it), text)) origin = *it;
    }
    found.push_back(origin);
  }
  return found;
}

const TamNode* Provenance::stoppedAt(const TamNode* node) const {
  for (TamNode* at : chainTo(node)) {
    const EvaluationRecord::NodeOutcome* outcome = record_.outcome(at);
    if (outcome == nullptr || !outcome->finished) return at;
    if (outcome->result.stop != TamObserver::STOP_NONE) return at;
  }
  return nullptr;
}
