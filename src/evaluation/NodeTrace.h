// A NodeTrace is one node's evaluation as the window's observer hears it (see tam/TamObserver.h).
// TamNode::evaluate makes one on its stack for every evaluation. Without an observer it stays
// inactive: every call below is a test of a null pointer, it attaches itself to no set, and no
// statement, set or expression does anything but test the set's trace pointer.
//
// With an observer it attaches itself to the node's working set (and, while the load-if is
// judged, to the set the load-if reads), keeps what the events need (the node, its module's rules
// and the statement running, why values are being stored, what the load-if read, the last store
// of each option) and turns the library's steps into the observer's calls. A trace is only ever
// attached to sets that live no longer than it does, and copies of a set never carry it.
#ifndef TAM_SRC_EVALUATION_NODETRACE_H
#define TAM_SRC_EVALUATION_NODETRACE_H

#include <map>
#include <string>
#include <vector>

#include "tam/TamNode.h"
#include "tam/TamObserver.h"
#include "tam/TamSelOptionSet.h"

class TamConditionExp;
class TamExp;
class TamExpRoot;

namespace tam {
namespace detail {

class NodeTrace {
 public:
  // Null: the trace stays inactive.
  NodeTrace(TamObserver* observer, const TamNode* node)
      : observer_(observer),
        node_(node),
        interests_(observer != nullptr ? observer->interests() : 0) {}
  NodeTrace(const NodeTrace&) = delete;
  NodeTrace& operator=(const NodeTrace&) = delete;

  // The trace a set reports to; null when it reports to none.
  static NodeTrace* of(const TamSelOptionSet& sos) { return sos.trace_; }

  // What the observer wants to hear (TamObserver::Interest bits).
  bool hears(unsigned interest) const { return (interests_ & interest) != 0; }
  bool hearsValues() const { return hears(TamObserver::INTEREST_VALUES); }

  // The node's evaluation, step by step (TamNode::evaluate).
  void entered() {
    if (hears(TamObserver::INTEREST_NODES)) observer_->nodeEntered(node_);
  }
  void loadIfJudged(const TamConditionExp& loadIf, TamNode::ConfigState result) {
    if (hears(TamObserver::INTEREST_NODES)) reportLoadIf(false, &loadIf, result);
  }
  void legacyConditionJudged(TamNode::ConfigState result) {
    if (hears(TamObserver::INTEREST_NODES)) reportLoadIf(true, nullptr, result);
  }
  void forced(TamNode::ConfigState forced) {
    if (hears(TamObserver::INTEREST_NODES) && forced != TamNode::CS_UNDECIDED) {
      observer_->stateForced(node_, forced);
    }
  }
  void finished(TamNode::ConfigState state, TamNode::ConfigState forced, TamObserver::Stop stop,
                const TamSelOptionSet* sos) {
    if (hears(TamObserver::INTEREST_NODES)) reportFinished(state, forced, stop, sos);
  }
  // The working set reports to this trace from now on.
  void attach(TamSelOptionSet& working) {
    if (interests_ != 0) working.trace_ = this;
  }
  // Values stored from now on come from the host's set (merge) or from the rules, whose module
  // and parsed root place the statements.
  void hostValues() { cause_ = TamObserver::CAUSE_HOST; }
  void rules(const std::string& moduleId, const TamExpRoot* root) {
    if (interests_ != 0) enterRules(moduleId, root);
  }

  // While the load-if is judged, the set it reads reports the options read.
  class ConditionReads {
   public:
    ConditionReads(NodeTrace& trace, const TamSelOptionSet& read);
    ~ConditionReads();
    ConditionReads(const ConditionReads&) = delete;
    ConditionReads& operator=(const ConditionReads&) = delete;

   private:
    NodeTrace& trace_;
    const TamSelOptionSet& read_;
    NodeTrace* previous_;
  };

  // A statement runs: events are placed at it until it ends.
  class Running {
   public:
    Running(NodeTrace& trace, const TamExp* statement)
        : trace_(trace), previous_(trace.statement_) {
      trace.statement_ = statement;
    }
    ~Running() { trace_.statement_ = previous_; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    NodeTrace& trace_;
    const TamExp* previous_;
  };
  // The link of an elif chain whose condition is judged now (until its chain ends).
  void enterLink(const TamExp* link) { statement_ = link; }

  // While the set is bound to the node's module, values are stored for a presenting option or
  // for a used option taking an ancestor's values.
  class Source {
   public:
    Source(NodeTrace* trace, TamObserver::Cause cause, const ref_count_ptr<TamOption>& source,
           const TamNode* provider);
    ~Source();
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

   private:
    NodeTrace* trace_;
  };

  // From the statements and expressions. Reads count only while the load-if is judged.
  void read(const TamSelOptionSet::TamSosEntry& entry) {
    if (judgingCondition_) recordRead(entry);
  }
  void message(Tam::MsgSeverity severity, const std::string& text, bool accepted);
  void ruleFailed(const TamException& e);
  void optionConflict(const TamSelOptionSet& sos, const std::string& first,
                      const std::string& second);
  void valueConflict(const TamSelOptionSet& sos, const std::string& firstName,
                     const std::string& firstValue, const std::string& secondName,
                     const std::string& secondValue);

  // From the set: a copy of the entry a store will change (null option when there is none),
  // then the store's report; the entries of default values and of rebound paths.
  TamSelOptionSet::TamSosEntry storedBefore(const TamSelOptionSet& sos,
                                            const TamSelOptionSet::TamSosEntry& entry) const;
  void stored(const TamSelOptionSet& sos, const TamSelOptionSet::TamSosEntry& entry,
              const TamSelOptionSet::TamSosEntry& before);
  // Defaults made while the load-if reads the parent's set are not the node's.
  void defaultCreated(const TamSelOptionSet::TamSosEntry& entry) {
    if (!judgingCondition_ && hearsValues()) reportDefault(entry);
  }
  void rebound(const TamPath& path, const TamSelOptionSet::TamSosEntry& entry);

 private:
  void recordRead(const TamSelOptionSet::TamSosEntry& entry);
  void reportDefault(const TamSelOptionSet::TamSosEntry& entry);
  void enterRules(const std::string& moduleId, const TamExpRoot* root);
  void reportLoadIf(bool legacy, const TamConditionExp* loadIf, TamNode::ConfigState result);
  void reportFinished(TamNode::ConfigState state, TamNode::ConfigState forced,
                      TamObserver::Stop stop, const TamSelOptionSet* sos);
  TamObserver::Statement place(const TamExp* statement) const;
  TamObserver::ConflictSide side(const TamSelOptionSet::TamSosEntry* entry,
                                 const std::string& value) const;

  TamObserver* observer_;
  const TamNode* node_;
  unsigned interests_;
  bool judgingCondition_ = false;
  std::vector<TamObserver::Read> reads_;
  // Why values are stored now.
  TamObserver::Cause cause_ = TamObserver::CAUSE_PRESENTED;
  ref_count_ptr<TamOption> source_;
  const TamNode* provider_ = nullptr;
  // The rules running and the statement running among them.
  std::string moduleId_;
  const TamExpRoot* rules_ = nullptr;
  const TamExp* statement_ = nullptr;
  bool failureReported_ = false;
  // The last store that changed each option's entries, by option id.
  std::map<int, TamObserver::Store> lastStores_;
};

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_EVALUATION_NODETRACE_H
