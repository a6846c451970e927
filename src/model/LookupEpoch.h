// The lookup epoch: a process-wide count that moves on whenever the answer to looking a module
// up by id in a window, or an option up by name in a module, may change (a module created,
// deleted or queued for refresh, an option entered or removed, a window destroyed). A lookup
// remembered together with the epoch it was made in may be used again while the epoch stays
// the same; the counts are never reused, so a window or option allocated where an old one was
// never matches a remembered lookup.
//
// The found epoch moves on only with the changes that can make a lookup that succeeded give
// another answer or none, or call the host where it did not: a module deleted or queued for
// refresh, an option removed, a module option entered under the name of a legacy option (which
// it then hides), a window destroyed. Entering modules and options under new names leaves it
// alone, so a successful lookup remembered with it survives the modules a host loads lazily
// while a tree is evaluated. Only caches of successful lookups by name may use it; whatever
// depends on what a window or module holds (option lists, bindings) keeps to the lookup epoch.
// Every move of the found epoch is also a move of the lookup epoch.
#ifndef TAM_SRC_MODEL_LOOKUPEPOCH_H
#define TAM_SRC_MODEL_LOOKUPEPOCH_H

#include <atomic>
#include <cstdint>

namespace tam {
namespace detail {

extern std::atomic<std::uint64_t> lookupEpochCount;

inline std::uint64_t lookupEpoch() { return lookupEpochCount.load(std::memory_order_acquire); }
inline void lookupsChanged() { lookupEpochCount.fetch_add(1, std::memory_order_acq_rel); }

extern std::atomic<std::uint64_t> foundEpochCount;

inline std::uint64_t foundEpoch() { return foundEpochCount.load(std::memory_order_acquire); }
// A removal or replacement: moves both epochs on.
inline void foundLookupsChanged() {
  foundEpochCount.fetch_add(1, std::memory_order_acq_rel);
  lookupsChanged();
}

// The option epoch: moves on whenever what an option accepts or is based on may change (its
// constraints given or cleared, its base or presented position replaced). A check of values
// against options remembered together with both epochs may be used again while neither moves.
extern std::atomic<std::uint64_t> optionEpochCount;

inline std::uint64_t optionEpoch() { return optionEpochCount.load(std::memory_order_acquire); }
inline void optionsChanged() { optionEpochCount.fetch_add(1, std::memory_order_acq_rel); }

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_MODEL_LOOKUPEPOCH_H
