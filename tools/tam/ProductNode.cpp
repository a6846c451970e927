#include "ProductNode.h"

namespace {

// The library's walk over a node's children; it deletes the iterator when done.
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

ProductNode::ProductNode(ref_count_ptr<TamWindow> window, ProductNode* parent,
                         const std::string& id, const std::string& moduleId)
    : TamNode(window),
      parent_(parent),
      id_(id),
      moduleId_(moduleId),
      path_(parent == nullptr ? id : parent->path() + "." + id) {}

ProductNode::~ProductNode() = default;

TamNodeIterator* ProductNode::children() { return new ChildIterator(children_); }

void ProductNode::evaluate(const TamSelOptionSet& parentSos, bool notify) {
  visited_ = true;
  try {
    TamNode::evaluate(parentSos, notify);
  } catch (const TamException& e) {
    if (e.node() == this) failed_ = true;
    throw;
  }
}

ProductNode* ProductNode::addChild(std::unique_ptr<ProductNode> child) {
  children_.push_back(std::move(child));
  return children_.back().get();
}
