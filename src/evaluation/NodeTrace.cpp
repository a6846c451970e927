// Turns the steps of one node's evaluation into the calls of the window's observer.
#include "evaluation/NodeTrace.h"

#include <utility>

#include "rules/TamExp.h"
#include "tam/TamConditionExp.h"
#include "tam/TamExpRoot.h"

namespace tam {
namespace detail {

namespace {

using Entry = TamSelOptionSet::TamSosEntry;

// The first entry of the option at this path, as TamSelOptionSet::set finds it.
const Entry* findEntry(const TamSelOptionSet::Contents& contents,
                       const ref_count_ptr<TamOption>& option, const TamPath& path) {
  auto range = contents.equal_range(option);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second.path == path) return &it->second;
  }
  return nullptr;
}

// The same values, each set the same way: handles are compared, as nothing copies values.
bool sameValues(const Entry& a, const Entry& b) {
  if (a.values.size() != b.values.size() || a.howSet != b.howSet) return false;
  for (std::size_t i = 0; i < a.values.size(); ++i) {
    if (a.values[i].get() != b.values[i].get()) return false;
  }
  return true;
}

TamObserver::Outcome outcomeOf(const Entry& entry, const Entry& before, const Entry* after) {
  if (before.option.isNull()) return TamObserver::OUTCOME_STORED;
  const bool oneValue = entry.option->mutually_exclusive();
  if (after != nullptr && !sameValues(before, *after)) {
    return oneValue ? TamObserver::OUTCOME_REPLACED : TamObserver::OUTCOME_ADDED;
  }
  // An equal first value leaves a one-value option as it was; a different one was refused.
  if (oneValue && !before.values.empty() && !(before.values[0] == entry.values[0])) {
    return TamObserver::OUTCOME_REFUSED;
  }
  return TamObserver::OUTCOME_UNCHANGED;
}

bool changes(TamObserver::Outcome outcome) {
  return outcome == TamObserver::OUTCOME_STORED || outcome == TamObserver::OUTCOME_REPLACED ||
         outcome == TamObserver::OUTCOME_ADDED;
}

bool isUnset(const ref_count_ptr<TamValue>& value) {
  return value.isNull() || value->type() == TamValue::VT_UNSET;
}

// The entry a mutually exclusive rule finds by name: the first of a String option of that name
// holding a value (with this display text, for the value form).
const Entry* entryNamed(const TamSelOptionSet& sos, const std::string& name,
                        const std::string* value) {
  for (const auto& item : sos.contents()) {
    const Entry& entry = item.second;
    if (entry.option.isNull() || entry.option->name() != name) continue;
    if (entry.option->valueType() != TamValue::VT_STRING) continue;
    if (value == nullptr) {
      if (!entry.values.empty() && !isUnset(entry.values[0])) return &entry;
      continue;
    }
    for (const ref_count_ptr<TamValue>& held : entry.values) {
      if (!held.isNull() && held->displayString() == *value) return &entry;
    }
  }
  return nullptr;
}

}  // namespace

void NodeTrace::enterRules(const std::string& moduleId, const TamExpRoot* root) {
  cause_ = TamObserver::CAUSE_RULE;
  moduleId_ = moduleId;
  rules_ = root;
}

NodeTrace::ConditionReads::ConditionReads(NodeTrace& trace, const TamSelOptionSet& read)
    : trace_(trace), read_(read), previous_(read.trace_) {
  if (!trace.hears(TamObserver::INTEREST_NODES)) return;
  trace.judgingCondition_ = true;
  read.trace_ = &trace;
}

NodeTrace::ConditionReads::~ConditionReads() {
  if (!trace_.hears(TamObserver::INTEREST_NODES)) return;
  trace_.judgingCondition_ = false;
  read_.trace_ = previous_;
}

NodeTrace::Source::Source(NodeTrace* trace, TamObserver::Cause cause,
                          const ref_count_ptr<TamOption>& source, const TamNode* provider)
    : trace_(trace) {
  if (trace == nullptr) return;
  trace->cause_ = cause;
  trace->source_ = source;
  trace->provider_ = provider;
}

// Binding stores values only under a Source; afterwards the host's values or the rules follow.
NodeTrace::Source::~Source() {
  if (trace_ == nullptr) return;
  trace_->cause_ = TamObserver::CAUSE_PRESENTED;
  trace_->source_ = ref_count_ptr<TamOption>();
  trace_->provider_ = nullptr;
}

TamObserver::Statement NodeTrace::place(const TamExp* statement) const {
  TamObserver::Statement where;
  if (statement == nullptr || rules_ == nullptr) return where;
  where.moduleId = moduleId_;
  where.begin = rules_->position(statement->beginOffset());
  where.end = rules_->position(statement->endOffset());
  return where;
}

