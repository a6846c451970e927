// The selected option set: entries per option and path, the override decision on set, the merge
// of host choices, and the rebinding of a set to a node of a module.
#include "tam/TamSelOptionSet.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "evaluation/BindingPass.h"
#include "evaluation/NodeTrace.h"
#include "evaluation/TreeLimit.h"
#include "model/LookupEpoch.h"
#include "tam/Tam.h"
#include "tam/TamException.h"
#include "tam/TamModule.h"
#include "tam/TamNode.h"
#include "tam/TamWindow.h"

namespace {

constexpr int kMisuseCode = 2;  // the set used against its contract
constexpr int kNoAdapterCode = 3;
constexpr int kNullOptionCode = 103;
constexpr int kInvalidValueCode = 204;
constexpr int kOptionNotInModuleCode = 102;
constexpr int kIncompleteCode = 113;
// Tables with fewer entries than this are bound to a node by scanning them: finding out about
// them first would cost more than it saves.
constexpr std::size_t kIndexedTable = 32;

bool isUnset(const ref_count_ptr<TamValue>& value) {
  return value.isNull() || value->type() == TamValue::VT_UNSET;
}

bool isHostHowSet(TamSelOptionSet::HowSet howSet) {
  return howSet == TamSelOptionSet::HOWSET_HOST || howSet == TamSelOptionSet::HOWSET_HOST_FIRM ||
         howSet == TamSelOptionSet::HOWSET_HOST_FORCED;
}

// The host's nodes declare their operations non-const (a host may cache or load lazily behind
// them), while the set only ever reads through them. The set receives the node it is bound to
// as const, so it casts the qualifier away to ask those read-only questions.
TamNode* asHostNode(const TamNode* node) { return const_cast<TamNode*>(node); }

}  // namespace

// What binding a set to a node of one module needs to know of the set's table: the entries
// presented for the module's options, in table order, indexed by the first identifier of their
// position, and the module's own options in the table. Found for every module in one scan of a
// table (Table::Index), the rest when a set is first bound to a node of the module, and kept with
// the table. Sets that share a table (the children of one node) share what was found, so each
// child binds in time proportional to what it keeps rather than to all its parent holds.
struct TamSelOptionSet::Binding {
  struct Carried {
    const TamSosEntry* from;
    ref_count_ptr<TamOption> presenting;
    ref_count_ptr<TamOption> base;
  };
  std::vector<Carried> carried;
  bool prepared = false;  // the members below are found
  // Every carried entry would be stored as it is: its base is no legacy option, no other carried
  // entry is for the same option and position, and the table has none for them yet.
  bool direct = true;
  bool anyPath = false;  // some carried entry has a position
  std::unordered_map<std::string, std::vector<std::size_t>> byFirstId;
  std::vector<std::size_t> pathless;
  // When every carried entry was last found well formed and valid for its base (0: never).
  uint64_t validAtLookup = 0;
  uint64_t validAtOption = 0;
  // The first entry of each option of the module, in table order; whether the table holds
  // entries of other options too, and whether each of these holds exactly one, for no position.
  std::vector<Contents::iterator> groups;
  bool othersInTable = false;
  bool groupsBound = true;
};

struct TamSelOptionSet::Table {
  Table() = default;
  explicit Table(const Contents& from) : entries(from) {}
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  // The bindings of one scan, per module id, kept while no module or option changes (the lookup
  // and option epochs).
  struct Index {
    uint64_t lookupEpoch = 0;  // 0: serves one binding only (a base was not found)
    uint64_t optionEpoch = 0;
    std::size_t groups = 0;  // options with entries
    std::unordered_map<std::string, Binding> modules;
  };
  Contents entries;
  // Found out about the entries; dropped whenever they change.
  std::unique_ptr<Index> index;
};

