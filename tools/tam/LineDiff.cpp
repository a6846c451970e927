#include "LineDiff.h"

#include <algorithm>

namespace {

// Above this many cells the middle of the texts is shown as replaced whole rather than matched
// line by line, so that huge files cannot exhaust memory.
constexpr std::size_t kMaxMatchCells = 4000000;

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

enum class Step { kKeep, kRemove, kAdd };

// The steps that turn a[begin..aEnd) into b[begin..bEnd), by longest common subsequence.
std::vector<Step> matchMiddle(const std::vector<std::string>& a, std::size_t aBegin,
                              std::size_t aEnd, const std::vector<std::string>& b,
                              std::size_t bBegin, std::size_t bEnd) {
  std::size_t n = aEnd - aBegin;
  std::size_t m = bEnd - bBegin;
  std::vector<Step> steps;
  if ((n + 1) * (m + 1) > kMaxMatchCells) {
    steps.insert(steps.end(), n, Step::kRemove);
    steps.insert(steps.end(), m, Step::kAdd);
    return steps;
  }
  std::vector<std::vector<unsigned>> common(n + 1, std::vector<unsigned>(m + 1, 0));
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m; j-- > 0;) {
      common[i][j] = a[aBegin + i] == b[bBegin + j] ? common[i + 1][j + 1] + 1
                                                    : std::max(common[i + 1][j], common[i][j + 1]);
    }
  }
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && a[aBegin + i] == b[bBegin + j]) {
      steps.push_back(Step::kKeep);
      ++i;
      ++j;
    } else if (j < m && (i == n || common[i][j + 1] >= common[i + 1][j])) {
      steps.push_back(Step::kAdd);
      ++j;
    } else {
      steps.push_back(Step::kRemove);
      ++i;
    }
  }
  return steps;
}

}  // namespace

std::vector<DiffHunk> diffLines(const std::string& before, const std::string& after) {
  std::vector<std::string> a = splitLines(before);
  std::vector<std::string> b = splitLines(after);
  std::size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
         a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
    ++suffix;
  }
  std::vector<Step> steps = matchMiddle(a, prefix, a.size() - suffix, b, prefix, b.size() - suffix);

  std::vector<DiffHunk> hunks;
  std::size_t i = prefix;
  std::size_t j = prefix;
  bool open = false;
  for (Step step : steps) {
    if (step == Step::kKeep) {
      open = false;
      ++i;
      ++j;
      continue;
    }
    if (!open) {
      hunks.push_back(DiffHunk{static_cast<int>(i) + 1, {}, {}});
      open = true;
    }
    if (step == Step::kRemove) {
      hunks.back().removed.push_back(a[i++]);
    } else {
      hunks.back().added.push_back(b[j++]);
    }
  }
  return hunks;
}

std::string formatDiff(const std::string& file, const std::vector<DiffHunk>& hunks) {
  std::string text;
  for (const DiffHunk& hunk : hunks) {
    text += file + ":" + std::to_string(hunk.oldLine) + ":\n";
    for (const std::string& line : hunk.removed) text += "  - " + line + "\n";
    for (const std::string& line : hunk.added) text += "  + " + line + "\n";
  }
  return text;
}
