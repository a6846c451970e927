#include "model/LookupEpoch.h"

namespace tam {
namespace detail {

// Starts at 1: 0 marks a lookup never made.
std::atomic<std::uint64_t> lookupEpochCount{1};
std::atomic<std::uint64_t> foundEpochCount{1};
std::atomic<std::uint64_t> optionEpochCount{1};

}  // namespace detail
}  // namespace tam
