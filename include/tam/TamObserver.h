// A TamObserver hears, step by step, how an evaluation reaches its results, so that a host can
// answer "why has this option this value?" and "why is this node not configured?" in its own
// user interface. The host derives from it, overrides the calls it cares about (every call has an
// empty default body), says which kinds it wants (interests(); all by default) and installs it on
// a window with TamWindow::setObserver. The window borrows the observer; the host keeps it alive
// while it is installed. There is none by default, and then the library only tests a null
// pointer: nothing is recorded and nothing else is done.
//
// Calls come synchronously, in evaluation order, on the thread that evaluates the window, and only
// while one of its nodes is evaluated (TamNode::evaluate, through TamWindow::evaluate or a host's
// own call). Each window has its own observer, so two windows evaluated in two threads may each
// have one. Installing an observer changes no result, exception, host callback or order: the
// events only describe what the library does anyway. They describe the working set of the node
// being evaluated; sets the host fills or reads itself, and the rebinding that TamNode::getSos()
// does, are not reported.
//
// For each node whose evaluation starts, in this order:
//   nodeEntered; loadIfJudged (when the node has a load-if or a legacy condition); stateForced
//   (when the host forces a state); then, when the node goes on, the binding of the inherited set
//   to the node's module (defaultCreated, valueStored for presented and inherited values,
//   entryRebound), the host's values (valueStored), the module's rules (valueStored,
//   defaultCreated, messageEmitted, exclusiveConflict, ruleFailed); finally nodeFinished, also for
//   a node that was stopped. Its children follow, each with its own sequence. Nodes below a stopped
//   node are not evaluated and get no events.
//
// Places of rule statements are exact: the line and column of the statement's first token and the
// place just past its last one, in the module's rules text (TamModule::getRix()->rix(), the text
// after the interface). They are recorded when the rules are parsed; the line a TamException
// carries stays the line it always was.
//
// The references, pointers and entries an event holds are valid during the call only; copy what
// is needed. An observer must not change the window, its modules or the nodes' sets from a call.
// An exception thrown by an observer ends the evaluation as a failing rule does and reaches the
// host's evaluate call unchanged; the node under evaluation keeps the sets of its previous
// evaluation, and the window can be evaluated again.
#ifndef TAM_TAMOBSERVER_H
#define TAM_TAMOBSERVER_H

#include <string>
#include <vector>

#include "tam/Tam.h"
#include "tam/TamException.h"
#include "tam/TamExport.h"
#include "tam/TamNode.h"
#include "tam/TamOption.h"
#include "tam/TamSelOptionSet.h"
#include "tam/TamSourcePos.h"
#include "tam/TamValue.h"
#include "tam/ref_count.h"

class TAM_API TamObserver {
 public:
  // Where a rule statement stands: the module whose rules hold it, the place of its first token
  // ("set", "fix", "if", "elif", "inform", "warn", "error" or "mutually_exclusive") and the place
  // just past its last token, in that module's rules text. An event that no statement caused has
  // an empty module id and unknown places.
  struct Statement {
    std::string moduleId;
    TamSourcePos begin;
    TamSourcePos end;
    bool isKnown() const { return begin.isKnown(); }
  };

  // What brought values to the working set.
  enum Cause {
    CAUSE_RULE = 0,       // a set or fix statement of the node's module
    CAUSE_HOST = 1,       // the values the host set at the node (TamNode::setSos), merged in
    CAUSE_PRESENTED = 2,  // values of an option presenting one of the node's module's options
    CAUSE_INHERITED = 3   // values of a used option, taken from an ancestor
  };

  // What a store did to the entry of its option and path.
  enum Outcome {
    OUTCOME_STORED = 0,     // there was no entry: the values were stored as given
    OUTCOME_REPLACED = 1,   // a one-value option: the new value replaced the one before
    OUTCOME_ADDED = 2,      // a several-values option: values were added (or replaced Unset)
    OUTCOME_UNCHANGED = 3,  // the values were there already; nothing changed, not even HowSets
    OUTCOME_REFUSED = 4,    // the adapter's allowOptionOverride kept the value before
    OUTCOME_LEGACY = 5      // a legacy option: the values went to the host, which keeps them
  };

  // An attempt to store values in the working set (TamSelOptionSet::set).
  struct Store {
    const TamNode* node = nullptr;  // the node being evaluated
    Cause cause = CAUSE_RULE;
    // CAUSE_RULE: the set or fix statement; unknown otherwise.
    Statement statement;
    // CAUSE_PRESENTED: the presenting option (of the module presenting it). CAUSE_INHERITED: the
    // option whose values were taken at the providing ancestor (the base itself, or an option of
    // the ancestor's module using the same base). Null otherwise.
    ref_count_ptr<TamOption> source;
    // CAUSE_INHERITED: the ancestor whose values were taken. Null otherwise.
    const TamNode* provider = nullptr;
    // What was handed to the set: option, path, values and how each was set.
    TamSelOptionSet::TamSosEntry entry;
    Outcome outcome = OUTCOME_STORED;
    // The entry of the same option and path before and after; `before` has a null option when
    // there was none. Both are empty for OUTCOME_LEGACY.
    TamSelOptionSet::TamSosEntry before;
    TamSelOptionSet::TamSosEntry after;
  };

