// Reads any text as a whole module text. When it is accepted, writing the module and reading that
// back must succeed and write the same text again.
#include "FuzzHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamfuzz::ensureHost();
  std::string text = tamfuzz::asText(data, size);
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> module = window->createModule("m");
  try {
    module->setRixData(text);
  } catch (const TamException&) {
    return 0;
  }
  std::string written = module->getRixData();
  ref_count_ptr<TamModule> copy = window->createModule("copy");
  try {
    TamTranslater identity;
    std::string moved = identity.translateRixData("copy", written);
    copy->setRixData(moved);
  } catch (const TamException&) {
    TAM_FUZZ_CHECK(false);
  }
  TamTranslater back;
  TAM_FUZZ_CHECK(back.translateRixData("m", copy->getRixData()) == written);
  return 0;
}
