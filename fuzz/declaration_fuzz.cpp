// Reads any text as an option declaration of a module, in test mode and for real, and translates it.
#include "FuzzHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamfuzz::ensureHost();
  std::string text = tamfuzz::asText(data, size);
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> base = window->createModule("m");
  try {
    base->addOptionString("public a integer = 1 to 10 default 2");
    base->addOptionString("public s string = \"x\" \"y\"");
  } catch (const TamException&) {
    TAM_FUZZ_CHECK(false);
  }
  ref_count_ptr<TamModule> module = window->createModule("n");
  for (bool testMode : {true, false}) {
    module->setTestOptions(testMode);
    try {
      module->addOptionString(text);
    } catch (const TamException&) {
    }
  }
  try {
    TamTranslater identity;
    TAM_FUZZ_CHECK(identity.translateOption(text) == text);
  } catch (const TamException&) {
  }
  return 0;
}