namespace {

// Entries of tables let go on this thread while the library walks a tree, emptied and kept for the
// next default entries the walk stores, which then reuse their allocations (the entry and its
// value and HowSet lists) instead of making new ones: a node's table is let go and made again on
// every evaluation. At most kSpareEntries are kept; the pool is made when a walk first stores a
// default entry and let go when the outermost evaluation ends, so nothing is kept between calls.
constexpr std::size_t kSpareEntries = 512;
using SpareEntry = TamSelOptionSet::Contents::node_type;

struct SparePool {
  std::vector<SpareEntry> entries;
};
// Tables read the pool through a plain pointer, so that those let go after the thread's own
// objects are gone (sets held by static objects) find no pool rather than a destroyed one.
thread_local SparePool* sparePool = nullptr;
struct SparePoolOwner {
  std::unique_ptr<SparePool> pool;
  ~SparePoolOwner() { sparePool = nullptr; }
};
thread_local SparePoolOwner sparePoolOwner;

// The pool with room reserved for every entry it may keep; null outside a walk, or when the room
// cannot be had.
SparePool* spares() {
  if (sparePool != nullptr || !tam::detail::insideWalk()) return sparePool;
  try {
    auto pool = std::make_unique<SparePool>();
    pool->entries.reserve(kSpareEntries);
    sparePoolOwner.pool = std::move(pool);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  sparePool = sparePoolOwner.pool.get();
  return sparePool;
}

}  // namespace

void tam::detail::releaseSpareEntries() {
  if (sparePool == nullptr) return;
  sparePool = nullptr;
  sparePoolOwner.pool.reset();
}

// Never allocates: the pool has its room already, and a table let go outside a walk gives its
// entries back to the heap.
TamSelOptionSet::Table::~Table() {
  SparePool* pool = sparePool;
  if (pool == nullptr) return;
  while (!entries.empty() && pool->entries.size() < pool->entries.capacity()) {
    SpareEntry spare = entries.extract(entries.begin());
    spare.key() = ref_count_ptr<TamOption>();
    TamSosEntry& entry = spare.mapped();
    entry.option = ref_count_ptr<TamOption>();
    entry.path = TamPath::EmptyPath;
    entry.values.clear();
    entry.howSet.clear();
    pool->entries.push_back(std::move(spare));
  }
}

TamSelOptionSet::TamSelOptionSet(const ref_count_ptr<TamWindow>& window) : window_(window.get()) {}

TamSelOptionSet::TamSelOptionSet(TamWindow* window) : window_(window) {}

TamSelOptionSet::TamSelOptionSet(const TamSelOptionSet& other)
    : contextNode_(other.contextNode_),
      contextId_(other.contextId_),
      contents_(other.contents_),
      window_(other.window_) {}

// The context id is copied first: a copy that fails for want of memory leaves this set as it
// was, so a node's set keeps the host's values through a failed evaluation. The entries are
// shared, which cannot fail.
TamSelOptionSet& TamSelOptionSet::operator=(const TamSelOptionSet& other) {
  if (this == &other) return *this;
  std::string contextId(other.contextId_);
  changing();
  contents_ = other.contents_;
  contextId_.swap(contextId);
  contextNode_ = other.contextNode_;
  return *this;
}

const TamSelOptionSet::Contents& TamSelOptionSet::contents() const {
  return contents_ ? contents_->entries : emptyContents();
}

const TamSelOptionSet::Contents& TamSelOptionSet::emptyContents() {
  static const Contents empty;
  return empty;
}

// A table shared with other sets is copied before this set changes it; the others keep theirs.
// A copy that fails for want of memory leaves the set as it was.
TamSelOptionSet::Contents& TamSelOptionSet::ownContents() {
  changing();
  if (!contents_) {
    contents_ = std::make_shared<Table>();
  } else if (contents_.use_count() > 1) {
    contents_ = std::make_shared<Table>(contents_->entries);
  }
  contents_->index.reset();
  return contents_->entries;
}

TamSelOptionSet::Contents& TamSelOptionSet::ownContentsForRead() const {
  if (!contents_) {
    contents_ = std::make_shared<Table>();
  } else if (contents_.use_count() > 1) {
    std::shared_ptr<Table> own = std::make_shared<Table>(contents_->entries);
    retired_.reserve(retired_.size() + 1);
    retired_.push_back(contents_);
    contents_.swap(own);
  }
  contents_->index.reset();
  return contents_->entries;
}

TamSelOptionSet::~TamSelOptionSet() = default;

ref_count_ptr<TamWindow> TamSelOptionSet::window() const {
  return ref_count_ptr<TamWindow>(window_);
}

const TamSelOptionSet::TamSosEntry& TamSelOptionSet::get(const ref_count_ptr<TamOption>& option,
                                                        const TamPath& path) const {
  if (option.isNull()) throw TamException(kNullOptionCode, "", "", "");
  if (option->scope() == TamOption::SCOPE_LEGACY) {
    // The host keeps legacy values; the cache only gives the caller an entry to look at, and is
    // refreshed on every read so that it never answers with a stale value.
    if (window_ == nullptr) {
      throw TamException(kMisuseCode, "Selected option set without a window", "", "");
    }
    ref_count_ptr<TamValue> value = window_->getLegacyOptionValue(option);
    TamSosEntry& cached = legacyCache_[option];
    cached.option = option;
    cached.values.assign(1, value);
    cached.howSet.assign(1, HOWSET_DEFAULT);
    return cached;
  }
  const Contents& contents = this->contents();
  auto range = contents.equal_range(option);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second.path == path) return it->second;
  }
  return setDefault(option, path);
}

const TamSelOptionSet::TamSosEntry& TamSelOptionSet::get(
    const ref_count_ptr<TamOption>& option) const {
  return get(option, TamPath::EmptyPath);
}

const TamSelOptionSet::TamSosEntry& TamSelOptionSet::setDefault(
    const ref_count_ptr<TamOption>& option, const TamPath& path) const {
  ref_count_ptr<TamValue> byDefault = option->defaultValue();
  Contents& table = ownContentsForRead();
  SparePool* pool = spares();
  const TamSosEntry* storedAt = nullptr;
  if (pool != nullptr && !pool->entries.empty()) {
    SpareEntry spare = std::move(pool->entries.back());
    pool->entries.pop_back();
    spare.key() = option;
    TamSosEntry& entry = spare.mapped();
    entry.option = option;
    entry.path = path;
    entry.values.push_back(std::move(byDefault));
    entry.howSet.push_back(HOWSET_DEFAULT);
    storedAt = &table.insert(std::move(spare))->second;
  } else {
    TamSosEntry entry;
    entry.option = option;
    entry.path = path;
    entry.values.push_back(std::move(byDefault));
    entry.howSet.push_back(HOWSET_DEFAULT);
    storedAt = &table.emplace(option, std::move(entry))->second;
  }
  const TamSosEntry& stored = *storedAt;
  if (trace_ != nullptr) trace_->defaultCreated(stored);
  return stored;
}

void TamSelOptionSet::ensureContains(const ref_count_ptr<TamOption>& option) {
  auto range = contents().equal_range(option);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second.path.isEmpty()) return;
  }
  ownContents();
  setDefault(option, TamPath::EmptyPath);
}

// The default is had first: it may call the host, which must not find the set half changed.
void TamSelOptionSet::clearEntry(const TamSosEntry& entry) {
  if (entry.option.isNull()) return;
  const ref_count_ptr<TamValue> byDefault = entry.option->defaultValue();
  auto range = ownContents().equal_range(entry.option);
  for (auto it = range.first; it != range.second; ++it) {
    if (!(it->second.path == entry.path)) continue;
    it->second.values.assign(1, byDefault);
    it->second.howSet.assign(1, HOWSET_DEFAULT);
  }
}

void TamSelOptionSet::clear() {
  changing();
  contents_.reset();
}

