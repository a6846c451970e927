// The lookup epoch: a process-wide count that moves on whenever the answer to looking a module
// up by id in a window, or an option up by name in a module, may change (a module created,
// deleted or queued for refresh, an option entered or removed, a window destroyed). A lookup
// remembered together with the epoch it was made in may be used again while the epoch stays
// the same; the counts are never reused, so a window or option allocated where an old one was
// never matches a remembered lookup.
#ifndef TAM_SRC_MODEL_LOOKUPEPOCH_H
#define TAM_SRC_MODEL_LOOKUPEPOCH_H

#include <atomic>
#include <cstdint>

namespace tam {
namespace detail {

extern std::atomic<std::uint64_t> lookupEpochCount;

inline std::uint64_t lookupEpoch() { return lookupEpochCount.load(std::memory_order_acquire); }
inline void lookupsChanged() { lookupEpochCount.fetch_add(1, std::memory_order_acq_rel); }

// The option epoch: moves on whenever what an option accepts or is based on may change (its
// constraints given or cleared, its base or presented position replaced). A check of values
// against options remembered together with both epochs may be used again while neither moves.
extern std::atomic<std::uint64_t> optionEpochCount;

inline std::uint64_t optionEpoch() { return optionEpochCount.load(std::memory_order_acquire); }
inline void optionsChanged() { optionEpochCount.fetch_add(1, std::memory_order_acq_rel); }

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_MODEL_LOOKUPEPOCH_H
