// OptionIdTable finds a live option by its id. Ids are handed out by a counter and never reused,
// so the table is a list of pages of kPageSlots slots indexed by the id itself: one pointer per
// option instead of a tree node, and a page is freed as soon as its last option leaves. The outer
// list grows by one pointer per kPageSlots ids ever handed out.
// Not locked: the caller guards the table (TamOption does, with one process-wide mutex).
#ifndef TAM_SRC_MODEL_OPTIONIDTABLE_H
#define TAM_SRC_MODEL_OPTIONIDTABLE_H

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

class TamOption;

namespace tam {
namespace detail {

class OptionIdTable {
 public:
  static constexpr std::size_t kPageSlots = 1024;

  // Enters `option` under `id` (an id of none, zero or less, is not entered). Raises
  // std::bad_alloc and then holds what it held.
  void insert(int id, TamOption* option);
  // Removes the entry under `id` if it is `option`; anything else there stays.
  void erase(int id, const TamOption* option);
  // The option under `id`, or null.
  TamOption* find(int id) const;
  // Pages held (for tests and measurements).
  std::size_t pageCount() const;

 private:
  struct Page {
    std::array<TamOption*, kPageSlots> slots{};
    std::size_t used = 0;
  };
  std::vector<std::unique_ptr<Page>> pages_;
};

}  // namespace detail
}  // namespace tam

#endif  // TAM_SRC_MODEL_OPTIONIDTABLE_H