// Values enter the set only here. Under an observer, the entry the store changes is looked at
// before and after, so that the store and its outcome are reported once it is done.
void TamSelOptionSet::set(const TamSosEntry& entry) {
  const ref_count_ptr<TamWindow> keep(window_);  // the host may drop its own in a callback
  if (trace_ == nullptr || !trace_->hearsValues()) return storeEntry(entry);
  tam::detail::NodeTrace* trace = trace_;
  const TamSosEntry before = trace->storedBefore(*this, entry);
  storeEntry(entry);
  trace->stored(*this, entry, before);
}

// Legacy values go to the host; any other first value must be valid for the option; a new entry
// is stored as it is; an entry already stored for the same path is replaced (one value at a time)
// or added to (several values together).
void TamSelOptionSet::storeEntry(const TamSosEntry& entry) {
  checkEntry(entry);
  if (entry.option->scope() == TamOption::SCOPE_LEGACY) return setLegacy(entry);
  const ref_count_ptr<TamValue>& first = entry.values[0];
  if (!entry.option->validateValue(first)) {
    throw TamException(kInvalidValueCode, first->displayString(), entry.option->name(), "");
  }
  TamSosEntry* stored = storedEntry(entry.option, entry.path);
  if (stored == nullptr) {
    ownContents().emplace(entry.option, entry);
  } else if (entry.option->mutually_exclusive()) {
    replaceExclusive(*stored, entry);
  } else {
    addValues(*stored, entry);
  }
}

// A stored entry always holds at least one value with a HowSet for each, so the lists of an
// entry handed in are checked before anything reads them: an entry without values, with a null
// value, or (legacy entries aside, which the host takes as they are) with fewer HowSets than
// values is refused as a misuse (code 2) instead of being read past its end.
void TamSelOptionSet::checkEntry(const TamSosEntry& entry) const {
  if (entry.option.isNull()) throw TamException(kNullOptionCode, "", "", "");
  if (entry.values.empty()) {
    throw TamException(kMisuseCode, "Selected option set entry without values", "", "");
  }
  for (const ref_count_ptr<TamValue>& value : entry.values) {
    if (value.isNull()) {
      throw TamException(kMisuseCode, "Selected option set entry with a null value", "", "");
    }
  }
  if (entry.option->scope() != TamOption::SCOPE_LEGACY &&
      entry.howSet.size() < entry.values.size()) {
    throw TamException(kMisuseCode, "Selected option set entry without a HowSet for each value",
                       "", "");
  }
}

void TamSelOptionSet::setLegacy(const TamSosEntry& entry) {
  if (window_ == nullptr) {
    throw TamException(kMisuseCode, "Selected option set without a window", "", "");
  }
  if (entry.values.size() == 1) {
    window_->setLegacyOptionValue(entry.option, entry.values[0]);
  } else {
    window_->setLegacyOptionValues(entry.option, entry.values);
  }
}

// The entry is in this set's own table, ready to be changed.
TamSelOptionSet::TamSosEntry* TamSelOptionSet::storedEntry(const ref_count_ptr<TamOption>& option,
                                                           const TamPath& path) {
  bool found = false;
  const auto shared = contents().equal_range(option);
  for (auto it = shared.first; it != shared.second && !found; ++it) found = it->second.path == path;
  if (!found) return nullptr;
  const auto range = ownContents().equal_range(option);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second.path == path) return &it->second;
  }
  return nullptr;
}

// One value at a time: an equal value changes nothing (not even how it was set); a different
// one replaces the first stored value only when the host's override decision allows it. The host
// decides on a copy of the stored entry, and the entry is looked up again afterwards: whatever
// the host does to the set meanwhile, nothing is read or written through a stale reference.
void TamSelOptionSet::replaceExclusive(TamSosEntry& stored, const TamSosEntry& entry) {
  const ref_count_ptr<TamValue>& first = entry.values[0];
  if (stored.values.empty() || stored.howSet.empty()) {
    stored.values.assign(1, first);
    stored.howSet.assign(1, entry.howSet[0]);
    return;
  }
  if (stored.values[0] == first) return;
  // A host that uninstalled its adapter while sets are in use gets the library's "no adapter"
  // failure rather than a call through a null pointer.
  Tam::AdapterInterface* host = Tam::adapterInterface();
  if (host == nullptr) throw TamException(kNoAdapterCode, "", "", "");
  const TamSosEntry existing = stored;
  if (!host->allowOptionOverride(existing, contextNode_, entry.howSet[0])) return;
  TamSosEntry* again = storedEntry(entry.option, entry.path);
  if (again == nullptr || again->values.empty() || again->howSet.empty()) return;
  again->values[0] = first;
  again->howSet[0] = entry.howSet[0];
}

// Several values together: each new value replaces an Unset placeholder or is added, unless a
// value of the same display text is already selected. The host is not asked. The new values
// are copied first: the entry handed in may be the stored one itself.
void TamSelOptionSet::addValues(TamSosEntry& stored, const TamSosEntry& entry) {
  const std::vector<ref_count_ptr<TamValue>> values = entry.values;
  const std::vector<HowSet> howSets = entry.howSet;
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string text = values[i]->displayString();
    bool present = false;
    for (size_t j = 0; j < stored.values.size(); ++j) {
      if (isUnset(stored.values[j])) {
        stored.values.erase(stored.values.begin() + static_cast<std::ptrdiff_t>(j));
        if (j < stored.howSet.size()) {
          stored.howSet.erase(stored.howSet.begin() + static_cast<std::ptrdiff_t>(j));
        }
        break;
      }
      if (stored.values[j]->displayString() == text) {
        present = true;
        break;
      }
    }
    if (!present) {
      stored.values.push_back(values[i]);
      stored.howSet.push_back(howSets[i]);
    }
  }
}

