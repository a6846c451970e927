// Generated variants for a sweep: every combination of the values tried for some options (a full
// factorial), or a number of random draws from them. The values of one option are given by a vary
// argument: NODEPATH:module:option=V1,V2,... lists them (typed by the option, as --set types a value;
// a value the option does not allow is still tried, and its variants fail); NODEPATH:module:option
// alone takes them from the option's constraints: its listed values, true and false for a logical,
// every integer of a bounded integer range, and, for random draws only, any real of a bounded real
// range. An option with an open bound, or of any value, needs its values listed.
//
// In a factorial the first varied option varies slowest. Random draws pick each option's value on its own,
// uniformly over its values (a real range counts as one value when picking among listed values
// and ranges), with a generator fixed by the seed: the same seed gives the same variants on every
// machine. Draws may repeat a variant.
//
// Varied options are checked against the product when the source is made: an unknown node, option or
// module, a value of the wrong type, or values that cannot be listed are ToolErrors (kExitUsage).
#ifndef TAM_TOOL_VARIANTGENERATORS_H
#define TAM_TOOL_VARIANTGENERATORS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Variants.h"

class Session;

struct VaryRequest {
  std::string argument;            // as given, for messages
  Choice target;                   // node, module and option; no values
  bool listed = false;             // values were given after "="
  std::vector<std::string> texts;  // those values
};

// Reads NODEPATH:module:option[=V1,V2,...]; ToolError (kExitUsage) when it has another shape.
VaryRequest parseVaryRequest(const std::string& argument);

std::unique_ptr<VariantSource> factorialVariants(Session& session,
                                                 const std::vector<VaryRequest>& requests);
std::unique_ptr<VariantSource> sampledVariants(Session& session, const std::vector<VaryRequest>& requests,
                                               std::int64_t count, std::uint64_t seed);

#endif  // TAM_TOOL_VARIANTGENERATORS_H
