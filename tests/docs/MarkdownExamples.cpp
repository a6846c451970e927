#include "MarkdownExamples.h"

#include <sstream>

namespace {

const char kFence[] = "```";
const char kMarkerOpen[] = "<!-- ";
const char kMarkerClose[] = " -->";
const char kCommandPrefix[] = "$ tam ";
// A line that leaves lines out of an excerpt, in C++ and in CMake or shell.
const char* const kElisions[] = {"// ...", "# ..."};
const char kExitStatusOpen[] = "[exit status ";

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A marker line "<!-- KIND ARGUMENT -->"; false for any other line.
bool readMarker(const std::string& line, std::string& kind, std::string& argument) {
  if (!startsWith(line, kMarkerOpen) || !endsWith(line, kMarkerClose)) return false;
  std::istringstream words(line.substr(sizeof kMarkerOpen - 1,
                                       line.size() - sizeof kMarkerOpen - sizeof kMarkerClose + 2));
  std::string rest;
  if (!(words >> kind >> argument) || (words >> rest)) return false;
  return kind == "example" || kind == "excerpt" || kind == "output";
}

}  // namespace

MarkdownGuide readMarkdownGuide(const std::string& text) {
  MarkdownGuide guide;
  const std::vector<std::string> lines = splitLines(text);
  DocExample* example = nullptr;  // the example that claims the blocks met now
  std::string pendingKind;        // "excerpt" or "output": claims the next block
  std::string pendingSource;
  int pendingLine = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const int lineNumber = static_cast<int>(i) + 1;
    std::string kind, argument;
    if (readMarker(line, kind, argument)) {
      if (!pendingKind.empty()) {
        guide.problems.push_back("line " + std::to_string(pendingLine) + ": " + pendingKind +
                                 " marker without a code block");
      }
      example = nullptr;
      pendingKind.clear();
      if (kind == "example") {
        guide.examples.push_back({argument, lineNumber, {}});
        example = &guide.examples.back();
      } else {
        pendingKind = kind;
        pendingSource = argument;
        pendingLine = lineNumber;
      }
      continue;
    }
    if (startsWith(line, "#")) {
      example = nullptr;
      continue;
    }
    if (!startsWith(line, kFence)) continue;
    CodeBlock block;
    std::istringstream info(line.substr(sizeof kFence - 1));
    info >> block.language;
    block.line = lineNumber;
    std::size_t end = i + 1;
    while (end < lines.size() && trimmed(lines[end]) != kFence) {
      block.text += lines[end] + "\n";
      ++end;
    }
    if (end == lines.size()) {
      guide.problems.push_back("line " + std::to_string(lineNumber) + ": code block not closed");
      break;
    }
    i = end;
    if (!pendingKind.empty()) {
      auto& references = pendingKind == "excerpt" ? guide.excerpts : guide.outputs;
      references.push_back({pendingSource, block});
      pendingKind.clear();
    } else if (example != nullptr) {
      example->blocks.push_back(block);
    } else {
      guide.otherBlocks.push_back(block);
    }
  }
  if (!pendingKind.empty()) {
    guide.problems.push_back("line " + std::to_string(pendingLine) + ": " + pendingKind +
                             " marker without a code block");
  }
  return guide;
}

std::vector<ConsoleCommand> readConsoleBlock(const std::string& text,
                                             std::vector<std::string>& problems) {
  std::vector<ConsoleCommand> commands;
  for (const std::string& line : splitLines(text)) {
    if (startsWith(line, "$ ")) {
      if (!startsWith(line, kCommandPrefix)) {
        problems.push_back("a console command must run tam: " + line);
        continue;
      }
      commands.push_back({line.substr(sizeof kCommandPrefix - 1), "", 0});
    } else if (commands.empty()) {
      problems.push_back("output before the first command: " + line);
    } else if (startsWith(line, kExitStatusOpen) && endsWith(line, "]")) {
      commands.back().exitStatus =
          std::stoi(line.substr(sizeof kExitStatusOpen - 1, line.size() - sizeof kExitStatusOpen));
    } else {
      commands.back().output += line + "\n";
    }
  }
  return commands;
}

bool isExcerptOf(const std::string& excerpt, const std::string& file) {
  const std::vector<std::string> fileLines = splitLines(file);
  // The excerpt's runs of lines between elisions, each to be found after the one before.
  std::vector<std::vector<std::string>> runs(1);
  for (const std::string& line : splitLines(excerpt)) {
    const std::string text = trimmed(line);
    if (text == kElisions[0] || text == kElisions[1]) {
      runs.emplace_back();
    } else {
      runs.back().push_back(line);
    }
  }
  std::size_t from = 0;
  for (const std::vector<std::string>& run : runs) {
    if (run.empty()) continue;
    bool found = false;
    for (std::size_t start = from; start + run.size() <= fileLines.size() && !found; ++start) {
      std::size_t k = 0;
      while (k < run.size() && fileLines[start + k] == run[k]) ++k;
      if (k == run.size()) {
        found = true;
        from = start + run.size();
      }
    }
    if (!found) return false;
  }
  return true;
}