// The host's parts are gathered before any is set: setting calls the host, which may change
// either set (or merge a set into itself) and must not pull the walk's ground away.
void TamSelOptionSet::merge(const TamSelOptionSet& other) {
  std::vector<TamSosEntry> hostParts;
  for (const auto& item : other.contents()) {
    const TamSosEntry& from = item.second;
    TamSosEntry hostPart;
    const size_t count = std::min(from.values.size(), from.howSet.size());
    for (size_t i = 0; i < count; ++i) {
      if (!isHostHowSet(from.howSet[i])) continue;
      hostPart.values.push_back(from.values[i]);
      hostPart.howSet.push_back(from.howSet[i]);
    }
    if (hostPart.values.empty()) continue;
    hostPart.option = from.option;
    hostPart.path = from.path;
    hostParts.push_back(std::move(hostPart));
  }
  for (const TamSosEntry& hostPart : hostParts) set(hostPart);
}

namespace {

// The entries of options of this name, copied: asking an option for its value type may call the
// host, which may change the set.
std::vector<TamSelOptionSet::TamSosEntry> entriesNamed(const TamSelOptionSet::Contents& contents,
                                                       const std::string& name) {
  std::vector<TamSelOptionSet::TamSosEntry> found;
  for (const auto& item : contents) {
    const ref_count_ptr<TamOption>& option = item.second.option;
    if (!option.isNull() && option->name() == name) found.push_back(item.second);
  }
  return found;
}

}  // namespace

ref_count_ptr<TamOption> TamSelOptionSet::getOption(std::string name) const {
  const ref_count_ptr<TamWindow> keep(window_);
  for (const TamSosEntry& entry : entriesNamed(contents(), name)) {
    if (entry.option->valueType() != TamValue::VT_STRING) continue;
    if (entry.values.empty() || isUnset(entry.values[0])) continue;
    return entry.option;
  }
  return ref_count_ptr<TamOption>();
}

bool TamSelOptionSet::matchValue(std::string optionName, std::string valueText) const {
  const ref_count_ptr<TamWindow> keep(window_);
  for (const TamSosEntry& entry : entriesNamed(contents(), optionName)) {
    if (entry.option->valueType() != TamValue::VT_STRING) continue;
    for (const ref_count_ptr<TamValue>& value : entry.values) {
      if (!value.isNull() && value->displayString() == valueText) return true;
    }
  }
  return false;
}

void TamSelOptionSet::verifyCompleteness() const {
  for (const auto& item : contents()) {
    const TamSosEntry& entry = item.second;
    if (entry.values.empty() || !isUnset(entry.values[0])) continue;
    if (entry.option->mandatory()) {
      throw TamException(kIncompleteCode, entry.option->name(), "", "");
    }
  }
}

namespace {

// An entry's option and path as one text, the path's identifiers each prefixed by its length.
std::string entryKey(const TamOption& option, const TamPath& path) {
  std::string key = std::to_string(option.id());
  for (const std::string& id : path.path()) {
    key += '/';
    key += std::to_string(id.size());
    key += ':';
    key += id;
  }
  return key;
}

// The node's position below the nearest ancestor that carries a module, outermost first.
TamPath contextPathOf(TamNode* node) {
  TamPath path;
  int steps = 0;
  for (TamNode* current = node;;) {
    const std::string id = current->pathId();
    if (!id.empty()) path.append(id);
    TamNode* parent = tam::detail::parentOf(current, steps);
    if (parent == nullptr || parent->hasModule()) break;
    current = parent;
  }
  path.reverse();
  return path;
}

}  // namespace

namespace {

// What one ancestor offers an option that uses `base`: the base itself when the ancestor is of the
// base's own module, else the last of its module's using options that use the same base.
bool provision(TamNode* ancestor, const ref_count_ptr<TamOption>& base,
               ref_count_ptr<TamOption>& provided) {
  if (!ancestor->hasModule()) return false;
  const ref_count_ptr<TamModule> module = ancestor->module();
  if (module->id() == base->moduleId()) {
    provided = base;
    return true;
  }
  bool found = false;
  const std::vector<ref_count_ptr<TamOption>> users = module->usingOptions();
  for (const ref_count_ptr<TamOption>& user : users) {
    const ref_count_ptr<TamOption> userBase = user->basedOn();
    if (userBase.isNull() || userBase->id() != base->id()) continue;
    provided = user;
    found = true;
  }
  return found;
}

}  // namespace

