// OptionBlocks places the options a window's modules make while they read their texts for the
// first time side by side, in a few blocks per window, instead of one heap block each wherever
// the heap has room. An evaluation walks the options of every module at every node; scattered
// over a heap that earlier windows of the process left full of holes, they cost up to a third of
// the evaluation in cache and page misses.
//
// Each option, in a block or not, is preceded by a header naming its block (none for an option
// on the heap). TamOption::operator delete gives an option's room back: a block goes once its
// window has let it go (when it is full, or when the window goes) and the last of its options has
// gone, on whichever thread lets that option go (the count is atomic). Options outlive their
// module, window and text as before; a block merely stays while any of its options does. Blocks
// start small and double, so a window of a few options keeps little room unused.
//
// Options take heap blocks of their own when made outside a first read of a module text: legacy
// options, options added one by one, and those of a re-read (which keeps most of the options it
// had and drops others).
#ifndef TAM_SRC_MODEL_OPTIONBLOCKS_H
#define TAM_SRC_MODEL_OPTIONBLOCKS_H

#include <cstddef>

namespace tam {
namespace detail {

class OptionBlocks {
 public:
  OptionBlocks() = default;
  // Lets go of the block being filled; it goes when its options have.
  ~OptionBlocks();
  OptionBlocks(const OptionBlocks&) = delete;
  OptionBlocks& operator=(const OptionBlocks&) = delete;

  // While a Placing lives, the options this thread makes go to `blocks` (none: the heap).
  // Placings nest; each ends where it began.
  class Placing {
   public:
    explicit Placing(OptionBlocks* blocks);
    ~Placing();
    Placing(const Placing&) = delete;
    Placing& operator=(const Placing&) = delete;

   private:
    OptionBlocks* enclosing_;
  };

  // Room for an option of `size` bytes, in the blocks this thread places in, else on the heap.
  // Raises std::bad_alloc.
  static void* allocate(std::size_t size);
  // Gives back the room of an option allocate() made.
  static void release(void* option) noexcept;

 private:
  struct Block;
  static constexpr std::size_t kFirstSlots = 16;
  static constexpr std::size_t kMaxSlots = 1024;

  // A slot of `slotSize` bytes in the block being filled (a new one when it is full), noting the
  // block in `owner`; null for a size the block does not hold.
  char* take(std::size_t slotSize, void*& owner);
  static void let(Block* block) noexcept;

  Block* block_ = nullptr;
  std::size_t nextSlots_ = kFirstSlots;
};

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_MODEL_OPTIONBLOCKS_H
