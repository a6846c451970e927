#include "model/ConstraintCache.h"

namespace tam {
namespace detail {

std::string ConstraintCache::keyOf(char kind, std::string_view text) {
  std::string key(1, kind);
  key.append(text.data(), text.size());
  return key;
}

ref_count_ptr<TamOptionValue> ConstraintCache::find(char kind, std::string_view text) const {
  auto it = entries_.find(keyOf(kind, text));
  return it == entries_.end() ? ref_count_ptr<TamOptionValue>() : it->second;
}

void ConstraintCache::keep(char kind, std::string_view text,
                           const ref_count_ptr<TamOptionValue>& constraint) {
  if (entries_.size() < kMaxEntries) entries_.emplace(keyOf(kind, text), constraint);
}

ref_count_ptr<TamValue> ConstraintCache::shareInteger(const ref_count_ptr<TamValue>& value) {
  auto it = integers_.find(value->intValue());
  if (it != integers_.end()) return it->second;
  if (integers_.size() < kMaxEntries) integers_.emplace(value->intValue(), value);
  return value;
}

}  // namespace detail
}  // namespace tam