// A used option takes its values from the ancestors that provide its base: an ancestor of the
// base's own module gives the base's values, any other ancestor the values of its own options
// that use the same base. The match farthest up the tree wins. The taken values replace the
// option's entry (reset to the default first) as inherited values.
// While the library walks the tree, each ancestor passed remembers the match farthest up at or
// above it, and the walk up stops at the first ancestor that knows: the nodes of a chain ask one
// level each. A remembered match is not used where the walk it saves would pass the depth limit,
// so a parent chain too long (or looping) is refused as before.
void TamSelOptionSet::inheritUsedOption(TamSelOptionSet& sos, TamNode* node,
                                        const ref_count_ptr<TamOption>& option) {
  const ref_count_ptr<TamOption> base = option->basedOn();
  if (base.isNull()) return;
  const bool remember = tam::detail::insideWalk();
  const uint64_t walk = tam::detail::currentWalk();
  const uint64_t epoch = tam::detail::lookupEpoch();
  struct Passed {
    TamNode* node;
    int steps;  // from `node` (the argument) up to this one
    bool provides;
    ref_count_ptr<TamOption> provided;
  };
  std::vector<Passed> passed;
  const TamNode::ProviderAbove* known = nullptr;
  int knownSteps = 0;
  int steps = 0;
  for (TamNode* ancestor = tam::detail::parentOf(node, steps); ancestor != nullptr;
       ancestor = tam::detail::parentOf(ancestor, steps)) {
    if (remember) {
      for (const TamNode::ProviderAbove& memo : ancestor->providersAbove_) {
        if (memo.baseId != base->id() || memo.walk != walk ||
            memo.epoch != tam::detail::lookupEpoch()) {
          continue;
        }
        if (steps + memo.stepsToRoot <= TamNode::kMaxTreeDepth) known = &memo;
        break;
      }
      if (known != nullptr) {
        knownSteps = steps;
        break;
      }
    }
    Passed here{ancestor, steps, false, ref_count_ptr<TamOption>()};
    here.provides = provision(ancestor, base, here.provided);
    passed.push_back(std::move(here));
  }
  TamNode* provider = known != nullptr ? known->provider : nullptr;
  ref_count_ptr<TamOption> provided(known != nullptr ? known->provided : nullptr);
  // The steps from `node` to the root: the walk's own, or to the ancestor that knew and on.
  const int rootSteps = known != nullptr ? knownSteps + known->stepsToRoot : steps;
  const bool record = remember && tam::detail::lookupEpoch() == epoch;
  for (auto it = passed.rbegin(); it != passed.rend(); ++it) {
    if (provider == nullptr && it->provides) {
      provider = it->node;
      provided = it->provided;
    }
    if (!record) continue;
    std::vector<TamNode::ProviderAbove>& memos = it->node->providersAbove_;
    memos.erase(std::remove_if(memos.begin(), memos.end(),
                               [&](const TamNode::ProviderAbove& memo) {
                                 return memo.baseId == base->id() || memo.walk != walk ||
                                        memo.epoch != epoch;
                               }),
                memos.end());
    memos.push_back(TamNode::ProviderAbove{base->id(), walk, epoch, rootSteps - it->steps,
                                           provider, provided.get()});
  }
  if (provider == nullptr) return;
  const std::vector<ref_count_ptr<TamValue>> values =
      provider->sosForDescendants().get(provided).values;
  if (values.empty()) return;
  TamSosEntry inherited = sos.get(option);
  sos.clearEntry(inherited);
  inherited.values = values;
  inherited.howSet.assign(values.size(), HOWSET_INHERITED);
  const tam::detail::NodeTrace::Source source(tam::detail::NodeTrace::of(sos),
                                              TamObserver::CAUSE_INHERITED, provided, provider);
  sos.set(inherited);
}

// The context path of a node (none for a set bound without one): an entry without a path scores
// 0 whatever the position, so the walk up the host's tree is made only for entries with a path.
class TamSelOptionSet::ContextPath {
 public:
  explicit ContextPath(TamNode* node) : node_(node) {}
  int score(const TamPath& path) {
    if (path.isEmpty()) return 0;
    return this->path().compare(path);
  }
  const TamPath& path() {
    if (node_ != nullptr) {
      path_ = contextPathOf(node_);
      node_ = nullptr;
    }
    return path_;
  }

 private:
  TamNode* node_;
  TamPath path_;
};

namespace {

// An entry as set() takes it: values, none null, and a HowSet for each.
bool wellFormed(const TamSelOptionSet::TamSosEntry& entry) {
  if (entry.values.empty() || entry.howSet.size() < entry.values.size()) return false;
  for (const ref_count_ptr<TamValue>& value : entry.values) {
    if (value.isNull()) return false;
  }
  return true;
}

}  // namespace

// One scan of the table finds, for every module, its options' entries and the entries presented
// for them. A presented option whose base is not found is asked again by the next binding
// (finding it may call the host), so what that scan found serves one binding only. The rest is
// found for one module when a set is first bound to it.
TamSelOptionSet::Binding& TamSelOptionSet::bindingFor(Table& table, const std::string& moduleId) {
  const uint64_t lookup = tam::detail::lookupEpoch();
  const uint64_t options = tam::detail::optionEpoch();
  Contents& entries = table.entries;
  if (!table.index || table.index->lookupEpoch != lookup || table.index->optionEpoch != options) {
    auto index = std::make_unique<Table::Index>();
    bool lasting = true;
    for (auto group = entries.begin(); group != entries.end();) {
      const auto groupEnd = entries.upper_bound(group->first);
      const ref_count_ptr<TamOption>& key = group->first;
      ++index->groups;
      if (!key.isNull()) index->modules[key->moduleId()].groups.push_back(group);
      for (auto it = group; it != groupEnd; ++it) {
        const ref_count_ptr<TamOption>& option = it->second.option;
        if (option->type() != TamOption::TYPE_PRESENTS) continue;
        ref_count_ptr<TamOption> base = option->basedOn();
        if (base.isNull()) {
          lasting = false;
          continue;
        }
        Binding& of = index->modules[base->moduleId()];
        of.carried.push_back(Binding::Carried{&it->second, option, std::move(base)});
      }
      group = groupEnd;
    }
    index->lookupEpoch = lasting ? lookup : 0;
    index->optionEpoch = options;
    table.index = std::move(index);
  }
  Binding& binding = table.index->modules[moduleId];
  if (binding.prepared) return binding;
  binding.prepared = true;
  binding.othersInTable = binding.groups.size() != table.index->groups;
  for (Contents::iterator group : binding.groups) {
    const auto next = std::next(group);
    const bool single = next == entries.end() || entries.key_comp()(group->first, next->first);
    if (!single || !group->second.path.isEmpty()) binding.groupsBound = false;
  }
  std::vector<std::string> keys;
  std::unordered_map<std::string, int> sharing;  // carried entries per option and path
  std::unordered_set<const TamOption*> bases;
  keys.reserve(binding.carried.size());
  for (const Binding::Carried& c : binding.carried) {
    keys.push_back(entryKey(*c.base, c.presenting->path()));
    ++sharing[keys.back()];
    bases.insert(c.base.get());
  }
  // The entries the table has for the bases: all among the module's own options.
  std::unordered_set<std::string> stored;
  for (Contents::iterator group : binding.groups) {
    if (bases.count(group->first.get()) == 0) continue;
    const auto groupEnd = entries.upper_bound(group->first);
    for (auto it = group; it != groupEnd; ++it) stored.insert(entryKey(*it->first, it->second.path));
  }
  for (std::size_t i = 0; i < binding.carried.size(); ++i) {
    const Binding::Carried& c = binding.carried[i];
    if (c.base->scope() == TamOption::SCOPE_LEGACY || sharing[keys[i]] != 1 ||
        stored.count(keys[i]) != 0) {
      binding.direct = false;
    }
    const TamPath& path = c.presenting->path();
    if (path.isEmpty()) {
      binding.pathless.push_back(i);
    } else {
      binding.anyPath = true;
      binding.byFirstId[path.path()[0]].push_back(i);
    }
  }
  return binding;
}

