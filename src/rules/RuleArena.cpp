#include "rules/RuleArena.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace tam {
namespace detail {
namespace {

// Every node carries one word in front of it telling where it lives, so that delete can tell a
// heap node (freed) from an arena node (left to its arena).
enum Home : std::uintptr_t { kHeap = 0, kArena = 1 };
constexpr std::size_t kHeader = RuleArena::kAlignment;
static_assert(sizeof(Home) <= kHeader, "the home of a node fits in front of it");

constexpr std::size_t roundUp(std::size_t size) {
  return (size + RuleArena::kAlignment - 1) & ~(RuleArena::kAlignment - 1);
}

void* mark(void* block, Home home) {
  *static_cast<Home*>(block) = home;
  return static_cast<char*>(block) + kHeader;
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
  return mark(::operator new(kHeader + size), kHeap);
}

void* ArenaNode::operator new(std::size_t size, RuleArena& arena) {
  return mark(arena.allocate(kHeader + size), kArena);
}

void ArenaNode::operator delete(void* node) noexcept {
  if (node == nullptr) return;
  void* block = static_cast<char*>(node) - kHeader;
  if (*static_cast<Home*>(block) == kHeap) ::operator delete(block);
}

void ArenaNode::operator delete(void*, RuleArena&) noexcept {}

}  // namespace detail
}  // namespace tam
