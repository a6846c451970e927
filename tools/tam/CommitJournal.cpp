#include "CommitJournal.h"

namespace {

const char kHeading[] = "tam commit journal 1";
const char kCommandPrefix[] = "command ";
const char kStatePrefix[] = "state ";
const char kEnd[] = "end";

struct StateName {
  CommitJournal::State state;
  const char* name;
};
const StateName kStates[] = {{CommitJournal::State::kPrepared, "prepared"},
                             {CommitJournal::State::kCommitted, "committed"}};

struct MethodName {
  JournalEntry::Method method;
  const char* name;
};
const MethodName kMethods[] = {{JournalEntry::Method::kRename, "rename"},
                               {JournalEntry::Method::kOverwrite, "overwrite"}};

std::string escape(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\\') {
      result += "\\\\";
    } else if (c == '\n') {
      result += "\\n";
    } else {
      result += c;
    }
  }
  return result;
}

bool unescape(const std::string& text, std::string& result) {
  result.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      result += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    if (text[i] == 'n') {
      result += '\n';
    } else if (text[i] == '\\') {
      result += '\\';
    } else {
      return false;
    }
  }
  return true;
}

// The lines of a text that ends with a line feed.
bool splitLines(const std::string& text, std::vector<std::string>& lines) {
  if (text.empty() || text.back() != '\n') return false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

bool startsWith(const std::string& text, const char* prefix, std::string& rest) {
  const std::string head(prefix);
  if (text.compare(0, head.size(), head) != 0) return false;
  rest = text.substr(head.size());
  return true;
}

}  // namespace

std::string CommitJournal::text() const {
  std::string result = std::string(kHeading) + "\n" + kCommandPrefix + escape(command) + "\n";
  for (const StateName& entry : kStates) {
    if (entry.state == state) result += std::string(kStatePrefix) + entry.name + "\n";
  }
  for (const JournalEntry& entry : entries) {
    for (const MethodName& method : kMethods) {
      if (method.method == entry.method) result += std::string(method.name) + "\n";
    }
    result += escape(entry.target) + "\n" + escape(entry.temporary) + "\n";
  }
  return result + kEnd + "\n";
}

bool CommitJournal::parse(const std::string& text, CommitJournal& journal, std::string& problem) {
  std::vector<std::string> lines;
  problem = "it is not a complete commit journal";
  if (!splitLines(text, lines) || lines.size() < 4 || lines[0] != kHeading ||
      lines.back() != kEnd) {
    return false;
  }
  CommitJournal result;
  std::string rest;
  if (!startsWith(lines[1], kCommandPrefix, rest) || !unescape(rest, result.command)) return false;
  if (!startsWith(lines[2], kStatePrefix, rest)) return false;
  bool knownState = false;
  for (const StateName& entry : kStates) {
    if (rest == entry.name) {
      result.state = entry.state;
      knownState = true;
    }
  }
  if (!knownState) return false;
  std::size_t at = 3;
  while (at + 1 < lines.size()) {
    JournalEntry entry;
    bool knownMethod = false;
    for (const MethodName& method : kMethods) {
      if (lines[at] == method.name) {
        entry.method = method.method;
        knownMethod = true;
      }
    }
    if (!knownMethod || at + 3 >= lines.size() || !unescape(lines[at + 1], entry.target) ||
        !unescape(lines[at + 2], entry.temporary) || entry.target.empty() ||
        entry.temporary.empty()) {
      return false;
    }
    result.entries.push_back(entry);
    at += 3;
  }
  journal = result;
  problem.clear();
  return true;
}
