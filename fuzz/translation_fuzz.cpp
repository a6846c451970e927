// Renames modules and options in a fuzzed module text. The input is the body of module m (after
// "module m" and "interface start"), then a line "%%", then renamings, one per line:
//   "module ID"          renames module m to ~ID
//   "option MOD NAME ID"  renames option NAME of module MOD to ~ID
// New names begin with "~", which no plain identifier holds, so they are names the text does not
// use yet (texts that hold a "~" are skipped), and they exercise quoting. A text that translates
// must give a text that translates again, and renaming back must give the text's tokens back (the
// spelling of a renamed reference, and comments right after it, may change).
#include <string>
#include <vector>

#include "FuzzHost.h"
#include "rix/TamLexer.h"

namespace {

struct Renaming {
  std::string module;  // new id of module m, empty to keep it
  std::vector<std::vector<std::string>> options;  // module, old name, new name

  bool breaksLines() const {
    bool breaks = module.find_first_of("\r\n") != std::string::npos;
    for (const std::vector<std::string>& option : options) {
      breaks = breaks || option[2].find_first_of("\r\n") != std::string::npos;
    }
    return breaks;
  }
};

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < line.size()) {
    const size_t end = line.find(' ', start);
    out.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

Renaming readRenaming(const std::string& text) {
  Renaming renaming;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find('\n', start);
    const std::vector<std::string> w =
        words(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (w.size() == 2 && w[0] == "module") renaming.module = "~" + w[1];
    if (w.size() == 4 && w[0] == "option") {
      // One new name per old name and the other way round, so that renaming back is possible.
      bool taken = false;
      for (const std::vector<std::string>& option : renaming.options) {
        taken = taken || (option[0] == w[1] && (option[1] == w[2] || option[2] == "~" + w[3]));
      }
      if (!taken) renaming.options.push_back({w[1], w[2], "~" + w[3]});
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return renaming;
}

// The tokens of a text, identifiers by value, so that two spellings of a name compare equal.
std::vector<std::string> tokens(const std::string& text) {
  std::vector<std::string> out;
  TamLexer lexer(text);
  for (size_t count = 0; lexer.kind() != TOKEN_END && count <= text.size(); ++count) {
    if (lexer.kind() == TOKEN_INVALID) {
      out.push_back("?" + lexer.tokenText().substr(0, 1));
      break;
    }
    out.push_back(std::to_string(lexer.kind()) + " " +
                  (lexer.kind() == TOKEN_IDENT ? lexer.identifierValue() : lexer.tokenText()));
    lexer.next();
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamfuzz::ensureHost();
  const std::string input = tamfuzz::asText(data, size);
  const size_t cut = input.find("\n%%\n");
  const std::string body = input.substr(0, cut);
  if (body.find('~') != std::string::npos) return 0;
  const Renaming renaming =
      readRenaming(cut == std::string::npos ? std::string() : input.substr(cut + 4));

  std::string original;
  try {
    TamTranslater identity;
    original = identity.translateRixData("m", "module m\ninterface start\n" + body);
  } catch (const TamException&) {
    return 0;  // not a module text
  }
  const std::string moduleId = renaming.module.empty() ? "m" : renaming.module;
  TamTranslater forward;
  TamTranslater back;
  if (!renaming.module.empty()) {
    forward.addModuleMapping("m", moduleId);
    back.addModuleMapping(moduleId, "m");
  }
  for (const std::vector<std::string>& option : renaming.options) {
    forward.addOptionMapping(option[0], option[1], option[2]);
    const std::string renamedModule = option[0] == "m" ? moduleId : option[0];
    back.addOptionMapping(renamedModule, option[2], option[1]);
  }
  std::string renamed;
  try {
    renamed = forward.translateRixData(moduleId, original);
  } catch (const TamException& e) {
    // The text translated once, so it translates with any mapping, unless a new name holds a
    // line break that a module text line cannot carry.
    TAM_FUZZ_CHECK(e.code() == 2 && renaming.breaksLines());
    return 0;
  }
  std::string restored;
  try {
    TamTranslater identity;
    TAM_FUZZ_CHECK(identity.translateRixData(moduleId, renamed) == renamed);
    restored = back.translateRixData("m", renamed);
  } catch (const TamException&) {
    TAM_FUZZ_CHECK(false);  // a renamed text is still a module text
  }
  try {
    TAM_FUZZ_CHECK(tokens(restored) == tokens(original));
  } catch (const TamException&) {
    // A quote left open in a comment or a declaration line lexes only line by line.
  }
  return 0;
}
