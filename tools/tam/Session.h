// A Session is everything a command needs to work on one product: the product file, the file
// adapter with the module index and the legacy values, a window, and the tree of ProductNodes
// with their load-if conditions, forced states and host values. It also turns a failure raised
// while the tree is evaluated or validated into a report placed in the file at fault.
//
// Problems with the product file, its module folders, node module ids and host values are
// ToolErrors with kExitUsage; a module file that fails when the library loads it is a ToolError
// with kExitReported, reported at its place in that module file.
#ifndef TAM_TOOL_SESSION_H
#define TAM_TOOL_SESSION_H

#include <tam/libtam.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "FileAdapter.h"
#include "Product.h"
#include "ProductNode.h"

// A host value given beside the product file: NODEPATH:module:option=VALUE on the command line,
// or one choice of a sweep variant.
struct CommandLineValue {
  std::string argument;
  std::string nodePath;
  std::string moduleId;
  std::string optionName;
  std::string text;
  // Typed values (JSON booleans, numbers, strings), several for an option that takes several at
  // once; when empty, `text` is the one value. Strings are read by the option's type, as `text`.
  std::vector<nlohmann::json> values;
  // How messages name the value: "--set ARGUMENT" for the command line.
  std::string where;
};

// Throws ToolError (kExitUsage) when the argument is not NODEPATH:module:option=VALUE.
CommandLineValue parseSetArgument(const std::string& argument);

class Session {
 public:
  explicit Session(const std::string& productPath);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  // Builds the node tree and sets the root of the window. Host values are the product's, then
  // those of the command line, in order.
  void buildTree(const std::vector<CommandLineValue>& commandLine);
  // Gives the built tree its host values anew, the product's and then `commandLine`'s, after
  // clearing what an earlier evaluation left (node sets, evaluation marks, messages, legacy
  // values), so that the next evaluation gives what a fresh session would. Bad values are
  // ToolErrors as in buildTree; the nodes before the bad one have their values then.
  void setHostValues(const std::vector<CommandLineValue>& commandLine);

  const Product& product() const { return product_; }
  FileAdapter& adapter() { return adapter_; }
  const ref_count_ptr<TamWindow>& window() const { return window_; }
  ProductNode* root() const { return root_.get(); }
  // Why host values for `moduleId` cannot be given at the node `nodePath` (there is no such node,
  // or its module is another), or the empty text when they can.
  std::string hostValueProblem(const std::string& nodePath, const std::string& moduleId) const;
  // Every node, depth first in the product's order.
  std::vector<ProductNode*> nodes() const;
  // The product file's "file:line" of a node.
  std::string where(const ProductNode& node) const { return product_.where(node.source()); }

  // A failure raised by the library while evaluating or validating, placed in its file (the
  // module file of the failing rule, or the product file for a load-if), ready to print.
  std::string describeFailure(const TamException& e);

 private:
  std::unique_ptr<ProductNode> buildNode(const NodeEntry& given, ProductNode* parent);
  void applyHostValues(ProductNode& node, const std::vector<HostValueEntry>& values);
  void addHostValue(TamSelOptionSet& set, const HostValueEntry& given);
  [[noreturn]] void failLoadOrValue(const HostValueEntry& given, const TamException& e,
                                    std::size_t failedBefore);
  bool failsInLoadIf(ProductNode& node, const TamException& e);
  Diagnostic ruleDiagnostic(const ModuleFile& file, const TamException& e);

  Product product_;
  FileAdapter adapter_;
  ref_count_ptr<TamWindow> window_;
  std::unique_ptr<ProductNode> root_;
  std::map<const ProductNode*, const NodeEntry*> entries_;
};

#endif  // TAM_TOOL_SESSION_H