  // An entry created with the option's default: while the set is bound to the node's module
  // (every option of the module gets an entry), or when a rule reads an option without one.
  struct Default {
    const TamNode* node = nullptr;
    Statement statement;  // the rule statement that read the option; unknown while binding
    TamSelOptionSet::TamSosEntry entry;
  };

  // While the set is bound to the node's module, the entry written for a node path (by a rule
  // such as `set m:o [a.b] to v`, or by presenting at a path) was the one that best matched the
  // node's position: it now applies to the node (its path is empty). Entries that did not match
  // are dropped without an event.
  struct Rebound {
    const TamNode* node = nullptr;
    TamPath path;                        // the path the entry was written for
    TamSelOptionSet::TamSosEntry entry;  // the entry as it now stands, with the empty path
  };

  // An option value an expression read.
  struct Read {
    ref_count_ptr<TamOption> option;
    std::vector<ref_count_ptr<TamValue>> values;
    std::vector<TamSelOptionSet::HowSet> howSet;
  };

  // A node's condition judged: its load-if (read against the set inherited from the parent), or,
  // for a node without one, the host's legacy condition (TamNode::evaluateLegacyCondition).
  struct LoadIf {
    const TamNode* node = nullptr;
    bool legacy = false;
    std::string condition;    // the load-if text; empty for a legacy condition
    std::vector<Read> reads;  // every option the load-if read, once each, in reading order
    TamNode::ConfigState result = TamNode::CS_UNDECIDED;
  };

  // A message statement that ran, after the adapter's userMsg had the same severity and text.
  struct Message {
    const TamNode* node = nullptr;
    Statement statement;
    Tam::MsgSeverity severity = Tam::MSG_INFORM;
    std::string text;
    bool accepted = true;  // what userMsg answered; false stops the rules (code 500)
  };

  // One side of a mutually exclusive conflict: an option holding a conflicting value, its entry,
  // and the last store at this node's evaluation that changed that entry (null when the values
  // came with the set inherited from the parent).
  struct ConflictSide {
    ref_count_ptr<TamOption> option;
    std::string value;  // the value form only: the display text of the matching value
    TamSelOptionSet::TamSosEntry entry;
    const Store* lastStore = nullptr;
  };

  // A mutually exclusive rule found a conflict, reported before it raises code 106 (the option
  // form: two values among the listed options; `first` and `second` are one option when it alone
  // holds two values) or 107 (the value form: two listed option.value pairs selected).
  struct Conflict {
    const TamNode* node = nullptr;
    Statement statement;
    bool valueForm = false;
    ConflictSide first;
    ConflictSide second;
  };

  // A rule raised: `statement` is the innermost statement that was running (for an elif chain,
  // the link whose condition or branch failed). Reported once per failure, before the exception
  // leaves the rules and is stamped with the node.
  struct Failure {
    const TamNode* node = nullptr;
    Statement statement;
    const TamException* exception = nullptr;
  };

  // Why a node's evaluation ended as it did.
  enum Stop {
    STOP_NONE = 0,     // not stopped: the binding, host values and rules ran
    STOP_LOAD_IF = 1,  // its condition was false and the host did not force it on
    STOP_FORCED = 2    // the host forced it off
  };

  // The end of a node's own evaluation, before its children are evaluated.
  struct NodeResult {
    const TamNode* node = nullptr;
    // The state the evaluation decided (kept in isNodeConfigured() only by evaluations that
    // notify), and the state the host forces (CS_UNDECIDED when none).
    TamNode::ConfigState state = TamNode::CS_UNDECIDED;
    TamNode::ConfigState forced = TamNode::CS_UNDECIDED;
    Stop stop = STOP_NONE;
    // The node's new set; null when the node was stopped (it keeps its previous sets).
    const TamSelOptionSet* sos = nullptr;
  };

  // The kinds of calls an observer wants, as bits of a mask.
  enum Interest {
    INTEREST_NODES = 1,   // nodeEntered, loadIfJudged, stateForced, nodeFinished
    INTEREST_VALUES = 2,  // valueStored, defaultCreated, entryRebound
    INTEREST_RULES = 4,   // messageEmitted, exclusiveConflict, ruleFailed
    INTEREST_ALL = 7
  };

  TamObserver() = default;
  TamObserver(const TamObserver&) = default;
  TamObserver& operator=(const TamObserver&) = default;
  virtual ~TamObserver();

  // The calls this observer wants (Interest bits); asked when each node's evaluation starts. The
  // library prepares no call outside the mask, so that an observer of messages alone does not pay
  // for the copies every store event holds. Without INTEREST_VALUES a conflict side has no
  // lastStore. Default: INTEREST_ALL.
  virtual unsigned interests() const;

  virtual void nodeEntered(const TamNode* node);
  virtual void loadIfJudged(const LoadIf& judged);
  virtual void stateForced(const TamNode* node, TamNode::ConfigState forced);
  virtual void valueStored(const Store& store);
  virtual void defaultCreated(const Default& created);
  virtual void entryRebound(const Rebound& rebound);
  virtual void messageEmitted(const Message& message);
  virtual void exclusiveConflict(const Conflict& conflict);
  virtual void ruleFailed(const Failure& failure);
  virtual void nodeFinished(const NodeResult& result);
};

#endif  // TAM_TAMOBSERVER_H
