// A Session is everything a command needs to work on one product: the product file, the file
// adapter with the module index and the legacy values, a window with the record of its
// evaluations (the window's observer), and the tree of ProductNodes with their load-if conditions,
// forced states and host values. It also turns a failure raised while the tree is evaluated or
// validated into a report placed in the file at fault.
//
// Problems with the product file, its module folders, node module ids and host values are
// ToolErrors with kExitUsage; a module file that fails when the library loads it is a ToolError
// with kExitReported, reported at its place in that module file.
#ifndef TAM_TOOL_SESSION_H
#define TAM_TOOL_SESSION_H

#include <tam/libtam.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Diagnostics.h"
#include "EvaluationRecord.h"
#include "FileAdapter.h"
#include "Product.h"
#include "ProductLock.h"
#include "ProductNode.h"

// A host value from the command line: NODEPATH:module:option=VALUE.
struct CommandLineValue {
  std::string argument;
  std::string nodePath;
  std::string moduleId;
  std::string optionName;
  std::string text;
};

// Throws ToolError (kExitUsage) when the argument is not NODEPATH:module:option=VALUE.
CommandLineValue parseSetArgument(const std::string& argument);

class Session {
 public:
  // Texts standing in for the contents of files, by path as the session names the files (the
  // product path as given, module files as folder + "/" + name): a scratch session sees the
  // product as it would be once those texts were written.
  using ReplacedTexts = std::map<std::string, std::string>;

  // Reads the product. Its files are read under a shared ProductLock, which also settles an
  // interrupted commit first, unless `held` is the caller's lock on the product (a writer's
  // exclusive one). Files named in `replaced` are not read: their texts there are taken instead.
  explicit Session(const std::string& productPath, const ProductLock* held = nullptr,
                   const ReplacedTexts* replaced = nullptr);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  // Builds the node tree and sets the root of the window. Host values are the product's, then
  // those of the command line, in order.
  void buildTree(const std::vector<CommandLineValue>& commandLine);

  const Product& product() const { return product_; }
  FileAdapter& adapter() { return adapter_; }
  const ref_count_ptr<TamWindow>& window() const { return window_; }
  ProductNode* root() const { return root_.get(); }
  // Every node, depth first in the product's order.
  std::vector<ProductNode*> nodes() const;
  // The product file's "file:line" of a node.
  std::string where(const ProductNode& node) const { return product_.where(node.source()); }
  // The host values given at a node, the product file's and then the command line's.
  const std::vector<HostValueEntry>& hostValues(const ProductNode& node) const;

  // What the window's observer heard. It keeps messages and rule failures; turn its history on
  // before evaluating to explain values afterwards.
  EvaluationRecord& record() { return record_; }
  const EvaluationRecord& record() const { return record_; }

  // Evaluates the tree from the root. Failed module loads, the adapter's messages and legacy
  // values, each node's record of the last evaluation and the session's record start afresh, so
  // that evaluating again after host values changed gives what a first evaluation with those
  // values would. Each message the adapter receives gets the line of the statement that emitted
  // it. Raises what the evaluation raises.
  void evaluate();

  // Takes the modules whose text failed to load out of the window and forgets the failures, so
  // that the next lookup asks the adapter again (and fails again, placed anew).
  void forgetFailedLoads();

  // Replaces the host values of a node by `values`, applied in order; with none the node keeps no
  // set of its own. Throws ToolError, as buildTree does, for a value that does not fit.
  void setHostValues(ProductNode& node, const std::vector<HostValueEntry>& values);

  // The library entry for one host value: its option looked up in the window, each value typed by
  // the option and checked against its constraints. Returns false with the reason in `problem` (a
  // sentence naming the option) and the index of the value at fault in `badValue` (the number of
  // values when the option itself is at fault). Raises what the lookup raises: 102 when the module
  // has no such option, 302 when the module cannot be loaded.
  bool hostEntry(const HostValueEntry& given, TamSelOptionSet::TamSosEntry& entry,
                 std::string& problem, std::size_t& badValue);

  // A failure raised by the library while evaluating or validating, placed in its file (the
  // statement of the failing rule in its module file, or the node's load-if in the product file),
  // worded by tam, with notes where the values of a conflict came from and naming the node being
  // evaluated.
  Diagnostic describeFailure(const TamException& e);
  // The same with the node it was raised at (null when none); `note` stays empty, the notes being
  // in the diagnostic.
  struct Failure {
    Diagnostic diagnostic;
    ProductNode* node = nullptr;
    std::string note;
  };
  Failure locateFailure(const TamException& e);

 private:
  std::unique_ptr<ProductNode> buildNode(const NodeEntry& given, ProductNode* parent);
  void addHostValue(TamSelOptionSet& set, const HostValueEntry& given);
  // A host value that cannot be used: at its place in the product file (the value itself when
  // valueIndex names one), or named by its --set argument.
  [[noreturn]] void failValue(const HostValueEntry& given, std::size_t valueIndex,
                              const std::string& message) const;
  [[noreturn]] void failLoadOrValue(const HostValueEntry& given, const TamException& e,
                                    std::size_t failedBefore);
  bool failsInLoadIf(ProductNode& node, const TamException& e);
  Diagnostic loadIfDiagnostic(ProductNode& node, const TamException& e);
  void placeMessages(std::size_t first);
  Diagnostic ruleDiagnostic(const ModuleFile& file, const TamException& e);
  // Where the value of an option at a node most likely came from, as a note of a conflict;
  // `value` (a string option's value as text) narrows it down when not empty.
  void noteValueOrigin(ProductNode& node, const std::string& optionName, const std::string& value,
                       Diagnostic& diagnostic);

  ProductLock readLock_;  // held while the constructor reads the files
  Product product_;
  FileAdapter adapter_;
  EvaluationRecord record_;
  ref_count_ptr<TamWindow> window_;
  std::unique_ptr<ProductNode> root_;
  std::map<const ProductNode*, const NodeEntry*> entries_;
  std::map<const ProductNode*, std::vector<HostValueEntry>> hostValues_;
};

#endif  // TAM_TOOL_SESSION_H