// Carrying presented values and keeping the best entries in one step, from what the table's
// binding found: only the entries presented at positions that occur in the context path, and the
// module's own options, are looked at; the presented values are checked once per table (and
// again whenever a module or option changes). It does exactly what the two steps would do, in
// the same order wherever the host could tell, and declines (false, leaving the set as it was)
// under an observer that hears values, when a presented entry would not simply be stored, or when
// one is not valid for its base; the binding found is then handed to the two steps.
bool TamSelOptionSet::bindInOnePass(const ref_count_ptr<TamModule>& module,
                                    ContextPath& contextPath, Binding*& binding) {
  binding = nullptr;
  if (trace_ != nullptr && trace_->hearsValues()) return false;
  // Held so that whatever a callback does to this set, the table and its binding stay.
  const std::shared_ptr<Table> held = contents_;
  if (!held || held->entries.size() < kIndexedTable) return false;
  Binding& found = bindingFor(*held, module->id());
  const auto decline = [&]() {
    if (contents_ == held) binding = &found;
    return false;
  };
  if (!found.direct) return decline();
  const std::vector<Binding::Carried>& carried = found.carried;
  if (found.anyPath) contextPath.path();
  const uint64_t lookup = tam::detail::lookupEpoch();
  const uint64_t options = tam::detail::optionEpoch();
  if (found.validAtLookup != lookup || found.validAtOption != options) {
    std::size_t checked = 0;
    try {
      for (; checked < carried.size(); ++checked) {
        const Binding::Carried& c = carried[checked];
        if (!wellFormed(*c.from) || !c.base->validateValue(c.from->values[0])) break;
      }
    } catch (...) {
      // The entries before the one that failed are stored, as carrying them one by one would.
      for (std::size_t i = 0; i < checked; ++i) {
        const Binding::Carried& c = carried[i];
        if (contextPath.score(c.presenting->path()) < 0) continue;
        ownContents().emplace(c.base, TamSosEntry{c.base, c.presenting->path(), c.from->values,
                                                  c.from->howSet});
      }
      throw;
    }
    if (checked < carried.size()) return decline();
    found.validAtLookup = lookup;
    found.validAtOption = options;
  }
  if (contents_ != held) return decline();  // a callback changed the set: the two steps redo it

  // The presented entries that the binding keeps a candidate of: those without a position, and
  // those whose position starts with an identifier of the context path and occurs in it.
  std::vector<std::size_t> picked = found.pathless;
  if (!found.byFirstId.empty()) {
    std::unordered_set<std::string> asked;
    for (const std::string& id : contextPath.path().path()) {
      if (!asked.insert(id).second) continue;
      auto hit = found.byFirstId.find(id);
      if (hit != found.byFirstId.end()) {
        picked.insert(picked.end(), hit->second.begin(), hit->second.end());
      }
    }
    std::sort(picked.begin(), picked.end());
  }
  picked.erase(std::remove_if(picked.begin(), picked.end(),
                              [&](std::size_t i) {
                                return contextPath.score(carried[i].presenting->path()) < 0;
                              }),
               picked.end());

  // Per option of the module, in table order: its entries in the table, then the picked entries
  // presented for it, in the order they were presented.
  struct Group {
    const ref_count_ptr<TamOption>* option;
    Contents::iterator first;  // entries.end() when the table has none
    std::vector<std::size_t> picks;
  };
  Contents& entries = held->entries;
  std::vector<Group> groups;
  groups.reserve(found.groups.size() + picked.size());
  for (Contents::iterator first : found.groups) {
    groups.push_back(Group{&first->first, first, {}});
  }
  if (!picked.empty()) {
    std::unordered_map<const TamOption*, std::size_t> groupOf;
    for (std::size_t g = 0; g < groups.size(); ++g) groupOf[groups[g].option->get()] = g;
    bool added = false;
    for (std::size_t i : picked) {
      const ref_count_ptr<TamOption>& base = carried[i].base;
      auto known = groupOf.find(base.get());
      if (known == groupOf.end()) {
        known = groupOf.emplace(base.get(), groups.size()).first;
        groups.push_back(Group{&base, entries.end(), {}});
        added = true;
      }
      groups[known->second].picks.push_back(i);
    }
    if (added) {
      const auto before = entries.key_comp();
      std::sort(groups.begin(), groups.end(), [&](const Group& a, const Group& b) {
        return before(*a.option, *b.option);
      });
    }
  }

  struct Kept {
    const TamSosEntry* entry;  // null: the picked entry below
    std::size_t pick;
  };
  std::vector<Kept> kept;
  kept.reserve(groups.size());
  bool allOfModule = true;
  for (const Group& group : groups) {
    const ref_count_ptr<TamOption>& option = *group.option;
    // An option the module itself holds is found by its name without looking.
    if (option->listedBy_ != module.get()) {
      bool ofModule = true;
      try {
        module->getOption(option->name());
      } catch (const TamException& e) {
        // Any other failure of the lookup says nothing about the entry: it is kept.
        if (e.code() == kOptionNotInModuleCode) ofModule = false;
      }
      if (!ofModule) {
        allOfModule = false;
        continue;
      }
    }
    Kept best{nullptr, 0};
    int bestScore = -1;
    if (group.first != entries.end()) {
      const auto end = entries.upper_bound(group.first->first);
      for (auto it = group.first; it != end; ++it) {
        const int score = contextPath.score(it->second.path);
        if (score > bestScore) {
          best.entry = &it->second;
          bestScore = score;
        }
      }
    }
    for (std::size_t i : group.picks) {
      const int score = contextPath.score(carried[i].presenting->path());
      if (score > bestScore) {
        best = Kept{nullptr, i};
        bestScore = score;
      }
    }
    if (bestScore >= 0) kept.push_back(best);
  }
  if (picked.empty() && allOfModule && !found.othersInTable && found.groupsBound) return true;

  auto fresh = std::make_shared<Table>();
  for (const Kept& item : kept) {
    if (item.entry != nullptr) {
      auto stored =
          fresh->entries.emplace_hint(fresh->entries.end(), item.entry->option, *item.entry);
      stored->second.path = TamPath::EmptyPath;
      continue;
    }
    const Binding::Carried& c = carried[item.pick];
    fresh->entries.emplace_hint(fresh->entries.end(), c.base,
                                TamSosEntry{c.base, TamPath::EmptyPath, c.from->values,
                                            c.from->howSet});
  }
  changing();
  contents_.swap(fresh);
  return true;
}

