#include "rix/ReferenceRewrite.h"

#include "rix/TamLexer.h"
#include "tam/Tam.h"
#include "tam/TamTranslater.h"

namespace tam {
namespace detail {

std::string rixReferenceText(const std::string& moduleId, const std::string& optionName) {
  // An empty module id is written as two quotes, since written as nothing it would not read back.
  const std::string module = moduleId.empty() ? "''" : Tam::rixQuoteModuleId(moduleId);
  return module + ":" + Tam::rixQuoteOptionName(optionName);
}

void finishReferenceRewrite(TamLexer& lexer, const TamTranslater& translater,
                            const std::string& moduleId, const std::string& optionName) {
  const std::pair<std::string, std::string> mapped = translater.lookupMapping(moduleId, optionName);
  if (mapped.first == moduleId && mapped.second == optionName) {
    lexer.keepReplaced();
  } else {
    lexer.replaceWith(rixReferenceText(mapped.first, mapped.second));
  }
}

}  // namespace detail
}  // namespace tam
