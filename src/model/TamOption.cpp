#include "tam/TamOption.h"

#include <atomic>
#include <cmath>
#include <mutex>
#include <set>
#include <typeinfo>
#include <unordered_set>
#include <utility>

#include "model/LookupEpoch.h"
#include "model/OptionBlocks.h"
#include "model/OptionIdTable.h"
#include "tam/TamException.h"
#include "tam/TamModule.h"
#include "tam/TamWindow.h"

namespace {

constexpr int kMisuseCode = 2;
constexpr int kMixedValueTypesCode = 1;
constexpr int kInvalidDefaultCode = 105;
constexpr int kNoSuchOptionIdCode = 110;
constexpr int kBaseValueTypeCode = 112;
constexpr int kValueNotValidCode = 204;

// Options of windows on different threads are made and freed at the same time: the id map is
// guarded by this mutex (never destroyed, like the map).
std::mutex& idMapMutex() {
  static std::mutex* mutex = new std::mutex();
  return *mutex;
}

// Never destroyed, so options that outlive static destruction can still leave it.
tam::detail::OptionIdTable& optionIds() {
  static tam::detail::OptionIdTable* ids = new tam::detail::OptionIdTable();
  return *ids;
}

// The value type a constraint stands for: fixed by the kind for the any-value kinds, by the
// lower bound for a range, by the payload otherwise.
TamValue::ValueType constraintValueType(const ref_count_ptr<TamOptionValue>& constraint) {
  switch (constraint->kind()) {
    case TamOptionValue::KIND_ANY_STRING:
      return TamValue::VT_STRING;
    case TamOptionValue::KIND_ANY_INT:
      return TamValue::VT_INT;
    case TamOptionValue::KIND_ANY_REAL:
      return TamValue::VT_REAL;
    case TamOptionValue::KIND_BOOLEAN:
      return TamValue::VT_BOOL;
    case TamOptionValue::KIND_RANGE:
      return constraint->range().first->value()->type();
    default:
      return constraint->value()->type();
  }
}

// Follows the bases of `start` (which is itself based) until an option satisfies `stop`, and
// returns that option. Every link is resolved anew through the window. A chain that comes back to
// an option already passed, or that runs longer than kMaxBaseChain links, would never end: it
// raises kBaseChainLoopCode naming the option where the walk started. Options are told apart by
// id: ids are never reused, so an option freed during the walk (a refresh may replace modules)
// is never mistaken for a later one at the same address.
template <class Stop>
ref_count_ptr<TamOption> walkBases(const TamOption& start, Stop stop) {
  const ref_count_ptr<TamWindow> keep = start.window();  // the host may drop its own meanwhile
  auto refuse = [&start](const std::string& what) {
    throw TamException(TamOption::kBaseChainLoopCode,
                       "Option base chain " + what + " at " + start.moduleId() + ":" + start.name(),
                       std::string(), std::string());
  };
  ref_count_ptr<TamOption> current = start.basedOn();
  // Most chains have one link: no set of the options seen is needed to walk it.
  if (current->id() != start.id() &&
      (current->type() == TamOption::TYPE_DECLARED || stop(*current))) {
    return current;
  }
  std::set<int> seen{start.id()};
  for (int links = 1;; ++links) {
    if (!seen.insert(current->id()).second) refuse("loops");
    if (links > TamOption::kMaxBaseChain) {
      refuse("too long (more than " + std::to_string(TamOption::kMaxBaseChain) + " links)");
    }
    if (current->type() == TamOption::TYPE_DECLARED || stop(*current)) return current;
    current = current->basedOn();
  }
}

// The options of the window that name `target` as their base, in module order and, within a
// module, in option-name order; only the first when `firstOnly`. References are matched by module
// id and option name, not by identity. Legacy options are not looked at.
std::vector<ref_count_ptr<TamOption>> basedOnThis(const TamOption& target, bool firstOnly) {
  std::vector<ref_count_ptr<TamOption>> found;
  ref_count_ptr<TamWindow> window = target.window();
  for (const auto& entry : window->moduleMap()) {
    if (!entry.second) continue;
    for (const ref_count_ptr<TamOption>& option : entry.second->options()) {
      if (option->type() != TamOption::TYPE_DECLARED &&
          option->basedOnModuleId() == target.moduleId() &&
          option->basedOnName() == target.name()) {
        found.push_back(option);
        if (firstOnly) return found;
      }
    }
  }
  return found;
}

}  // namespace

