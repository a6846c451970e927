#include "ProductNode.h"

#include <utility>

namespace {

// Walks a node's children in order. It borrows the child list, which outlives it: the library
// deletes the iterator before it leaves the node.
class ChildIterator : public TamNodeIterator {
 public:
  explicit ChildIterator(const std::vector<std::unique_ptr<ProductNode>>& children)
      : children_(children) {}
  bool more() override { return index_ < children_.size(); }
  TamNode* current() override { return children_[index_].get(); }
  void next() override { ++index_; }

 private:
  const std::vector<std::unique_ptr<ProductNode>>& children_;
  std::size_t index_ = 0;
};

}  // namespace

ProductNode::ProductNode(const ref_count_ptr<TamWindow>& window, ProductNode* parent,
                         std::string id, std::string moduleId)
    : TamNode(window), parent_(parent), id_(std::move(id)), moduleId_(std::move(moduleId)) {}

ProductNode& ProductNode::addChild(const std::string& id, const std::string& moduleId) {
  children_.push_back(std::make_unique<ProductNode>(window(), this, id, moduleId));
  return *children_.back();
}

std::string ProductNode::path() const {
  return parent_ != nullptr ? parent_->path() + "." + id_ : id_;
}

TamNodeIterator* ProductNode::children() { return new ChildIterator(children_); }
