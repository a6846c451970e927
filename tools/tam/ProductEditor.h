// A ProductEditor writes host values back into the text of a product file (see
// docs/product-format.md). Each change touches only the bytes of the host values it changes:
// every other byte of the file, its layout, key order and the way other values are written, stays
// as it was. New text follows the layout around it (the indentation of the node's lines, one host
// value per line when the node's values are written so).
//
// Nodes are named by their JSON pointer in the text the editor started from; changes keep those
// pointers valid, since no node is added or removed. A text that does not have the expected shape
// (no such node, host values that are not a list of objects) is a ToolError (kExitReported).
#ifndef TAM_TOOL_PRODUCTEDITOR_H
#define TAM_TOOL_PRODUCTEDITOR_H

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "JsonSpans.h"

class ProductEditor {
 public:
  explicit ProductEditor(std::string text) : text_(std::move(text)) {}

  // One host value entry: its values and how they are set ("host", "host_firm", "host_forced").
  struct Entry {
    std::vector<nlohmann::json> values;
    std::string how;
  };

  // Makes the node's host value entries of `option` (module:option) read `entries`, in order.
  // Existing entries of the option are rewritten in place, those left over removed (with the
  // node's "values" list when it is left empty), and further ones added after the node's last
  // host value, or in a new "values" list after the node's "module" member.
  void setEntries(const std::string& nodePointer, const std::string& option,
                  const std::vector<Entry>& entries);

  const std::string& text() const { return text_; }

 private:
  // The pointers of the node's host value entries of this option, in text order.
  std::vector<std::string> entriesOf(const JsonSpans& spans, const std::string& nodePointer,
                                     const std::string& option) const;
  void rewriteEntry(const std::string& entry, const Entry& to);
  void addEntry(const std::string& nodePointer, const std::string& option, const Entry& entry);
  // Removes the member or element at `pointer` of the container at `parent`, with one separator.
  void removeChild(const std::string& parent, const std::string& pointer);

  std::string spanText(const JsonSpan& span) const;
  // The blanks that start the line holding `offset`, and whether only blanks stand before it.
  std::string indentOf(std::size_t offset, bool& firstOnLine) const;
  void replace(std::size_t begin, std::size_t end, const std::string& with);
  [[noreturn]] void fail(const std::string& pointer, const std::string& problem) const;

  std::string text_;
};

#endif  // TAM_TOOL_PRODUCTEDITOR_H
