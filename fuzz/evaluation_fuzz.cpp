// Evaluates a small product made of fuzzed module texts and load-if conditions (see
// FuzzProduct.h) with host values and a legacy option. Nothing may crash. Evaluation depends only
// on the modules and on what the host set: evaluating the same window a second time gives the same
// result, unless the first replaced one of the host's plain values (the node then keeps the rule's
// value instead) or ran a mutually exclusive rule (which makes its options exclusive from then
// on). Either way, evaluating again settles within a few rounds.
#include "FuzzProduct.h"

namespace {

constexpr int kRoundsToSettle = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamfuzz::FuzzProduct product(tamfuzz::asText(data, size));
  product.build();
  const std::string first = product.evaluate();
  const bool kept = product.hostValuesKept();
  std::string previous = product.evaluate();
  if (kept && !product.changesOptionsWhenRun()) TAM_FUZZ_CHECK(previous == first);
  bool settled = false;
  for (int round = 0; round < kRoundsToSettle && !settled; ++round) {
    const std::string next = product.evaluate();
    settled = next == previous;
    previous = next;
  }
  TAM_FUZZ_CHECK(settled);
  return 0;
}
