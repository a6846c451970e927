// A Product is a product file read and checked for its shape (see docs/product-format.md): the
// folders holding the module files, the variants mode, the legacy option values the host keeps,
// and the node tree with each node's module, load-if, forced state and host values. Every element
// keeps its JSON pointer, so that later problems can name the file and the line. A product file
// that is not valid JSON or does not have this shape is a ToolError (kExitUsage).
#ifndef TAM_TOOL_PRODUCT_H
#define TAM_TOOL_PRODUCT_H

#include <tam/libtam.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "JsonDocument.h"

struct HostValueEntry {
  std::string moduleId;
  std::string optionName;
  std::vector<nlohmann::json> values;
  TamSelOptionSet::HowSet how = TamSelOptionSet::HOWSET_HOST;
  std::string where;                    // "file:line" of the host value, or the --set argument
  std::vector<std::string> valueWhere;  // "file:line" of each value; empty for --set
  std::vector<std::string> valuePointers;  // JSON pointer of each value; empty for --set
  std::string pointer;                  // JSON pointer of the host value object; empty for --set
};

struct NodeEntry {
  std::string id;
  std::string moduleId;  // empty: the node has no module
  bool hasLoadIf = false;
  std::string loadIf;
  TamNode::ConfigState forced = TamNode::CS_UNDECIDED;
  std::vector<HostValueEntry> values;
  std::vector<NodeEntry> children;
  std::string pointer;
};

struct LegacyEntry {
  std::string moduleId;
  std::string optionName;
  std::vector<nlohmann::json> values;
  std::string pointer;
};

class Product {
 public:
  // Nodes may nest this deep; deeper trees are refused rather than walked recursively.
  static constexpr int kMaxDepth = 100;

  static Product load(const std::string& path);
  // The same for a text held in memory; `path` names it in messages and places its folders.
  static Product fromText(const std::string& path, const std::string& text);

  const JsonDocument& document() const { return document_; }
  const std::string& path() const { return document_.path(); }
  const std::string& name() const { return name_; }
  // The module folders as written and as paths usable from the working directory.
  const std::vector<std::string>& folders() const { return folders_; }
  const std::vector<std::string>& folderPaths() const { return folderPaths_; }
  TamWindow::VariantsMode variantsMode() const { return variantsMode_; }
  const char* variantsModeName() const;
  const std::vector<LegacyEntry>& legacyOptions() const { return legacy_; }
  const NodeEntry& root() const { return root_; }

  // "file:line" of the element at this pointer, and its place.
  std::string where(const std::string& pointer) const { return document_.where(pointer); }
  SourcePlace place(const std::string& pointer) const { return document_.place(pointer); }
  // Throws ToolError (kExitUsage) with an error at the element at pointer.
  [[noreturn]] void fail(const std::string& pointer, const std::string& message) const;

 private:
  void readTop();
  void readLegacy(const std::string& pointer);
  NodeEntry readNode(const std::string& pointer, int depth);
  HostValueEntry readHostValue(const std::string& pointer);
  std::vector<nlohmann::json> readScalars(const std::string& pointer, const char* what);
  void checkKeys(const std::string& pointer, std::initializer_list<const char*> allowed);
  const nlohmann::json& at(const std::string& pointer) const;
  std::string stringAt(const std::string& pointer, const char* what) const;

  JsonDocument document_;
  std::string name_;
  std::vector<std::string> folders_;
  std::vector<std::string> folderPaths_;
  TamWindow::VariantsMode variantsMode_ = TamWindow::VM_MODULAR;
  std::vector<LegacyEntry> legacy_;
  NodeEntry root_;
};

#endif  // TAM_TOOL_PRODUCT_H
