#include "rix/ReferenceRewrite.h"

#include "rix/TamLexer.h"
#include "tam/Tam.h"
#include "tam/TamTranslater.h"

namespace tam {
namespace detail {

std::string rixReferenceText(const std::string& moduleId, const std::string& optionName) {
  const std::string kEmptyName = "''";
  std::string option = optionName.empty() ? kEmptyName : Tam::rixQuoteId(optionName);
  // A keyword is made of letters and underscores only, so quoting needs no escapes.
  if (isRixKeyword(option)) option = "'" + option + "'";
  return (moduleId.empty() ? kEmptyName : Tam::rixQuoteModuleId(moduleId)) + ":" + option;
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
