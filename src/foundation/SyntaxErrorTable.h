// The built-in table of syntax error codes and their English messages, in table order. The
// default adapter localises a code through it; a code listed twice takes its later text.
#ifndef TAM_SRC_FOUNDATION_SYNTAXERRORTABLE_H
#define TAM_SRC_FOUNDATION_SYNTAXERRORTABLE_H

#include <map>
#include <string>

namespace tam {
namespace detail {

struct SyntaxErrorEntry {
  const char* code;  // null ends the table
  const char* message;
};

// The table itself, ending with an entry whose code is null.
const SyntaxErrorEntry* syntaxErrorTable();
// The table as a map, built on first use; later entries win.
const std::map<std::string, std::string>& syntaxErrorMessages();

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_FOUNDATION_SYNTAXERRORTABLE_H
