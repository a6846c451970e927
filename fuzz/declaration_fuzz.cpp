// Reads any text as an option declaration of a module, in test mode and for real, and translates it.
// The outline of a declaration that needs no base option fails exactly when the test-mode reading
// does, with the same message; every part it holds lies inside the text.
#include "FuzzHost.h"

namespace {

bool needsNoBase(const std::string& typeWord) {
  return typeWord == "string" || typeWord == "integer" || typeWord == "real" ||
         typeWord == "logical";
}

void checkPart(const TamDeclarationOutline& outline, const TamDeclarationOutline::Part& part) {
  if (!part.isPresent()) return;
  TAM_FUZZ_CHECK(part.begin.offset <= part.end.offset && part.end.offset <= outline.text().size());
}

}  // namespace

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
  const TamDeclarationOutline outline = TamDeclarationOutline::read(text);
  for (const TamDeclarationOutline::Part* part :
       {&outline.scope(), &outline.name(), &outline.type(), &outline.description(),
        &outline.mandatory(), &outline.base().moduleId, &outline.base().optionName}) {
    checkPart(outline, *part);
  }
  if (needsNoBase(outline.type().text)) {
    module->setTestOptions(true);
    try {
      module->addOptionString(text);
      TAM_FUZZ_CHECK(!outline.failed());
    } catch (const TamException& e) {
      TAM_FUZZ_CHECK(outline.failed() && outline.failure().message == e.info());
    }
  }
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
