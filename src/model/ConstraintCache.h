// ConstraintCache holds the ranges met while one module text is read, by the kind of number read
// and the range as written, so that options declared with the same range share one constraint
// (constraints are immutable), and likewise the integer defaults, so that options defaulting to
// the same number share one value (values are immutable too). It lives for one read and serves
// one thread, like the module; it keeps at most kMaxEntries of each, so a text of ranges or
// defaults all different costs it little. The rule parser keeps the integer literals of one rule
// text in one the same way.
#ifndef TAM_SRC_MODEL_CONSTRAINTCACHE_H
#define TAM_SRC_MODEL_CONSTRAINTCACHE_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tam/TamOptionValue.h"
#include "tam/TamValue.h"
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
  // The list kept holding the same constraints as `constraints`, in the same order, else a new
  // list of them, kept while there is room.
  using List = std::vector<ref_count_ptr<TamOptionValue>>;
  std::shared_ptr<List> shareList(const List& constraints);
  // The integer value kept for `value`, else a new one, kept while there is room.
  ref_count_ptr<TamValue> integer(int value);

 private:
  static std::string keyOf(char kind, std::string_view text);

  // The constraints kept under a kind alone (an empty text), looked up without a key: the
  // unrestricted constraint of each kind, met once per option.
  struct Unrestricted {
    char kind;
    ref_count_ptr<TamOptionValue> constraint;
  };
  static constexpr std::size_t kMaxUnrestricted = 8;
  Unrestricted unrestricted_[kMaxUnrestricted] = {};
  std::size_t unrestrictedCount_ = 0;
  std::unordered_map<std::string, ref_count_ptr<TamOptionValue>> entries_;
  // The integers from 0 to kSmallIntegers - 1, the ones texts use most, found by their value;
  // the others through the map.
  static constexpr int kSmallIntegers = 64;
  ref_count_ptr<TamValue> smallIntegers_[kSmallIntegers];
  std::unordered_map<int, ref_count_ptr<TamValue>> integers_;
  std::unordered_map<std::string, std::shared_ptr<List>> lists_;  // by the constraints' addresses
};

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_MODEL_CONSTRAINTCACHE_H
