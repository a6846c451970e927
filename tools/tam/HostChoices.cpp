#include "HostChoices.h"

namespace {

const std::vector<HostValueEntry> kNoEntries;

void loadNode(const NodeEntry& node, const std::string& parentPath,
              std::map<std::string, std::vector<HostValueEntry>>& entries) {
  // Product files nest at most Product::kMaxDepth deep, so this recursion is bounded.
  std::string path = parentPath.empty() ? node.id : parentPath + "." + node.id;
  if (!node.values.empty()) entries[path] = node.values;
  for (const NodeEntry& child : node.children) loadNode(child, path, entries);
}

}  // namespace

std::string entryOption(const HostValueEntry& entry) {
  return entry.moduleId + ":" + entry.optionName;
}

void HostChoices::load(const NodeEntry& root) {
  current_.clear();
  loadNode(root, "", current_);
  saved_ = current_;
  undo_.clear();
  redo_.clear();
}

const std::vector<HostValueEntry>& HostChoices::at(const std::string& nodePath) const {
  auto it = current_.find(nodePath);
  return it == current_.end() ? kNoEntries : it->second;
}

std::vector<HostValueEntry> HostChoices::of(const Entries& entries, const std::string& nodePath,
                                            const std::string& option) {
  std::vector<HostValueEntry> found;
  auto it = entries.find(nodePath);
  if (it == entries.end()) return found;
  for (const HostValueEntry& entry : it->second) {
    if (entryOption(entry) == option) found.push_back(entry);
  }
  return found;
}

std::vector<HostValueEntry> HostChoices::entriesOf(const std::string& nodePath,
                                                   const std::string& option) const {
  return of(current_, nodePath, option);
}

std::vector<HostValueEntry> HostChoices::savedEntriesOf(const std::string& nodePath,
                                                        const std::string& option) const {
  return of(saved_, nodePath, option);
}

void HostChoices::apply(const HostStep& step, bool forward) {
  std::vector<HostValueEntry>& entries = current_[step.nodePath];
  const std::vector<HostValueEntry>& replacement = forward ? step.after : step.before;
  // The option's entries keep the place of its first one, so that entries read from the file
  // come back where they were.
  std::size_t place = entries.size();
  std::vector<HostValueEntry> kept;
  for (const HostValueEntry& entry : entries) {
    if (entryOption(entry) == step.option) {
      if (place == entries.size()) place = kept.size();
    } else {
      kept.push_back(entry);
    }
  }
  if (place > kept.size()) place = kept.size();
  kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(place), replacement.begin(),
              replacement.end());
  if (kept.empty()) {
    current_.erase(step.nodePath);
  } else {
    entries = std::move(kept);
  }
}

void HostChoices::record(HostStep step) {
  undo_.push_back(std::move(step));
  if (undo_.size() > kMaxSteps) undo_.erase(undo_.begin());
  redo_.clear();
}

void HostChoices::undone() {
  redo_.push_back(std::move(undo_.back()));
  undo_.pop_back();
}

void HostChoices::redone() {
  undo_.push_back(std::move(redo_.back()));
  redo_.pop_back();
}

bool HostChoices::sameEntries(const std::vector<HostValueEntry>& a,
                              const std::vector<HostValueEntry>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (entryOption(a[i]) != entryOption(b[i]) || a[i].values != b[i].values ||
        a[i].how != b[i].how) {
      return false;
    }
  }
  return true;
}

std::set<std::pair<std::string, std::string>> HostChoices::optionsIn(const Entries& a,
                                                                     const Entries& b) {
  std::set<std::pair<std::string, std::string>> options;
  for (const Entries* entries : {&a, &b}) {
    for (const auto& node : *entries) {
      for (const HostValueEntry& entry : node.second)
        options.insert({node.first, entryOption(entry)});
    }
  }
  return options;
}

std::vector<std::pair<std::string, std::string>> HostChoices::unsaved() const {
  std::vector<std::pair<std::string, std::string>> differing;
  for (const auto& option : optionsIn(current_, saved_)) {
    if (!sameEntries(of(current_, option.first, option.second),
                     of(saved_, option.first, option.second))) {
      differing.push_back(option);
    }
  }
  return differing;
}

bool HostChoices::sameChoices(const HostChoices& other) const {
  for (const auto& option : optionsIn(current_, other.current_)) {
    if (!sameEntries(of(current_, option.first, option.second),
                     of(other.current_, option.first, option.second))) {
      return false;
    }
  }
  return true;
}

void HostChoices::reload(const NodeEntry& root) {
  current_.clear();
  loadNode(root, "", current_);
  saved_ = current_;
}

void HostChoices::saved() { saved_ = current_; }
