// "Did you mean": the known name closest to a name the user gave, for diagnostics about unknown
// modules, options, values, nodes and commands. Closeness is the edit distance (insertions,
// deletions, substitutions and swaps of two neighbouring characters, byte by byte, ignoring
// case). A name is suggested only when it is close relative to its length, so that short names
// are not matched with unrelated ones, and only when it is the one closest name.
#ifndef TAM_TOOL_SUGGEST_H
#define TAM_TOOL_SUGGEST_H

#include <string>
#include <vector>

// The edit distance of two texts, or limit + 1 as soon as it exceeds limit.
std::size_t editDistance(const std::string& a, const std::string& b, std::size_t limit);

// The one candidate closest to `given`, or empty when none is close enough or two tie.
std::string closestName(const std::string& given, const std::vector<std::string>& candidates);

// " (did you mean 'name'?)" for the closest candidate, or empty. Ready to append to a message.
std::string didYouMean(const std::string& given, const std::vector<std::string>& candidates);

#endif  // TAM_TOOL_SUGGEST_H
