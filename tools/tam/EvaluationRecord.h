// An EvaluationRecord is the tam command's observer of a window (see tam/TamObserver.h): it keeps
// what the library reported while the window was evaluated, so that commands can place what they
// print at exact statements and explain results afterwards. It always keeps the messages and the
// rule failure with their statements; with history on it also keeps every store, default entry and
// rebound path entry, and each node's condition, forced state and outcome.
//
// Everything is copied out of the events (values are shared handles), so a record stays valid
// until it is cleared; node pointers are the host's nodes and valid while the tree exists. Clear
// it before evaluating again.
#ifndef TAM_TOOL_EVALUATIONRECORD_H
#define TAM_TOOL_EVALUATIONRECORD_H

#include <tam/libtam.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

class EvaluationRecord : public TamObserver {
 public:
  // One step of a value's way: a store, a default entry, or an entry written for a path that
  // came to apply to the node. `sequence` orders steps of all nodes in evaluation order.
  struct ValueStep {
    enum Kind { kStore, kDefault, kRebound };
    Kind kind = kStore;
    std::size_t sequence = 0;
    const TamNode* node = nullptr;
    // kStore: as the library reported it. kDefault: the entry created (and the rule statement
    // that read the option, if one did). kRebound: the entry now applying, and `path`.
    TamObserver::Store store;
    TamPath path;
    const TamSelOptionSet::TamSosEntry& entry() const { return store.entry; }
  };

  // What became of one node's evaluation.
  struct NodeOutcome {
    bool entered = false;
    bool judged = false;  // a load-if or legacy condition was judged
    TamObserver::LoadIf condition;
    TamNode::ConfigState forced = TamNode::CS_UNDECIDED;
    bool finished = false;
    TamObserver::NodeResult result;  // its sos pointer is not kept
    std::vector<std::size_t> steps;  // indices into steps(), in order
  };

  // A rule failure: the node and the innermost statement that was running.
  struct RuleFailure {
    const TamNode* node = nullptr;
    TamObserver::Statement statement;
    int code = 0;
  };

  explicit EvaluationRecord(bool history = false) : history_(history) {}

  // Keeps stores, defaults and node outcomes (true) or only messages and failures, from the next
  // node evaluated on (the record's interests follow it).
  void setHistory(bool history) { history_ = history; }
  bool history() const { return history_; }
  void clear();

  const std::vector<ValueStep>& steps() const { return steps_; }
  // The node's outcome; null when the node was never entered.
  const NodeOutcome* outcome(const TamNode* node) const;
  // The messages, in the order the adapter received them.
  const std::vector<TamObserver::Message>& messages() const { return messages_; }
  // The last rule failure; null when the rules raised nothing.
  const RuleFailure* failure() const { return failed_ ? &failure_ : nullptr; }

  // Everything with history; only what the rules say (messages, failures) without.
  unsigned interests() const override;

  void nodeEntered(const TamNode* node) override;
  void loadIfJudged(const LoadIf& judged) override;
  void stateForced(const TamNode* node, TamNode::ConfigState forced) override;
  void valueStored(const Store& store) override;
  void defaultCreated(const Default& created) override;
  void entryRebound(const Rebound& rebound) override;
  void messageEmitted(const Message& message) override;
  void ruleFailed(const Failure& failure) override;
  void nodeFinished(const NodeResult& result) override;

 private:
  void addStep(ValueStep step);

  bool history_;
  std::vector<ValueStep> steps_;
  std::map<const TamNode*, NodeOutcome> nodes_;
  std::vector<TamObserver::Message> messages_;
  bool failed_ = false;
  RuleFailure failure_;
};

#endif  // TAM_TOOL_EVALUATIONRECORD_H
