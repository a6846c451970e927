// Validates a small product made of fuzzed module texts, load-if conditions and tree shape (see
// FuzzProduct.h). Nothing may crash; validation is static, so validating twice, and again after
// an evaluation, gives the same findings.
#include "FuzzProduct.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamfuzz::FuzzProduct product(tamfuzz::asText(data, size));
  product.build();
  const std::string first = product.validate();
  TAM_FUZZ_CHECK(product.validate() == first);
  product.evaluate();
  TAM_FUZZ_CHECK(product.validate() == first);
  return 0;
}
