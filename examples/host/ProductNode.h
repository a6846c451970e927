// ProductNode is one node of the host's product structure as libtam sees it: an id, the module
// that describes it (or none), its parent and its children. The host owns the whole tree: each
// node owns its children, and the library only borrows the nodes while it evaluates them.
#ifndef TAM_HOST_EXAMPLE_PRODUCTNODE_H
#define TAM_HOST_EXAMPLE_PRODUCTNODE_H

#include <tam/libtam.h>

#include <memory>
#include <string>
#include <vector>

class ProductNode : public TamNode {
 public:
  // A node of `window`; moduleId may be empty for a node without a module.
  ProductNode(const ref_count_ptr<TamWindow>& window, ProductNode* parent, std::string id,
              std::string moduleId);
  ProductNode(const ProductNode&) = delete;
  ProductNode& operator=(const ProductNode&) = delete;

  // Adds a child at the end of the children; the reference stays valid as long as this node.
  ProductNode& addChild(const std::string& id, const std::string& moduleId);

  // The ids from the root down to this node, joined with ".".
  std::string path() const;
  const std::vector<std::unique_ptr<ProductNode>>& childNodes() const { return children_; }

  // What the library asks of every node.
  TamNode* parent() override { return parent_; }
  TamNodeIterator* children() override;  // a new iterator; the library deletes it
  bool hasModule() override { return !moduleId_.empty(); }
  std::string moduleId() override { return moduleId_; }
  std::string pathId() override { return id_; }

 private:
  ProductNode* parent_;
  std::string id_;
  std::string moduleId_;
  std::vector<std::unique_ptr<ProductNode>> children_;
};

#endif  // TAM_HOST_EXAMPLE_PRODUCTNODE_H
