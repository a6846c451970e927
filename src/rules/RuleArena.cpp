#include "rules/RuleArena.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

namespace tam {
namespace detail {
namespace {

// A node in an arena carries nothing to say so: every node of a parse lives in its arena, and
// the few placed on the heap (trees built by hand) are the ones remembered, here, so that delete
// can tell them apart. The count lets the usual delete, of an arena node while no heap node
// exists, skip the lock. Never destroyed: nodes may be deleted during the process's exit.
class HeapNodes {
 public:
  // Raises std::bad_alloc and then remembers nothing.
  void add(void* node) {
    std::lock_guard<std::mutex> lock(mutex_);
    nodes_.insert(node);
    count_.store(nodes_.size(), std::memory_order_release);
  }
  // Whether node was a heap node; it is forgotten.
  bool remove(void* node) {
    if (count_.load(std::memory_order_acquire) == 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (nodes_.erase(node) == 0) return false;
    count_.store(nodes_.size(), std::memory_order_release);
    return true;
  }

 private:
  std::mutex mutex_;
  std::unordered_set<void*> nodes_;
  std::atomic<std::size_t> count_{0};
};

HeapNodes& heapNodes() {
  static HeapNodes* const nodes = new HeapNodes();
  return *nodes;
}

constexpr std::size_t roundUp(std::size_t size) {
  return (size + RuleArena::kAlignment - 1) & ~(RuleArena::kAlignment - 1);
}

}  // namespace

RuleArena::RuleArena(std::size_t textSize)
    : nextBlockSize_(
          std::clamp(textSize, kMinBlock / kBytesPerTextByte, kMaxBlock / kBytesPerTextByte) *
          kBytesPerTextByte) {}

RuleArena::~RuleArena() {
  while (last_ != nullptr) {
    Block* previous = last_->previous;
    ::operator delete(last_);
    last_ = previous;
  }
}

void* RuleArena::allocate(std::size_t size) { return take(roundUp(size), kAlignment); }

std::string_view RuleArena::copy(std::string_view first, std::string_view second) {
  const std::size_t size = first.size() + second.size();
  if (size == 0) return std::string_view();
  char* at = static_cast<char*>(take(size, 1));
  if (!first.empty()) std::memcpy(at, first.data(), first.size());
  if (!second.empty()) std::memcpy(at + first.size(), second.data(), second.size());
  return std::string_view(at, size);
}

void* RuleArena::take(std::size_t size, std::size_t alignment) {
  std::size_t pad = (alignment - reinterpret_cast<std::uintptr_t>(next_) % alignment) % alignment;
  if (pad > left_ || size > left_ - pad) {
    const std::size_t header = roundUp(sizeof(Block));
    const std::size_t blockSize = std::max(nextBlockSize_, header + size);
    auto* block = static_cast<Block*>(::operator new(blockSize));  // may throw: nothing changed
    block->previous = last_;
    last_ = block;
    next_ = reinterpret_cast<char*>(block) + header;
    left_ = blockSize - header;
    reserved_ += blockSize;
    nextBlockSize_ = kNextBlock;
    pad = 0;  // a block's room starts aligned
  }
  next_ += pad;
  left_ -= pad;
  void* result = next_;
  next_ += size;
  left_ -= size;
  return result;
}

void* ArenaNode::operator new(std::size_t size) {
  void* node = ::operator new(size);
  try {
    heapNodes().add(node);
  } catch (...) {
    ::operator delete(node);
    throw;
  }
  return node;
}

void* ArenaNode::operator new(std::size_t size, RuleArena& arena) { return arena.allocate(size); }

void ArenaNode::operator delete(void* node) noexcept {
  if (node != nullptr && heapNodes().remove(node)) ::operator delete(node);
}

void ArenaNode::operator delete(void*, RuleArena&) noexcept {}

}  // namespace detail
}  // namespace tam
