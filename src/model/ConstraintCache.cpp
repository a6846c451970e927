#include "model/ConstraintCache.h"

namespace tam {
namespace detail {

std::string ConstraintCache::keyOf(char kind, std::string_view text) {
  std::string key(1, kind);
  key.append(text.data(), text.size());
  return key;
}

ref_count_ptr<TamOptionValue> ConstraintCache::find(char kind, std::string_view text) const {
  if (text.empty()) {
    for (std::size_t i = 0; i < unrestrictedCount_; ++i) {
      if (unrestricted_[i].kind == kind) return unrestricted_[i].constraint;
    }
  }
  auto it = entries_.find(keyOf(kind, text));
  return it == entries_.end() ? ref_count_ptr<TamOptionValue>() : it->second;
}

void ConstraintCache::keep(char kind, std::string_view text,
                           const ref_count_ptr<TamOptionValue>& constraint) {
  if (text.empty() && unrestrictedCount_ < kMaxUnrestricted) {
    unrestricted_[unrestrictedCount_++] = {kind, constraint};
    return;
  }
  if (entries_.size() < kMaxEntries) entries_.emplace(keyOf(kind, text), constraint);
}

std::shared_ptr<ConstraintCache::List> ConstraintCache::shareList(const List& constraints) {
  std::string key;
  for (const ref_count_ptr<TamOptionValue>& constraint : constraints) {
    const TamOptionValue* address = constraint.get();
    key.append(reinterpret_cast<const char*>(&address), sizeof address);
  }
  auto it = lists_.find(key);
  if (it != lists_.end()) return it->second;
  std::shared_ptr<List> list = std::make_shared<List>(constraints);
  if (lists_.size() < kMaxEntries) lists_.emplace(std::move(key), list);
  return list;
}

ref_count_ptr<TamValue> ConstraintCache::integer(int value) {
  if (value >= 0 && value < kSmallIntegers) {
    ref_count_ptr<TamValue>& kept = smallIntegers_[value];
    if (!kept) kept = TamValue::createInt(value);
    return kept;
  }
  auto it = integers_.find(value);
  if (it != integers_.end()) return it->second;
  ref_count_ptr<TamValue> made = TamValue::createInt(value);
  if (integers_.size() < kMaxEntries) integers_.emplace(value, made);
  return made;
}

}  // namespace detail
}  // namespace tam
