#include "EvaluationRecord.h"

#include <utility>

void EvaluationRecord::clear() {
  steps_.clear();
  nodes_.clear();
  messages_.clear();
  failed_ = false;
  failure_ = RuleFailure();
}

const EvaluationRecord::NodeOutcome* EvaluationRecord::outcome(const TamNode* node) const {
  auto it = nodes_.find(node);
  return it == nodes_.end() ? nullptr : &it->second;
}

unsigned EvaluationRecord::interests() const {
  return history_ ? TamObserver::INTEREST_ALL : TamObserver::INTEREST_RULES;
}

void EvaluationRecord::addStep(ValueStep step) {
  step.sequence = steps_.size();
  nodes_[step.node].steps.push_back(step.sequence);
  steps_.push_back(std::move(step));
}

void EvaluationRecord::nodeEntered(const TamNode* node) {
  nodes_[node].entered = true;
}

void EvaluationRecord::loadIfJudged(const LoadIf& judged) {
  NodeOutcome& outcome = nodes_[judged.node];
  outcome.judged = true;
  outcome.condition = judged;
}

void EvaluationRecord::stateForced(const TamNode* node, TamNode::ConfigState forced) {
  nodes_[node].forced = forced;
}

void EvaluationRecord::valueStored(const Store& store) {
  ValueStep step;
  step.kind = ValueStep::kStore;
  step.node = store.node;
  step.store = store;
  addStep(std::move(step));
}

void EvaluationRecord::defaultCreated(const Default& created) {
  ValueStep step;
  step.kind = ValueStep::kDefault;
  step.node = created.node;
  step.store.node = created.node;
  step.store.statement = created.statement;
  step.store.entry = created.entry;
  step.store.after = created.entry;
  addStep(std::move(step));
}

void EvaluationRecord::entryRebound(const Rebound& rebound) {
  ValueStep step;
  step.kind = ValueStep::kRebound;
  step.node = rebound.node;
  step.store.node = rebound.node;
  step.store.entry = rebound.entry;
  step.store.after = rebound.entry;
  step.path = rebound.path;
  addStep(std::move(step));
}

void EvaluationRecord::messageEmitted(const Message& message) { messages_.push_back(message); }

void EvaluationRecord::ruleFailed(const Failure& failure) {
  failed_ = true;
  failure_.node = failure.node;
  failure_.statement = failure.statement;
  failure_.code = failure.exception->code();
}

void EvaluationRecord::nodeFinished(const NodeResult& result) {
  NodeOutcome& outcome = nodes_[result.node];
  outcome.finished = true;
  outcome.result = result;
  outcome.result.sos = nullptr;
}
