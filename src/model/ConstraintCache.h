// ConstraintCache holds the ranges met while one module text is read, by the kind of number read
// and the range as written, so that options declared with the same range share one constraint
// (constraints are immutable). It lives for one read and serves one thread, like the module; it
// keeps at most kMaxEntries ranges, so a text of ranges all different costs it little.
#ifndef TAM_SRC_MODEL_CONSTRAINTCACHE_H
#define TAM_SRC_MODEL_CONSTRAINTCACHE_H

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tam/TamOptionValue.h"
#include "tam/ref_count.h"

namespace tam {
namespace detail {

class ConstraintCache {
 public:
  static constexpr std::size_t kMaxEntries = 64;

  // The constraint kept under `kind` and `text`, or null.
  ref_count_ptr<TamOptionValue> find(char kind, std::string_view text) const;
  // Keeps `constraint` under `kind` and `text` while there is room.
  void keep(char kind, std::string_view text, const ref_count_ptr<TamOptionValue>& constraint);

 private:
  static std::string keyOf(char kind, std::string_view text);

  std::unordered_map<std::string, ref_count_ptr<TamOptionValue>> entries_;
};

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_MODEL_CONSTRAINTCACHE_H
