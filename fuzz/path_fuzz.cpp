// Reads any text as a path, on its own and in brackets after an option reference. A path that
// reads is printed in its parseable form, which reads back to the same path (unless it holds an
// empty identifier, written as nothing, or its last identifier is spelled like a keyword, written
// bare), and it matches every run of its own identifiers with a score no larger than its own.
#include <string>
#include <vector>

#include "FuzzHost.h"
#include "rix/TamLexer.h"
#include "rix/TamRuleParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamfuzz::ensureHost();
  const std::string text = tamfuzz::asText(data, size);
  try {
    TamRuleParser("set m:a [" + text + "] to 1").parseRules();
  } catch (const TamException&) {
  }
  TamPath path;
  try {
    path = TamPath::parsePath(text);
  } catch (const TamException&) {
    return 0;
  }
  const std::vector<std::string>& ids = path.path();
  (void)path.toDisplayString();
  const std::string parseable = path.toParseableString();
  bool readsBack = ids.empty() || !tam::detail::isRixKeyword(ids.back());
  for (const std::string& id : ids) readsBack = readsBack && !id.empty();
  if (readsBack) {
    try {
      TAM_FUZZ_CHECK(TamPath::parsePath(parseable) == path);
    } catch (const TamException&) {
      TAM_FUZZ_CHECK(false);
    }
  }
  const int whole = path.compare(path);
  TAM_FUZZ_CHECK(path.compare(TamPath()) == 0);
  TAM_FUZZ_CHECK(ids.empty() ? whole == 0 : whole > 0);
  for (size_t start = 0; start < ids.size() && start < 8; ++start) {
    for (size_t end = start + 1; end <= ids.size() && end <= start + 8; ++end) {
      const TamPath run(std::vector<std::string>(ids.begin() + start, ids.begin() + end));
      const int score = path.compare(run);
      TAM_FUZZ_CHECK(score >= 0 && score <= whole);
    }
  }
  return 0;
}