// A set that binding to a node of `module` would leave exactly as it is, told without a lookup
// and without calling the host: nobody observes the set; every entry is one the module lists,
// for no position, one per option; no entry is presented for an option of the module itself (a
// base not known without a lookup counts as one); the module uses no option (used options take
// their values anew from above); and every public and private option of the module has its
// entry. Binding would then carry nothing, keep every entry as it stands, whatever the context
// path, and add no default: what a node's set holds after it was bound and its module's rules
// ran, when its module neither presents its own options nor uses others.
bool TamSelOptionSet::boundAlready(const TamModule& module) const {
  if (trace_ != nullptr) return false;
  std::size_t ownEntries = 0;
  const TamOption* previous = nullptr;
  for (const auto& item : contents()) {
    const TamOption* option = item.first.get();
    if (option == nullptr || option == previous || option->listedBy_ != &module ||
        !item.second.path.isEmpty()) {
      return false;
    }
    previous = option;
    if (option->type() == TamOption::TYPE_PRESENTS) {
      const TamOption* base = option->knownBase();
      if (base == nullptr || base->moduleId() == module.id()) return false;
    }
    if (option->scope() == TamOption::SCOPE_PUBLIC || option->scope() == TamOption::SCOPE_PRIVATE) {
      ++ownEntries;
    }
  }
  std::size_t needed = 0;
  for (const ref_count_ptr<TamOption>& option : *module.optionList()) {
    if (option->type() == TamOption::TYPE_USES) return false;
    if (option->scope() == TamOption::SCOPE_PUBLIC || option->scope() == TamOption::SCOPE_PRIVATE) {
      ++needed;
    }
  }
  return ownEntries == needed;
}

// Binds the set to a node of a module: presented values reach their base, the module's entries
// that best match the node's position are kept (and no others), and every option of the module
// gets an entry, used options with the values their providers above hold. A null node, like a
// node without a module, leaves the set as it is.
void TamSelOptionSet::setContext(const TamNode* node, bool skipPath) {
  if (node == nullptr) return;
  const ref_count_ptr<TamWindow> keep(window_);  // the host may drop its own in a callback
  tam::detail::BindingPass pass;
  TamNode* host = asHostNode(node);
  if (!host->hasModule()) return;
  const ref_count_ptr<TamModule> module = host->module();
  if (boundAlready(*module)) {
    contextNode_ = node;
    return;
  }
  ContextPath contextPath(skipPath ? nullptr : host);
  Binding* binding = nullptr;
  if (!bindInOnePass(module, contextPath, binding)) {
    carryPresentedValues(module->id(), contextPath, binding);
    keepBestEntries(module, contextPath);
  }
  contextNode_ = node;
  const std::shared_ptr<const TamModule::OptionList> options = module->optionList();
  for (const ref_count_ptr<TamOption>& option : *options) {
    if (option->type() == TamOption::TYPE_USES) {
      ensureContains(option);
      inheritUsedOption(*this, host, option);
    } else if (option->scope() == TamOption::SCOPE_PUBLIC ||
               option->scope() == TamOption::SCOPE_PRIVATE) {
      ensureContains(option);
    }
  }
}

