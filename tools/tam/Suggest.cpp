#include "Suggest.h"

#include <algorithm>
#include <vector>

namespace {

// A name differing in at most one edit per this many characters counts as close ("colour" for
// "color", "frmae" for "frame"); names shorter than that match only when they differ in case.
constexpr std::size_t kCharactersPerEdit = 3;
// Names longer than this are compared only by length-bounded work, so that a pasted paragraph
// does not cost quadratic time.
constexpr std::size_t kMaxComparedLength = 256;

// ASCII case folding: names are compared byte by byte, and this is the innermost loop.
char folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t allowedEdits(const std::string& given) { return given.size() / kCharactersPerEdit; }

}  // namespace

// Optimal string alignment distance over three rolling rows, stopping early once every entry
// of a row exceeds the limit.
std::size_t editDistance(const std::string& a, const std::string& b, std::size_t limit) {
  std::size_t longer = std::max(a.size(), b.size());
  std::size_t shorter = std::min(a.size(), b.size());
  if (longer - shorter > limit) return limit + 1;
  std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    std::size_t rowBest = current[0];
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t cost = folded(a[i - 1]) == folded(b[j - 1]) ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && folded(a[i - 1]) == folded(b[j - 2]) &&
          folded(a[i - 2]) == folded(b[j - 1])) {
        current[j] = std::min(current[j], before[j - 2] + 1);
      }
      rowBest = std::min(rowBest, current[j]);
    }
    if (rowBest > limit) return limit + 1;
    before.swap(previous);
    previous.swap(current);
  }
  return std::min(previous[b.size()], limit + 1);
}

std::string closestName(const std::string& given, const std::vector<std::string>& candidates,
                        SuggestionBudget& budget) {
  std::size_t pairs = 0;
  for (const std::string& candidate : candidates) {
    pairs += given.size() * std::min(candidate.size(), kMaxComparedLength);
  }
  if (!budget.spend(pairs)) return "";
  return closestName(given, candidates);
}

std::string didYouMean(const std::string& given, const std::vector<std::string>& candidates,
                       SuggestionBudget& budget) {
  std::string name = closestName(given, candidates, budget);
  return name.empty() ? "" : " (did you mean '" + name + "'?)";
}

std::string closestName(const std::string& given, const std::vector<std::string>& candidates) {
  if (given.empty() || given.size() > kMaxComparedLength) return "";
  std::size_t limit = allowedEdits(given);
  std::size_t best = limit + 1;
  std::string bestName;
  bool tie = false;
  for (const std::string& candidate : candidates) {
    if (candidate == given || candidate.size() > kMaxComparedLength) continue;
    std::size_t distance = editDistance(given, candidate, limit);
    if (distance < best) {
      best = distance;
      bestName = candidate;
      tie = false;
    } else if (distance == best && candidate != bestName) {
      tie = true;
    }
  }
  return best <= limit && !tie ? bestName : "";
}

std::string didYouMean(const std::string& given, const std::vector<std::string>& candidates) {
  std::string name = closestName(given, candidates);
  return name.empty() ? "" : " (did you mean '" + name + "'?)";
}
