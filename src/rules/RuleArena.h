// RuleArena holds the nodes of one parsed rule tree. The rule parser places every node it makes in
// the arena of the text it reads, in a few large blocks instead of one heap block per node; the
// root that takes the tree takes the arena too and frees it, all at once, after the tree's
// destructors have run. The arena only grows: a node deleted before its root (a rewrite, a tree
// dropped after translation, the nodes of a failed parse) has its destructor run and its bytes
// kept until the arena goes.
//
// The arena also keeps the names the nodes refer to, copied once, unaligned and without a
// terminating zero.
//
// ArenaNode is the base of the node classes (statements, value expressions, option references).
// `new (arena) Node(...)` places a node in an arena and plain `new Node(...)` on the heap, as
// before; `delete` works on both, so owners need not know where their nodes live. An arena node
// carries no mark of its home: the heap ones, the rare case, are remembered apart. A node class
// needs no stronger alignment than a pointer's (checked where the parser places nodes).
#ifndef TAM_SRC_RULES_RULEARENA_H
#define TAM_SRC_RULES_RULEARENA_H

#include <cstddef>
#include <string_view>

namespace tam {
namespace detail {

class RuleArena {
 public:
  // The first block is sized for the text to be parsed, at kBytesPerTextByte (about what typical
  // rules take, measured: one-line if statements setting an option take 6.5 to 7.5), between
  // kMinBlock and kMaxBlock; should the tree need more, further
  // blocks of kNextBlock follow. A one-line condition thus takes one small block, and a module's
  // rules one block, with little left unused.
  static constexpr std::size_t kBytesPerTextByte = 7;
  static constexpr std::size_t kMinBlock = 192;
  static constexpr std::size_t kMaxBlock = 64 * 1024;
  static constexpr std::size_t kNextBlock = 4 * 1024;
  static constexpr std::size_t kAlignment = alignof(void*);

  explicit RuleArena(std::size_t textSize);
  ~RuleArena();
  RuleArena(const RuleArena&) = delete;
  RuleArena& operator=(const RuleArena&) = delete;

  // size bytes aligned to kAlignment; raises std::bad_alloc and then leaves the arena as it was.
  void* allocate(std::size_t size);
  // A copy of `first` followed by `second` in the arena, unaligned, for the names the nodes keep;
  // the same failure.
  std::string_view copy(std::string_view first, std::string_view second = std::string_view());
  // The bytes the arena holds from the heap (for measurements).
  std::size_t reservedBytes() const { return reserved_; }

 private:
  struct Block {
    Block* previous;
  };

  // size bytes at a multiple of alignment (a power of two, at most kAlignment).
  void* take(std::size_t size, std::size_t alignment);

  Block* last_ = nullptr;
  char* next_ = nullptr;
  std::size_t left_ = 0;
  std::size_t nextBlockSize_;
  std::size_t reserved_ = 0;
};

class ArenaNode {
 public:
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, RuleArena& arena);
  static void operator delete(void* node) noexcept;
  // Used only when a constructor throws in `new (arena) Node(...)`: the arena keeps the bytes.
  static void operator delete(void* node, RuleArena& arena) noexcept;

 protected:
  ArenaNode() = default;
  ~ArenaNode() = default;
};

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_RULES_RULEARENA_H
