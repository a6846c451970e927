#include "rix/ReferenceRewrite.h"

#include "rix/TamLexer.h"
#include "tam/Tam.h"
#include "tam/TamTranslater.h"

namespace tam {
namespace detail {

std::string rixReferenceText(const std::string& moduleId, const std::string& optionName) {
  return Tam::rixQuoteModuleId(moduleId) + ":" + Tam::rixQuoteOptionName(optionName);
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
