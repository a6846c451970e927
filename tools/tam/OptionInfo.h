// What a person configuring a product needs to know about an option to choose its value: its
// type, description, kind (declared, or based on another module's option), allowed values in a
// form a page can build an input from, default and declaration; and what each way of setting a
// value means. Used by `tam serve`.
#ifndef TAM_TOOL_OPTIONINFO_H
#define TAM_TOOL_OPTIONINFO_H

#include <tam/libtam.h>

#include <string>
#include <vector>

#include "ValueText.h"

// The options a node of the module shows: every option that is not legacy, in declaration order.
std::vector<ref_count_ptr<TamOption>> shownOptions(const ref_count_ptr<TamModule>& module);

// {"name", "option", "type", "description", "kind", "base", "scope", "mandatory", "multiple",
//  "default", "allowed", "allowed_text", "declaration"}; see docs/serve-api.md.
OutputJson optionJson(const ref_count_ptr<TamModule>& module,
                      const ref_count_ptr<TamOption>& option);

// [{"kind": "value", "value"} | {"kind": "range", "min", "max"} |
//  {"kind": "below" | "above" | "at_most" | "at_least", "value"} | {"kind": "any"}].
OutputJson allowedJson(const ref_count_ptr<TamOption>& option);

// What a way of setting a value means, in a sentence.
std::string howSetMeaning(TamSelOptionSet::HowSet how);

// "declared", "presents", "implements", "uses".
const char* optionKindName(TamOption::Type type);

#endif  // TAM_TOOL_OPTIONINFO_H
