// The outer layout of a module text, shared by the module's reader and writer and by the
// translater: the module line, the lines that open and close the interface, and the messages for
// a text that does not follow the layout. Such messages have no source context and no line.
#ifndef TAM_SRC_MODEL_MODULETEXTFORMAT_H
#define TAM_SRC_MODEL_MODULETEXTFORMAT_H

#include <string>

namespace tam {
namespace detail {

inline constexpr char kModuleKeyword[] = "module ";
inline constexpr char kInterfaceStart[] = "interface start";
inline constexpr char kInterfaceEnd[] = "interface end";

inline constexpr char kNoModuleLine[] = "Expected \"module\" statement as top line of RIX";
inline constexpr char kNoInterfaceStart[] = "Expected \"interface start\"";
inline constexpr char kNoInterfaceEnd[] =
    "Ran out of lines parsing RIX interface - did you forget an \"interface end\" line";

// Throws TamSyntaxError(message) with an empty context and line 0.
[[noreturn]] void raiseModuleTextError(const std::string& message);

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_MODEL_MODULETEXTFORMAT_H