void NodeTrace::reportLoadIf(bool legacy, const TamConditionExp* loadIf,
                             TamNode::ConfigState result) {
  TamObserver::LoadIf judged;
  judged.node = node_;
  judged.legacy = legacy;
  if (loadIf != nullptr) judged.condition = loadIf->rix();
  judged.reads.swap(reads_);
  judged.result = result;
  observer_->loadIfJudged(judged);
}

void NodeTrace::reportFinished(TamNode::ConfigState state, TamNode::ConfigState forced,
                               TamObserver::Stop stop, const TamSelOptionSet* sos) {
  TamObserver::NodeResult result;
  result.node = node_;
  result.state = state;
  result.forced = forced;
  result.stop = stop;
  result.sos = sos;
  observer_->nodeFinished(result);
}

// Each option read counts once.
void NodeTrace::recordRead(const Entry& entry) {
  if (entry.option.isNull()) return;
  for (const TamObserver::Read& earlier : reads_) {
    if (earlier.option.get() == entry.option.get()) return;
  }
  reads_.push_back({entry.option, entry.values, entry.howSet});
}

void NodeTrace::message(Tam::MsgSeverity severity, const std::string& text, bool accepted) {
  if (!hears(TamObserver::INTEREST_RULES)) return;
  TamObserver::Message message;
  message.node = node_;
  message.statement = place(statement_);
  message.severity = severity;
  message.text = text;
  message.accepted = accepted;
  observer_->messageEmitted(message);
}

// The innermost statement a failure passes reports it; the statements around it let it pass.
void NodeTrace::ruleFailed(const TamException& e) {
  if (failureReported_ || !hears(TamObserver::INTEREST_RULES)) return;
  failureReported_ = true;
  TamObserver::Failure failure;
  failure.node = node_;
  failure.statement = place(statement_);
  failure.exception = &e;
  observer_->ruleFailed(failure);
}

TamObserver::ConflictSide NodeTrace::side(const Entry* entry, const std::string& value) const {
  TamObserver::ConflictSide side;
  side.value = value;
  if (entry == nullptr) return side;
  side.option = entry->option;
  side.entry = *entry;
  auto last = lastStores_.find(entry->option->id());
  if (last != lastStores_.end()) side.lastStore = &last->second;
  return side;
}

void NodeTrace::optionConflict(const TamSelOptionSet& sos, const std::string& first,
                               const std::string& second) {
  if (!hears(TamObserver::INTEREST_RULES)) return;
  TamObserver::Conflict conflict;
  conflict.node = node_;
  conflict.statement = place(statement_);
  conflict.first = side(entryNamed(sos, first, nullptr), "");
  conflict.second = side(entryNamed(sos, second, nullptr), "");
  observer_->exclusiveConflict(conflict);
}

void NodeTrace::valueConflict(const TamSelOptionSet& sos, const std::string& firstName,
                              const std::string& firstValue, const std::string& secondName,
                              const std::string& secondValue) {
  if (!hears(TamObserver::INTEREST_RULES)) return;
  TamObserver::Conflict conflict;
  conflict.node = node_;
  conflict.statement = place(statement_);
  conflict.valueForm = true;
  conflict.first = side(entryNamed(sos, firstName, &firstValue), firstValue);
  conflict.second = side(entryNamed(sos, secondName, &secondValue), secondValue);
  observer_->exclusiveConflict(conflict);
}

Entry NodeTrace::storedBefore(const TamSelOptionSet& sos, const Entry& entry) const {
  if (entry.option.isNull()) return Entry();
  const Entry* stored = findEntry(sos.contents(), entry.option, entry.path);
  return stored == nullptr ? Entry() : *stored;
}

void NodeTrace::stored(const TamSelOptionSet& sos, const Entry& entry, const Entry& before) {
  TamObserver::Store store;
  store.node = node_;
  store.cause = cause_;
  if (cause_ == TamObserver::CAUSE_RULE) store.statement = place(statement_);
  store.source = source_;
  store.provider = provider_;
  store.entry = entry;
  if (entry.option->scope() == TamOption::SCOPE_LEGACY) {
    store.outcome = TamObserver::OUTCOME_LEGACY;
  } else {
    const Entry* after = findEntry(sos.contents(), entry.option, entry.path);
    store.outcome = outcomeOf(entry, before, after);
    store.before = before;
    if (after != nullptr) store.after = *after;
  }
  if (changes(store.outcome)) lastStores_[entry.option->id()] = store;
  observer_->valueStored(store);
}

void NodeTrace::reportDefault(const Entry& entry) {
  TamObserver::Default created;
  created.node = node_;
  if (cause_ == TamObserver::CAUSE_RULE) created.statement = place(statement_);
  created.entry = entry;
  observer_->defaultCreated(created);
}

void NodeTrace::rebound(const TamPath& path, const Entry& entry) {
  if (!hearsValues()) return;
  TamObserver::Rebound rebound;
  rebound.node = node_;
  rebound.path = path;
  rebound.entry = entry;
  observer_->entryRebound(rebound);
}

}  // namespace detail
}  // namespace tam
