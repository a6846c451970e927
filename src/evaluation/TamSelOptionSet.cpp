// The selected option set: entries per option and path, the override decision on set, the merge
// of host choices, and the rebinding of a set to a node of a module.
#include "tam/TamSelOptionSet.h"

#include <algorithm>
#include <cstddef>
#include <map>
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

const TamSelOptionSet::Contents& TamSelOptionSet::emptyContents() {
  static const Contents empty;
  return empty;
}

// A table shared with other sets is copied before this set changes it; the others keep theirs.
// A copy that fails for want of memory leaves the set as it was.
TamSelOptionSet::Contents& TamSelOptionSet::ownContents() {
  changing();
  if (!contents_) {
    contents_ = std::make_shared<Contents>();
  } else if (contents_.use_count() > 1) {
    contents_ = std::make_shared<Contents>(*contents_);
  }
  return *contents_;
}

TamSelOptionSet::Contents& TamSelOptionSet::ownContentsForRead() const {
  if (!contents_) {
    contents_ = std::make_shared<Contents>();
  } else if (contents_.use_count() > 1) {
    std::shared_ptr<Contents> own = std::make_shared<Contents>(*contents_);
    retired_.reserve(retired_.size() + 1);
    retired_.push_back(contents_);
    contents_.swap(own);
  }
  return *contents_;
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
  TamSosEntry entry;
  entry.option = option;
  entry.path = path;
  entry.values.push_back(option->defaultValue());
  entry.howSet.push_back(HOWSET_DEFAULT);
  const TamSosEntry& stored = ownContentsForRead().emplace(option, std::move(entry))->second;
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
  const bool remember = TamNode::insideWalk();
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
  ref_count_ptr<TamOption> provided = known != nullptr ? known->provided : ref_count_ptr<TamOption>();
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
                                           provider, provided});
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
    if (node_ != nullptr) {
      path_ = contextPathOf(node_);
      node_ = nullptr;
    }
    return path_.compare(path);
  }

 private:
  TamNode* node_;
  TamPath path_;
};

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
  ContextPath contextPath(skipPath ? nullptr : host);
  carryPresentedValues(module->id(), contextPath);
  keepBestEntries(module, contextPath);
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
void TamSelOptionSet::carryPresentedValues(const std::string& moduleId,
                                           ContextPath& contextPath) {
  struct Carried {
    const TamSosEntry* from;
    ref_count_ptr<TamOption> presenting;
    ref_count_ptr<TamOption> base;
    std::string key;
  };
  std::vector<Carried> carried;
  std::shared_ptr<const Contents> table = contents_;
  if (!table) return;
  for (const auto& item : *table) {
    const ref_count_ptr<TamOption>& option = item.second.option;
    if (option->type() != TamOption::TYPE_PRESENTS) continue;
    ref_count_ptr<TamOption> base = option->basedOn();
    if (base.isNull() || base->moduleId() != moduleId) continue;
    carried.push_back(Carried{&item.second, option, std::move(base), std::string()});
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
    for (const auto& item : *table) {
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
  table.reset();  // the table may now be changed in place
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
  auto fresh = std::make_shared<Contents>();
  std::vector<TamPath> movedFrom;  // for the observer: the path each moved entry was written for
  const bool tell = trace_ != nullptr && trace_->hearsValues();
  for (const Kept& item : kept) {
    auto stored = fresh->emplace_hint(fresh->end(), item.entry->option, *item.entry);
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
    auto range = contents_->equal_range(item.entry->option);
    if (range.first != range.second) trace_->rebound(movedFrom[next], range.first->second);
    ++next;
  }
}
