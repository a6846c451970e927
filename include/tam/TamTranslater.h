// TamTranslater rewrites RIX text when modules or options get new names. It holds a module id
// mapping and per-module option name mappings, and runs the library's own parsers in recording
// mode so that every option reference is rewritten while every other character, comment and blank
// stays as written. It turns text into text and changes no module.
#ifndef TAM_TAMTRANSLATER_H
#define TAM_TAMTRANSLATER_H

#include <map>
#include <string>
#include <utility>

#include "tam/TamExport.h"

class TAM_API TamTranslater {
 public:
  TamTranslater() = default;
  ~TamTranslater() = default;

  void addModuleMapping(const std::string& from, const std::string& to);
  // Keyed by the module id the text holds (the old id).
  void addOptionMapping(const std::string& moduleId, const std::string& from, const std::string& to);
  // The translated (module id, option name) of one reference; a mapped name is not mapped again.
  std::pair<std::string, std::string> lookupMapping(const std::string& moduleId,
                                                    const std::string& optionName) const;

  std::string translateOption(const std::string& declaration);
  std::string translateRix(const std::string& rules);
  // Raises a syntax error (SE_extra_input) when text follows the condition.
  std::string translateCondition(const std::string& condition);
  // A whole module text, written out under moduleId in the layout the module writes. Raises
  // TamException 2 when moduleId, or a new name a declaration line gets, holds a line break,
  // which no module text can carry.
  std::string translateRixData(const std::string& moduleId, const std::string& text);

 private:
  std::map<std::string, std::string> moduleMappings_;
  std::map<std::string, std::map<std::string, std::string>> optionMappings_;
};

#endif  // TAM_TAMTRANSLATER_H