// Values presented for this module's options reach their base, tied to the presented position.
// The walk holds the table it reads: resolving a base may call the host, and whatever the host
// does to this set meanwhile, a table held elsewhere is copied before it changes.
// An entry whose option and path have no entry yet, and which no other presented entry shares,
// is stored as set() would store it, without set()'s scan over the option's entries; when its
// position does not occur in the context path, the rebinding would drop it at once, so it is only
// checked. One module presenting many positions of one option is thus carried in one pass. Under
// an observer that hears values, set() does it all.
// A binding found for the table already lists the presented entries; they are taken from it.
void TamSelOptionSet::carryPresentedValues(const std::string& moduleId, ContextPath& contextPath,
                                           const Binding* binding) {
  struct Carried {
    const TamSosEntry* from;
    ref_count_ptr<TamOption> presenting;
    ref_count_ptr<TamOption> base;
    std::string key;
  };
  std::vector<Carried> carried;
  std::shared_ptr<const Table> held = contents_;
  if (!held) return;
  const Contents& table = held->entries;
  if (binding != nullptr) {
    carried.reserve(binding->carried.size());
    for (const Binding::Carried& c : binding->carried) {
      carried.push_back(Carried{c.from, c.presenting, c.base, std::string()});
    }
  } else {
    for (const auto& item : table) {
      const ref_count_ptr<TamOption>& option = item.second.option;
      if (option->type() != TamOption::TYPE_PRESENTS) continue;
      ref_count_ptr<TamOption> base = option->basedOn();
      if (base.isNull() || base->moduleId() != moduleId) continue;
      carried.push_back(Carried{&item.second, option, std::move(base), std::string()});
    }
  }
  if (carried.empty()) return;
  const bool quiet = trace_ == nullptr || !trace_->hearsValues();
  std::unordered_map<std::string, int> sharing;  // carried entries per option and path
  std::unordered_set<std::string> stored;
  if (quiet) {
    std::unordered_set<const TamOption*> bases;
    for (Carried& c : carried) {
      c.key = entryKey(*c.base, c.presenting->path());
      ++sharing[c.key];
      bases.insert(c.base.get());
    }
    for (const auto& item : table) {
      if (bases.count(item.first.get()) != 0) stored.insert(entryKey(*item.first, item.second.path));
    }
  }
  // Decided while the table is held, done in the same order once it is let go.
  enum class Way { kCheck, kDirect, kSet };
  struct Store {
    Way way;
    TamSosEntry entry;  // the base, the presented position and the values; for kCheck the
                        // base and the first value only
    ref_count_ptr<TamOption> presenting;
  };
  std::vector<Store> stores;
  stores.reserve(carried.size());
  for (const Carried& c : carried) {
    const bool direct = quiet && c.base->scope() != TamOption::SCOPE_LEGACY &&
                        sharing[c.key] == 1 && stored.count(c.key) == 0;
    Store store{direct ? Way::kDirect : Way::kSet, TamSosEntry(), c.presenting};
    store.entry.option = c.base;
    if (direct && contextPath.score(c.presenting->path()) < 0) {
      store.way = Way::kCheck;
      store.entry.values.push_back(c.from->values.at(0));
    } else {
      store.entry.path = c.presenting->path();
      store.entry.values = c.from->values;
      store.entry.howSet = c.from->howSet;
    }
    stores.push_back(std::move(store));
  }
  carried.clear();
  held.reset();  // the table may now be changed in place
  for (const Store& store : stores) {
    if (store.way == Way::kCheck) {
      const ref_count_ptr<TamValue>& first = store.entry.values[0];
      if (!store.entry.option->validateValue(first)) {
        throw TamException(kInvalidValueCode, first->displayString(), store.entry.option->name(),
                           "");
      }
      continue;
    }
    if (store.way == Way::kDirect) {
      checkEntry(store.entry);
      if (!store.entry.option->validateValue(store.entry.values[0])) {
        throw TamException(kInvalidValueCode, store.entry.values[0]->displayString(),
                           store.entry.option->name(), "");
      }
      ownContents().emplace(store.entry.option, store.entry);
      continue;
    }
    const tam::detail::NodeTrace::Source source(trace_, TamObserver::CAUSE_PRESENTED,
                                                store.presenting, nullptr);
    set(store.entry);
  }
}

// Keeps, per option of the module, the entry whose path best matches the context path (the
// earlier one on a tie), moved to the empty path. Entries of other modules, of options the module
// no longer has, and of paths that do not occur in the context path are dropped. The entries of
// one option lie together in the table, so each option is decided in one step. A table that
// already holds exactly what would be kept (a set bound to this node before) is left as it is,
// shared with whoever shares it.
void TamSelOptionSet::keepBestEntries(const ref_count_ptr<TamModule>& module,
                                      ContextPath& contextPath) {
  struct Kept {
    const TamSosEntry* entry;
    bool moved;  // written for another path than the empty one
  };
  std::vector<Kept> kept;
  const Contents& contents = this->contents();
  kept.reserve(contents.size());
  bool unchanged = true;
  for (auto group = contents.begin(); group != contents.end();) {
    auto groupEnd = contents.upper_bound(group->first);
    const ref_count_ptr<TamOption>& option = group->first;
    bool ofModule = !option.isNull() && option->moduleId() == module->id();
    // An option the module itself holds is found by its name without looking.
    if (ofModule && option->listedBy_ != module.get()) {
      try {
        module->getOption(option->name());
      } catch (const TamException& e) {
        // Any other failure of the lookup says nothing about the entry: it is kept.
        if (e.code() == kOptionNotInModuleCode) ofModule = false;
      }
    }
    const TamSosEntry* best = nullptr;
    int bestScore = -1;
    int entries = 0;
    for (auto it = group; it != groupEnd; ++it, ++entries) {
      if (!ofModule) continue;
      const int score = contextPath.score(it->second.path);
      if (score > bestScore) {
        best = &it->second;
        bestScore = score;
      }
    }
    if (best != nullptr) kept.push_back(Kept{best, !best->path.isEmpty()});
    if (best == nullptr || entries > 1 || !best->path.isEmpty()) unchanged = false;
    group = groupEnd;
  }
  if (unchanged) return;
  auto fresh = std::make_shared<Table>();
  std::vector<TamPath> movedFrom;  // for the observer: the path each moved entry was written for
  const bool tell = trace_ != nullptr && trace_->hearsValues();
  for (const Kept& item : kept) {
    auto stored = fresh->entries.emplace_hint(fresh->entries.end(), item.entry->option, *item.entry);
    if (!item.moved) continue;
    if (tell) movedFrom.push_back(item.entry->path);
    stored->second.path = TamPath::EmptyPath;
  }
  changing();
  contents_.swap(fresh);
  if (!tell) return;
  std::size_t next = 0;
  for (const Kept& item : kept) {
    if (!item.moved) continue;
    auto range = contents_->entries.equal_range(item.entry->option);
    if (range.first != range.second) trace_->rebound(movedFrom[next], range.first->second);
    ++next;
  }
}
