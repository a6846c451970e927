// The translater hands each piece of RIX to the parser that understands it, in recording mode,
// and lets the parsers ask lookupMapping for every option reference they read. A module text is
// split into its lines here, with the same tokenizer the module uses, and written back in the
// layout the module writes.
#include "tam/TamTranslater.h"

#include "model/ModuleTextFormat.h"
#include "model/TamTokenizer.h"
#include "rix/TamDeclarationParser.h"
#include "rix/TamRuleParser.h"
#include "tam/TamException.h"

using tam::detail::kInterfaceEnd;
using tam::detail::kInterfaceStart;
using tam::detail::kModuleKeyword;
using tam::detail::raiseModuleTextError;

namespace {

constexpr int kMisuseCode = 2;

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A module text is read line by line, and RIX has no escape for a line break: a module id or a
// name with one, written into the module line or a declaration, would cut its line in two.
const std::string& oneLine(const std::string& line) {
  if (line.find_first_of(TamTokenizer::kLineBreaks) != std::string::npos) {
    throw TamException(kMisuseCode, "A module text line cannot hold a line break: " + line,
                       std::string(), std::string());
  }
  return line;
}

}  // namespace

void TamTranslater::addModuleMapping(const std::string& from, const std::string& to) {
  moduleMappings_[from] = to;
}

void TamTranslater::addOptionMapping(const std::string& moduleId, const std::string& from,
                                     const std::string& to) {
  optionMappings_[moduleId][from] = to;
}

// Both tables are keyed by the module id as the text holds it, and each is consulted once.
std::pair<std::string, std::string> TamTranslater::lookupMapping(
    const std::string& moduleId, const std::string& optionName) const {
  std::pair<std::string, std::string> result(moduleId, optionName);
  auto module = moduleMappings_.find(moduleId);
  if (module != moduleMappings_.end()) result.first = module->second;
  auto options = optionMappings_.find(moduleId);
  if (options != optionMappings_.end()) {
    auto option = options->second.find(optionName);
    if (option != options->second.end()) result.second = option->second;
  }
  return result;
}

std::string TamTranslater::translateOption(const std::string& declaration) {
  TamDeclarationParser parser(declaration, nullptr);
  return parser.translate(this);
}

std::string TamTranslater::translateRix(const std::string& rules) {
  TamRuleParser parser(rules);
  return parser.translateRules(this);
}

std::string TamTranslater::translateCondition(const std::string& condition) {
  TamRuleParser parser(condition);
  return parser.translateCondition(this);
}

// Blank lines are dropped and every line up to "interface end" is ended by a line feed; the id
// in the module line is replaced by moduleId; the rules after the interface keep every character.
std::string TamTranslater::translateRixData(const std::string& moduleId, const std::string& text) {
  if (text.empty()) return std::string();
  TamTokenizer lines(text, TamTokenizer::kLineBreaks);
  if (!startsWith(lines.nextToken(), kModuleKeyword)) raiseModuleTextError(tam::detail::kNoModuleLine);
  std::string out = oneLine(kModuleKeyword + moduleId) + "\n" + kInterfaceStart + "\n";
  if (lines.nextToken() != kInterfaceStart) raiseModuleTextError(tam::detail::kNoInterfaceStart);
  for (std::string line = lines.nextToken(); line != kInterfaceEnd; line = lines.nextToken()) {
    if (line.empty()) raiseModuleTextError(tam::detail::kNoInterfaceEnd);
    out += oneLine(translateOption(line)) + "\n";
  }
  out += std::string(kInterfaceEnd) + "\n";
  return out + translateRix(lines.remainder());
}