TamOption::TamOption(TamWindow* window, SharedId moduleId, const std::string& name, Scope scope)
    : name_(name), moduleId_(std::move(moduleId)), window_(window), scope_(scope) {
  id_ = idCounter();
  std::lock_guard<std::mutex> lock(idMapMutex());
  optionIds().insert(id_, this);
}

TamOption::TamOption(const ref_count_ptr<TamOption>& base, SharedId moduleId,
                     const std::string& name, const TamPath& path)
    : name_(name),
      moduleId_(std::move(moduleId)),
      extra_(new Extra{std::string(), base->moduleId(), base->name_, path, nullptr, 0, nullptr}),
      window_(base->window_),
      scope_(SCOPE_PUBLIC),
      type_(TYPE_PRESENTS) {
  id_ = idCounter();
  std::lock_guard<std::mutex> lock(idMapMutex());
  optionIds().insert(id_, this);
}

TamOption::TamOption(const ref_count_ptr<TamOption>& base, SharedId moduleId,
                     const std::string& name, Scope scope, Type type)
    : name_(name),
      moduleId_(std::move(moduleId)),
      extra_(new Extra{std::string(), base->moduleId(), base->name_, TamPath(), nullptr, 0,
                       nullptr}),
      window_(base->window_),
      scope_(scope),
      type_(type) {
  // The id is taken before the check, so a refused construction uses up an id; the option never
  // enters the id map.
  id_ = idCounter();
  if (type != TYPE_IMPLEMENTS && type != TYPE_USES) {
    throw TamException(
        kMisuseCode,
        "Option c'tor called for implements or uses with wrong type (i.e. not implements or uses)",
        std::string(), std::string());
  }
  std::lock_guard<std::mutex> lock(idMapMutex());
  optionIds().insert(id_, this);
}

TamOption::~TamOption() {
  std::lock_guard<std::mutex> lock(idMapMutex());
  optionIds().erase(id_, this);
}

