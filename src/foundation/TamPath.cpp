#include "tam/TamPath.h"

#include <algorithm>
#include <cstdint>

#include "rix/SyntaxError.h"
#include "rix/TamLexer.h"
#include "tam/Tam.h"

namespace {

// Scores are sums of powers of two in a signed 32-bit int; 31 weighted positions (2^30 down to
// 2^0) are the most that fit, so positions after the 31st weigh nothing.
constexpr size_t kWeightedPositions = 31;

}  // namespace

const TamPath TamPath::EmptyPath;

TamPath::TamPath(const std::vector<std::string>& ids) : path_(ids) {}

// Reads like a program's argument vector; a null entry ends it early.
TamPath::TamPath(int count, char** ids) {
  if (ids == nullptr) return;
  for (int i = 0; i < count && ids[i] != nullptr; ++i) path_.emplace_back(ids[i]);
}

void TamPath::reverse() { std::reverse(path_.begin(), path_.end()); }

std::string TamPath::toDisplayString() const {
  std::string text;
  for (size_t i = 0; i < path_.size(); ++i) {
    if (i > 0) text += '.';
    text += path_[i];
  }
  return text;
}

std::string TamPath::toParseableString() const {
  std::string text;
  for (size_t i = 0; i < path_.size(); ++i) {
    if (i > 0) text += '.';
    text += Tam::rixQuoteId(path_[i]);
  }
  return text;
}

TamPath TamPath::parsePath(const std::string& text) {
  if (text.empty()) return TamPath();
  TamLexer lexer(text);
  return tam::detail::readPathIds(lexer, false);
}

int TamPath::compare(const TamPath& other) const {
  const size_t n = path_.size();
  const size_t m = other.path_.size();
  if (m == 0) return 0;
  if (m > n) return -1;
  const size_t weighted = std::min(n, kWeightedPositions);
  for (size_t start = 0; start + m <= n; ++start) {
    if (!std::equal(other.path_.begin(), other.path_.end(), path_.begin() + start)) continue;
    int64_t score = 0;
    for (size_t i = start; i < start + m && i < weighted; ++i) {
      score += int64_t{1} << (weighted - 1 - i);
    }
    return static_cast<int>(score);
  }
  return -1;
}
