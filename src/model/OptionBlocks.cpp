#include "model/OptionBlocks.h"

#include <algorithm>
#include <atomic>
#include <new>

namespace tam {
namespace detail {
namespace {

// Every option is aligned as operator new aligns, behind a header of that size naming its block.
constexpr std::size_t kAlignment = alignof(std::max_align_t);

constexpr std::size_t roundUp(std::size_t size) {
  return (size + kAlignment - 1) / kAlignment * kAlignment;
}

struct Header {
  void* block;  // the OptionBlocks::Block, or null for an option on the heap
};
constexpr std::size_t kHeader = roundUp(sizeof(Header));

thread_local OptionBlocks* placing = nullptr;

}  // namespace

// The block's holds: one for its window while it fills it, and one per option placed in it and
// not yet let go. Slots follow the block, each a header and an option.
struct OptionBlocks::Block {
  std::atomic<std::size_t> holds{1};
  std::size_t slotSize;
  std::size_t slots;
  std::size_t used = 0;

  Block(std::size_t slotSize, std::size_t slots) : slotSize(slotSize), slots(slots) {}
  char* slot(std::size_t index) {
    return reinterpret_cast<char*>(this) + roundUp(sizeof(Block)) + index * slotSize;
  }
};

OptionBlocks::~OptionBlocks() {
  if (block_ != nullptr) let(block_);
}

OptionBlocks::Placing::Placing(OptionBlocks* blocks) : enclosing_(placing) { placing = blocks; }

OptionBlocks::Placing::~Placing() { placing = enclosing_; }

void OptionBlocks::let(Block* block) noexcept {
  if (block->holds.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    block->~Block();
    ::operator delete(block);
  }
}

char* OptionBlocks::take(std::size_t slotSize, void*& owner) {
  if (block_ == nullptr || block_->used == block_->slots) {
    void* room = ::operator new(roundUp(sizeof(Block)) + nextSlots_ * slotSize);  // may throw
    if (block_ != nullptr) let(block_);
    block_ = new (room) Block(slotSize, nextSlots_);
    nextSlots_ = std::min(2 * nextSlots_, kMaxSlots);
  }
  if (block_->slotSize != slotSize) return nullptr;
  block_->holds.fetch_add(1, std::memory_order_relaxed);
  owner = block_;
  return block_->slot(block_->used++);
}

void* OptionBlocks::allocate(std::size_t size) {
  const std::size_t slotSize = kHeader + roundUp(size);
  void* owner = nullptr;
  char* at = placing != nullptr ? placing->take(slotSize, owner) : nullptr;
  if (at == nullptr) {
    at = static_cast<char*>(::operator new(slotSize));
    owner = nullptr;
  }
  reinterpret_cast<Header*>(at)->block = owner;
  return at + kHeader;
}

void OptionBlocks::release(void* option) noexcept {
  if (option == nullptr) return;
  char* at = static_cast<char*>(option) - kHeader;
  void* owner = reinterpret_cast<Header*>(at)->block;
  if (owner == nullptr) {
    ::operator delete(at);
  } else {
    let(static_cast<Block*>(owner));
  }
}

}  // namespace detail
}  // namespace tam
