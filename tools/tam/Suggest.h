// "Did you mean": the known name closest to a name the user gave, for diagnostics about unknown
// modules, options, values, nodes and commands. Closeness is the edit distance (insertions,
// deletions, substitutions and swaps of two neighbouring characters, byte by byte, ignoring
// case). A name is suggested only when it is close relative to its length, so that short names
// are not matched with unrelated ones, and only when it is the one closest name.
#ifndef TAM_TOOL_SUGGEST_H
#define TAM_TOOL_SUGGEST_H

#include <string>
#include <vector>

// Work allowed for suggestions, counted in compared character pairs. A command that may have to
// suggest names for thousands of mistakes among thousands of names gives one budget to the whole
// run: suggestions then cost linear time in all, and names met after the budget is spent get
// none. The budget covers far more than the mistakes a person reads (the error limit shows 50).
class SuggestionBudget {
 public:
  static constexpr std::size_t kDefaultPairs = 50000000;
  explicit SuggestionBudget(std::size_t pairs = kDefaultPairs) : left_(pairs) {}
  // Takes `pairs` from the budget; false (taking nothing) when not that much is left.
  bool spend(std::size_t pairs) {
    if (pairs > left_) return false;
    left_ -= pairs;
    return true;
  }

 private:
  std::size_t left_;
};

// The edit distance of two texts, or limit + 1 as soon as it exceeds limit.
std::size_t editDistance(const std::string& a, const std::string& b, std::size_t limit);

// The one candidate closest to `given`, or empty when none is close enough or two tie. With a
// budget, also empty when the budget cannot pay for the comparisons.
std::string closestName(const std::string& given, const std::vector<std::string>& candidates);
std::string closestName(const std::string& given, const std::vector<std::string>& candidates,
                        SuggestionBudget& budget);

// " (did you mean 'name'?)" for the closest candidate, or empty. Ready to append to a message.
std::string didYouMean(const std::string& given, const std::vector<std::string>& candidates);
std::string didYouMean(const std::string& given, const std::vector<std::string>& candidates,
                       SuggestionBudget& budget);

#endif  // TAM_TOOL_SUGGEST_H
