#include "foundation/SyntaxErrorTable.h"

namespace tam {
namespace detail {

namespace {

// SE_expect_optname appears twice; the map below keeps the later, more precise text.
const SyntaxErrorEntry kSyntaxErrors[] = {
    {"SE_pubpriv", "Expected \"public\" or \"private\""},
    {"SE_extrainput", "Spurious extra input found"},
    {"SE_expect_optname", "Expected option name"},
    {"SE_pres_public", "Presented options can only be public"},
    {"SE_expect_opttype", "Expected option type, implements or presents"},
    {"SE_expect_modid", "Expected context (module) id"},
    {"SE_expect_colon", "Expected ':' parsing option name"},
    {"SE_expect_optname", "Expected option name after ':'"},
    {"SE_expect_value", "Expected a value for option"},
    {"SE_expect_defvalue", "Expected a value for default"},
    {"SE_invalid_default", "Default value not valid for option"},
    {"SE_expect_int", "Expected integer value for option"},
    {"SE_expect_real", "Expected real value for option"},
    {"SE_max_min", "Maximum should be higher then minimum"},
    {"SE_unexpected", "Unexpected input"},
    {"SE_missing_endif", "Error parsing 'if' statement - missing endif"},
    {"SE_missing_then", "Error parsing 'if' statement - missing then"},
    {"SE_missing_to", "Error parsing set/fix statement: 'to' not found"},
    {"SE_expect_closebracket", "Parse error:  Expected ')'"},
    {"SE_expect_optorval", "Parse Error: Expected option or value"},
    {"SE_conditional", "Error parsing conditional expression"},
    {"SE_path_internal", "Syntax Error Parsing paths - expected path id or '.'"},
    {"SE_path", "Syntax Error Parsing path - expected one '.'  or  ']'  or a path name"},
    {nullptr, nullptr},
};

}  // namespace

const SyntaxErrorEntry* syntaxErrorTable() { return kSyntaxErrors; }

const std::map<std::string, std::string>& syntaxErrorMessages() {
  static const std::map<std::string, std::string> messages = [] {
    std::map<std::string, std::string> m;
    for (const SyntaxErrorEntry* e = kSyntaxErrors; e->code != nullptr; ++e) {
      m[e->code] = e->message;
    }
    return m;
  }();
  return messages;
}

}  // namespace detail
}  // namespace tam
