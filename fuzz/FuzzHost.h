// The host every fuzz target runs under: an adapter that supplies no modules, installed once.
// A fuzz target reports a broken invariant with TAM_FUZZ_CHECK, which traps so that the fuzzer (or
// the replay driver) sees a crash and keeps the input.
#ifndef TAM_FUZZ_FUZZHOST_H
#define TAM_FUZZ_FUZZHOST_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "tam/libtam.h"

#define TAM_FUZZ_CHECK(condition) \
  do {                            \
    if (!(condition)) __builtin_trap(); \
  } while (0)

namespace tamfuzz {

// Installs the fuzzing adapter on first use.
void ensureHost();
std::string asText(const uint8_t* data, size_t size);

}  // namespace tamfuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#endif  // TAM_FUZZ_FUZZHOST_H
