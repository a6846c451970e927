// Option values as the tam command reads and prints them: values typed by their option from
// command-line text or JSON, values shown in text and JSON output, the names of how a value was
// set, and a short description of an option's allowed values for error messages.
#ifndef TAM_TOOL_VALUETEXT_H
#define TAM_TOOL_VALUETEXT_H

#include <tam/libtam.h>

#include <nlohmann/json.hpp>
#include <functional>
#include <string>

#include "JsonWriter.h"

// "default", "host", "set", "host_firm", "fix", "inherited", "host_forced".
const char* howSetName(TamSelOptionSet::HowSet how);
// Reads the three ways a host sets a value: "host", "host_firm", "host_forced".
bool parseHostHowSet(const std::string& name, TamSelOptionSet::HowSet& how);

// The word a declaration uses for a value type: "logical", "integer", "real", "string".
std::string typeWord(TamValue::ValueType type);

// A value for text output: strings in double quotes, Unset as "unset", reals as realText, others
// as the library displays them.
std::string valueText(const ref_count_ptr<TamValue>& value);
// The same added to the end of `text`; logicals, integers and strings that need no escape
// without a text of their own.
void appendValueText(const ref_count_ptr<TamValue>& value, std::string& text);
// The shortest text that reads back as the same double, cut to 15 significant digits (all a
// double keeps of a decimal), with ".0" after a whole number: 2.5, 3900.0, 3.42 for
// 6.0 - 2.15 * 1.2; "nan", "inf", "-inf".
std::string realText(double value);
// A value for JSON output: a JSON boolean, number or string, null for Unset; reals as realText
// shows them.
OutputJson valueJson(const ref_count_ptr<TamValue>& value);
void writeValueJson(JsonWriter& out, const ref_count_ptr<TamValue>& value);

// A value of the given type from command-line text ("true"/"false", integers, reals, any text for
// strings). Returns a null handle and says why in `problem` when the text does not fit the type.
ref_count_ptr<TamValue> valueFromText(TamValue::ValueType type, const std::string& text,
                                      std::string& problem);
// The same from a JSON value: a boolean, an integer, any number, or a string.
ref_count_ptr<TamValue> valueFromJson(TamValue::ValueType type, const nlohmann::json& json,
                                      std::string& problem);
// A legacy value, typed by its JSON kind (legacy options declare no type); null for other kinds.
ref_count_ptr<TamValue> legacyValueFromJson(const nlohmann::json& json);

// The allowed values of an option, as "44 to 62", "one of \"a\", \"b\"", "any integer" and so on.
// One constraint in words: a listed value, "< 5", "1 to 10", "any string", "true or false", ...
// with its values spelt by valueText, or by `spell` (a binding spells them in its own language).
using ValueSpeller = std::function<std::string(const ref_count_ptr<TamValue>&)>;
std::string constraintText(const ref_count_ptr<TamOptionValue>& constraint);
std::string constraintText(const ref_count_ptr<TamOptionValue>& constraint,
                           const ValueSpeller& spell);
std::string describeConstraints(const ref_count_ptr<TamOption>& option);
std::string describeConstraintList(const std::vector<ref_count_ptr<TamOptionValue>>& constraints);

#endif  // TAM_TOOL_VALUETEXT_H
