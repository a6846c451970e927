// Reads any text as a whole module text. When it is accepted, writing the module and reading that
// back must succeed and write the same text again. One exception: a text that declares an option
// twice. The second declaration rebases the option and clears its values, but the options that
// implement or use it were checked against the first and are not checked again, so the written
// text (one declaration per option) may refuse their values when it is read back.
#include <set>
#include <string>

#include "FuzzHost.h"
#include "tam/TamDeclarationOutline.h"

namespace {

// True when a line between "interface start" and "interface end" declares a name declared above.
bool redeclares(const std::string& text) {
  std::set<std::string> names;
  bool inInterface = false;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (line == "interface end") break;
    if (line == "interface start") {
      inInterface = true;
    } else if (inInterface) {
      const TamDeclarationOutline declaration = TamDeclarationOutline::read(line);
      const TamDeclarationOutline::Part& name = declaration.name();
      if (name.isPresent() && !names.insert(name.text).second) return true;
    }
  }
  return false;
}

}  // namespace

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
  } catch (const TamException& e) {
    TAM_FUZZ_CHECK(e.code() >= 202 && e.code() <= 204 && redeclares(text));
    return 0;
  }
  TamTranslater back;
  TAM_FUZZ_CHECK(back.translateRixData("m", copy->getRixData()) == written);
  return 0;
}
