// HostChoices are the host values a person chooses at the nodes of a product while configuring
// it: as they stand now, as the product file holds them, and the steps between, for undo and
// redo. A step replaces the host values of one option at one node; the entries of every other
// option stay exactly as they were (entries read from the file keep their places in it).
//
// Nodes are named by path, options by module:option. Plain data: the owner serialises access.
#ifndef TAM_TOOL_HOSTCHOICES_H
#define TAM_TOOL_HOSTCHOICES_H

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Product.h"

// One change: the entries of `option` at `nodePath` before and after it.
struct HostStep {
  std::string nodePath;
  std::string option;
  std::vector<HostValueEntry> before;
  std::vector<HostValueEntry> after;
  std::string label;  // what a person reads on the undo and redo buttons
};

class HostChoices {
 public:
  // Steps kept for undo; the oldest are forgotten first.
  static constexpr std::size_t kMaxSteps = 1000;

  // Starts from the host values of the product file's nodes, with no steps.
  void load(const NodeEntry& root);

  // The node's entries in the order they are applied; empty for a node without host values.
  const std::vector<HostValueEntry>& at(const std::string& nodePath) const;
  // The entries of one option at a node, in order.
  std::vector<HostValueEntry> entriesOf(const std::string& nodePath,
                                        const std::string& option) const;
  // The same as the product file holds them.
  std::vector<HostValueEntry> savedEntriesOf(const std::string& nodePath,
                                             const std::string& option) const;

  // Makes a step's `after` (forward) or `before` (backward) the option's entries at its node.
  void apply(const HostStep& step, bool forward);
  // Records a step that was applied: it can be undone, and the steps that were undone are gone.
  void record(HostStep step);

  bool canUndo() const { return !undo_.empty(); }
  bool canRedo() const { return !redo_.empty(); }
  const HostStep& nextUndo() const { return undo_.back(); }
  const HostStep& nextRedo() const { return redo_.back(); }
  // Moves the next step from one list to the other, once it was applied backward or forward.
  void undone();
  void redone();

  // Takes the host values from the product file again, keeping the steps: for a file that was
  // just written with the entries as they stand.
  void reload(const NodeEntry& root);
  // Whether both hold the same entries for every option at every node.
  bool sameChoices(const HostChoices& other) const;

  // The node paths and options whose entries differ from the product file's, in order.
  std::vector<std::pair<std::string, std::string>> unsaved() const;
  // The product file now holds the entries as they stand.
  void saved();

  // Whether two lists of entries hold the same values set the same way.
  static bool sameEntries(const std::vector<HostValueEntry>& a,
                          const std::vector<HostValueEntry>& b);

 private:
  using Entries = std::map<std::string, std::vector<HostValueEntry>>;

  // The node paths and options with entries in either of two sets of entries.
  static std::set<std::pair<std::string, std::string>> optionsIn(const Entries& a,
                                                                 const Entries& b);
  static std::vector<HostValueEntry> of(const Entries& entries, const std::string& nodePath,
                                        const std::string& option);

  Entries current_;
  Entries saved_;
  std::vector<HostStep> undo_;
  std::vector<HostStep> redo_;
};

// module:option of an entry.
std::string entryOption(const HostValueEntry& entry);

#endif  // TAM_TOOL_HOSTCHOICES_H
