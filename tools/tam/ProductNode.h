// A ProductNode is one node of a product's structure as the product file describes it: its path
// identifier, the module assigned to it (if any) and the state the host forces on it. It owns its
// children; the tree is built by Session and handed to the window as the root. Load-if conditions
// and host values are given to the TamNode base (setLoadIf, setSos) by the builder.
#ifndef TAM_TOOL_PRODUCTNODE_H
#define TAM_TOOL_PRODUCTNODE_H

#include <tam/libtam.h>

#include <memory>
#include <string>
#include <vector>

class ProductNode : public TamNode {
 public:
  // `moduleId` empty means the node has no module.
  ProductNode(ref_count_ptr<TamWindow> window, ProductNode* parent, const std::string& id,
              const std::string& moduleId);
  ProductNode(const ProductNode&) = delete;
  ProductNode& operator=(const ProductNode&) = delete;
  ~ProductNode() override;

  TamNode* parent() override { return parent_; }
  TamNodeIterator* children() override;
  bool hasModule() override { return !moduleId_.empty(); }
  std::string moduleId() override { return moduleId_; }
  std::string pathId() override { return id_; }
  ConfigState forcedConfigState() override { return forced_; }
  // Runs after the node's configured state is decided and its set is bound, right before its
  // module's rules: reaching it means the node was not stopped.
  void evaluateLegacyExpressions() override { reached_ = true; }
  // Notes that the evaluation came to the node, and whether it failed there (an exception the
  // library stamped with this node), then passes everything on unchanged.
  void evaluate(const TamSelOptionSet& parentSos, bool notify) override;

  ProductNode* addChild(std::unique_ptr<ProductNode> child);
  const std::vector<std::unique_ptr<ProductNode>>& childNodes() const { return children_; }
  ProductNode* parentNode() const { return parent_; }

  const std::string& id() const { return id_; }
  const std::string& module() const { return moduleId_; }
  // The identifiers from the root down to this node, joined with ".".
  const std::string& path() const { return path_; }

  void setForcedState(ConfigState state) { forced_ = state; }
  ConfigState forcedState() const { return forced_; }
  // The load-if text as written in the product file, empty when there is none.
  void setLoadIfText(const std::string& text) { loadIfText_ = text; }
  const std::string& loadIfText() const { return loadIfText_; }
  // The JSON pointer of the node in the product file.
  void setSource(const std::string& pointer) { source_ = pointer; }
  const std::string& source() const { return source_; }

  // Whether the last evaluation ran the node's rules (it was neither stopped nor below a stopped
  // node).
  bool wasEvaluated() const { return reached_; }
  // Whether the evaluation came to the node at all, and whether it failed at the node (in its
  // load-if or its rules; its set then holds nothing of this evaluation).
  bool wasVisited() const { return visited_; }
  bool hasFailed() const { return failed_; }
  // Forgets all of that, before the tree is evaluated again.
  void startEvaluation() {
    reached_ = false;
    visited_ = false;
    failed_ = false;
  }

 private:
  ProductNode* parent_;
  std::string id_;
  std::string moduleId_;
  std::string path_;
  ConfigState forced_ = CS_UNDECIDED;
  std::string loadIfText_;
  std::string source_;
  bool reached_ = false;
  bool visited_ = false;
  bool failed_ = false;
  std::vector<std::unique_ptr<ProductNode>> children_;
};

#endif  // TAM_TOOL_PRODUCTNODE_H
