// Parses any text as rules and as a condition, and translates it with and without mappings.
// Translating with no mappings must give the text back unchanged.
#include "FuzzHost.h"
#include "rix/TamRuleParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamfuzz::ensureHost();
  std::string text = tamfuzz::asText(data, size);
  try {
    TamRuleParser(text).parseRules();
  } catch (const TamException&) {
  }
  try {
    TamRuleParser(text).parseCondition();
  } catch (const TamException&) {
  }
  try {
    TamTranslater identity;
    std::string same = identity.translateRix(text);
    TAM_FUZZ_CHECK(same == text);
  } catch (const TamException&) {
  }
  try {
    TamTranslater renamer;
    renamer.addModuleMapping("m", "renamed module");
    renamer.addOptionMapping("m", "a", "1st");
    std::string renamed = renamer.translateRix(text);
    // A renamed text must still parse: a rewrite never breaks the syntax around it.
    TamRuleParser(renamed).parseRules();
  } catch (const TamException&) {
  }
  return 0;
}
