// sameBytes compares a few bytes in place. The names and words of module texts are a few bytes
// long, and a library call to compare them costs more than the comparison itself.
#ifndef TAM_SRC_FOUNDATION_SAMEBYTES_H
#define TAM_SRC_FOUNDATION_SAMEBYTES_H

#include <cstddef>

namespace tam {
namespace detail {

// True when the `size` bytes at a and at b are the same.
inline bool sameBytes(const char* a, const char* b, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_FOUNDATION_SAMEBYTES_H
