// The explanations of Explanation.h as `tam explain` and `tam eval --explain` print them: text for
// people (places first where they stand in a file, with the source line and a caret) and JSON for
// programs (the "tam-explain" document; docs/schema/tam-explain.schema.json describes it).
#ifndef TAM_TOOL_EXPLANATIONOUTPUT_H
#define TAM_TOOL_EXPLANATIONOUTPUT_H

#include <string>
#include <vector>

#include "Explanation.h"
#include "ValueText.h"

// The name and version of the explain document format.
extern const char* const kExplainFormatName;
constexpr int kExplainFormatVersion = 1;

std::string optionExplanationText(const OptionExplanation& explanation);
std::string nodeExplanationText(const NodeExplanation& explanation);
// The whole document, "format" first.
OutputJson optionExplanationJson(const OptionExplanation& explanation);
OutputJson nodeExplanationJson(const NodeExplanation& explanation);

// A value's origin in a few words for `tam eval --explain`: "file:line" of the statement,
// declaration or host value, the --set argument, or "from NODE" for an inherited value; empty when
// unknown.
std::string originText(const ValueOrigin& origin);
// {"kind", "node", "option", "place"}; see the schema.
OutputJson originJson(const ValueOrigin& origin);
// {"file", "line", "column", "text"}, or null for an unknown place.
OutputJson placeJson(const SourcePlace& place);

// The pieces of the documents above, for front ends that show explanations their own way (tam
// serve's "why"):
// "module:option = 18 (set, file:line), ..." as `tam explain` prints an entry (origins may be
// fewer than the values, or none).
std::string explainedEntryText(const std::string& option, const TamSelOptionSet::TamSosEntry& entry,
                               const std::vector<ValueOrigin>& origins);
// [{"value", "type", "how"}] with "origin" for each value when `origins` is given.
OutputJson explainedValuesJson(const TamSelOptionSet::TamSosEntry& entry,
                               const std::vector<ValueOrigin>* origins);
// One step of a "history" list.
OutputJson explainedStepJson(const ExplainedStep& step);

#endif  // TAM_TOOL_EXPLANATIONOUTPUT_H