int TamOption::idCounter() {
  static std::atomic<int> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

const TamOption::Extra& TamOption::noExtra() {
  static const Extra* none = new Extra();
  return *none;
}

TamOption::Extra& TamOption::extra() const {
  if (!extra_) extra_.reset(new Extra());
  return *extra_;
}

void TamOption::setDeclaration(std::shared_ptr<const std::string> text, std::size_t begin,
                               std::size_t size) {
  declarationBegin_ = static_cast<std::uint32_t>(begin);
  declarationSize_ = static_cast<std::uint32_t>(size);
  declarationText_ = std::move(text);
}

std::string TamOption::declaration() const {
  if (!declarationText_) return std::string();
  return declarationText_->substr(declarationBegin_, declarationSize_);
}

void TamOption::setDescription(std::string description) {
  if (description.empty() && !extra_) return;
  extra().description = std::move(description);
}

ref_count_ptr<TamWindow> TamOption::window() const { return ref_count_ptr<TamWindow>(window_); }

// The found epoch (only a found base is used again) is read before the lookup, which may load a
// module through the host.
ref_count_ptr<TamOption> TamOption::basedOn() const {
  if (basedOnName().empty()) return ref_count_ptr<TamOption>();
  const uint64_t epoch = tam::detail::foundEpoch();
  Extra& based = *extra_;
  if (based.baseFoundAt == epoch && based.baseFound != nullptr) {
    return ref_count_ptr<TamOption>(based.baseFound);
  }
  ref_count_ptr<TamOption> base = findOption(window(), based.basedOnModuleId, based.basedOnName);
  based.baseFound = base.get();
  based.baseFoundAt = epoch;
  return base;
}

TamOption* TamOption::knownBase() const {
  if (basedOnName().empty()) return nullptr;
  const Extra& based = *extra_;
  return based.baseFoundAt == tam::detail::foundEpoch() ? based.baseFound : nullptr;
}

ref_count_ptr<TamOption> TamOption::realOption() const {
  if (type_ == TYPE_DECLARED) return ref_count_ptr<TamOption>(const_cast<TamOption*>(this));
  return walkBases(*this, [](const TamOption&) { return false; });
}

TamValue::ValueType TamOption::valueType() const { return realOption()->declaredValueType_; }

const TamOption::ConstraintList& TamOption::ownValues() const {
  static const ConstraintList* const none = new ConstraintList();
  return ownValues_ ? *ownValues_ : *none;
}

TamOption::ConstraintList& TamOption::ownValuesToChange() {
  if (!ownValues_) {
    ownValues_ = std::make_shared<ConstraintList>();
  } else if (ownValues_.use_count() > 1) {
    ownValues_ = std::make_shared<ConstraintList>(*ownValues_);
  }
  return *ownValues_;
}

const std::vector<ref_count_ptr<TamOptionValue>>& TamOption::values() const {
  if (type_ == TYPE_DECLARED || hasOwnValues()) return ownValues();
  // The option found is held by its module, so its constraint list outlives this handle.
  ref_count_ptr<TamOption> source =
      walkBases(*this, [](const TamOption& option) { return option.hasOwnValues(); });
  return source->ownValues();
}

ref_count_ptr<TamValue> TamOption::defaultValue() const {
  // A default of an option between this one and the real option is not inherited.
  if (type_ != TYPE_DECLARED && ownDefault_) return ownDefault_;
  ref_count_ptr<TamOption> real = realOption();
  if (real->ownDefault_) return real->ownDefault_;
  return TamValue::createUnset();
}

namespace {

// Lists shorter than this are scanned: building a set would cost more than it saves.
constexpr std::size_t kIndexedValueList = 32;

// The key of a value of one of the library's own kinds: its kind and its payload, as the kinds
// compare them (an integer never equals a real, 0.0 equals -0.0, NaN equals nothing). Values of
// other classes (a host's own) have none: their equality is their own to decide.
bool valueKey(const TamValue& value, std::string& key) {
  const std::type_info& kind = typeid(value);
  if (kind == typeid(TamIntValue)) {
    key = "i" + std::to_string(value.intValue());
  } else if (kind == typeid(TamStringValue)) {
    key = "s" + value.strValue();
  } else if (kind == typeid(TamBoolValue)) {
    key = value.boolValue() ? "b1" : "b0";
  } else if (kind == typeid(TamRealValue)) {
    double real = value.realValue();
    if (std::isnan(real)) return false;
    if (real == 0.0) real = 0.0;
    key.assign("r");
    key.append(reinterpret_cast<const char*>(&real), sizeof real);
  } else {
    return false;
  }
  return true;
}

}  // namespace

// The enumerated values of the library's own kinds, and every other constraint to ask in turn.
struct TamOption::ValueIndex {
  std::unordered_set<std::string> enumerated;
  std::vector<ref_count_ptr<TamOptionValue>> others;
};

bool TamOption::ownValuesAccept(const ref_count_ptr<TamValue>& value) const {
  std::string key;
  const ConstraintList& own = ownValues();
  if (own.size() < kIndexedValueList || !valueKey(*value, key)) {
    for (const ref_count_ptr<TamOptionValue>& constraint : own) {
      if (constraint->accepts(value)) return true;
    }
    return false;
  }
  Extra& rare = extra();
  if (!rare.valueIndex) {
    auto index = std::make_shared<ValueIndex>();
    std::string enumerated;
    for (const ref_count_ptr<TamOptionValue>& constraint : own) {
      const TamOptionValue& kind = *constraint;
      if (typeid(kind) == typeid(TamOptionEnumValue) && constraint->value() &&
          valueKey(*constraint->value(), enumerated)) {
        index->enumerated.insert(enumerated);
      } else {
        index->others.push_back(constraint);
      }
    }
    rare.valueIndex = std::move(index);
  }
  // The handle keeps the index while the constraints run, which cannot change the list anyway.
  const std::shared_ptr<const ValueIndex> index = rare.valueIndex;
  if (index->enumerated.count(key) != 0) return true;
  for (const ref_count_ptr<TamOptionValue>& constraint : index->others) {
    if (constraint->accepts(value)) return true;
  }
  return false;
}

bool TamOption::validateValue(const ref_count_ptr<TamValue>& value) const {
  if (!value) return false;
  if (value->type() == TamValue::VT_UNSET) return true;
  if (type_ == TYPE_DECLARED || hasOwnValues()) return ownValuesAccept(value);
  ref_count_ptr<TamOption> source =
      walkBases(*this, [](const TamOption& option) { return option.hasOwnValues(); });
  return source->ownValuesAccept(value);
}

void TamOption::checkValue(const ref_count_ptr<TamOptionValue>& constraint) {
  TamValue::ValueType type = constraintValueType(constraint);
  if (type_ == TYPE_DECLARED) {
    if (declaredValueType_ != TamValue::VT_UNSET && declaredValueType_ != type) {
      throw TamException(kMixedValueTypesCode,
                         "Tried to mix value types in option " + moduleId() + ":" + name_,
                         std::string(), std::string());
    }
    declaredValueType_ = type;
    return;
  }
  if (type != valueType()) {
    throw TamException(kBaseValueTypeCode, std::string(), std::string(), std::string());
  }
  // A based option may only narrow its base; a range is taken without that test.
  if (constraint->kind() != TamOptionValue::KIND_RANGE) {
    ref_count_ptr<TamOption> base = basedOn();
    ref_count_ptr<TamValue> value = constraint->value();
    if (!base->validateValue(value)) {
      throw TamException(kValueNotValidCode, value->displayString(),
                         base->moduleId() + ":" + base->name(), std::string());
    }
  }
}

void TamOption::addValue(const ref_count_ptr<TamOptionValue>& constraint) {
  checkValue(constraint);
  ownValuesToChange().push_back(constraint);
  if (extra_) extra_->valueIndex.reset();
  tam::detail::optionsChanged();
}

// A constraint refused part way leaves the option holding those before it, as adding them one
// by one would.
void TamOption::addValues(const ConstraintList& constraints, std::shared_ptr<ConstraintList> list) {
  for (std::size_t i = 0; i < constraints.size(); ++i) {
    try {
      checkValue(constraints[i]);
    } catch (...) {
      if (i > 0) {
        ConstraintList& own = ownValuesToChange();
        own.insert(own.end(), constraints.begin(), constraints.begin() + static_cast<long>(i));
        if (extra_) extra_->valueIndex.reset();
        tam::detail::optionsChanged();
      }
      throw;
    }
  }
  ownValues_ = std::move(list);
  if (extra_) extra_->valueIndex.reset();
  tam::detail::optionsChanged();
}

void TamOption::setDefaultValue(const ref_count_ptr<TamValue>& value) {
  // A null handle drops the option's own default.
  if (value && !validateValue(value)) {
    throw TamException(kInvalidDefaultCode, value->displayString(), std::string(), std::string());
  }
  ownDefault_ = value;
}

void TamOption::clearValues() {
  if (ownValues_ && ownValues_.use_count() == 1) {
    ownValues_->clear();
  } else {
    ownValues_.reset();
  }
  if (extra_) extra_->valueIndex.reset();
  tam::detail::optionsChanged();
  declaredValueType_ = TamValue::VT_UNSET;
  ownDefault_ = ref_count_ptr<TamValue>();
}

void TamOption::rebase(const ref_count_ptr<TamOption>& base, const TamPath& path) {
  Extra& based = extra();
  based.basedOnModuleId = base->moduleId();
  based.basedOnName = base->name_;
  based.path = path;
  based.baseFoundAt = 0;
  tam::detail::optionsChanged();
}

bool TamOption::isReferenced() const { return !basedOnThis(*this, true).empty(); }

std::vector<ref_count_ptr<TamOption>> TamOption::references() const {
  return basedOnThis(*this, false);
}

ref_count_ptr<TamOption> TamOption::findOption(const ref_count_ptr<TamWindow>& window,
                                               const std::string& moduleId,
                                               const std::string& optionName, bool external) {
  return window->getModule(moduleId, external)->getOption(optionName);
}

ref_count_ptr<TamOption> TamOption::findOption(const ref_count_ptr<TamWindow>& window,
                                               const std::string& moduleId,
                                               const std::string& optionName) {
  return findOption(window, moduleId, optionName, false);
}

void* TamOption::operator new(std::size_t size) {
  return tam::detail::OptionBlocks::allocate(size);
}

void TamOption::operator delete(void* option) noexcept {
  tam::detail::OptionBlocks::release(option);
}

// The option must belong to a window the calling thread works on: another thread could be
// freeing it meanwhile.
ref_count_ptr<TamOption> TamOption::optionForId(int id) {
  std::lock_guard<std::mutex> lock(idMapMutex());
  TamOption* option = optionIds().find(id);
  if (option == nullptr) {
    throw TamException(kNoSuchOptionIdCode, std::string(), std::string(), std::string());
  }
  return ref_count_ptr<TamOption>(option);
}
