// A line diff of two texts, for showing what a rewrite changes: runs of removed and added lines,
// each placed at the line of the old text where it starts.
#ifndef TAM_TOOL_LINEDIFF_H
#define TAM_TOOL_LINEDIFF_H

#include <string>
#include <vector>

struct DiffHunk {
  int oldLine = 0;  // 1-based line of the old text where the change starts
  std::vector<std::string> removed;
  std::vector<std::string> added;
};

std::vector<DiffHunk> diffLines(const std::string& before, const std::string& after);

// The hunks as "file:line:" followed by "  - old" and "  + new" lines.
std::string formatDiff(const std::string& file, const std::vector<DiffHunk>& hunks);

#endif  // TAM_TOOL_LINEDIFF_H
