#include "model/OptionIdTable.h"

namespace tam {
namespace detail {

void OptionIdTable::insert(int id, TamOption* option) {
  if (id <= 0) return;
  const std::size_t page = static_cast<std::size_t>(id) / kPageSlots;
  const std::size_t slot = static_cast<std::size_t>(id) % kPageSlots;
  if (page >= pages_.size()) pages_.resize(page + 1);  // new entries are null: nothing held yet
  if (!pages_[page]) pages_[page] = std::make_unique<Page>();
  TamOption*& entry = pages_[page]->slots[slot];
  if (entry == nullptr) ++pages_[page]->used;
  entry = option;
}

void OptionIdTable::erase(int id, const TamOption* option) {
  const std::size_t page = static_cast<std::size_t>(id) / kPageSlots;
  const std::size_t slot = static_cast<std::size_t>(id) % kPageSlots;
  if (page >= pages_.size() || !pages_[page]) return;
  TamOption*& entry = pages_[page]->slots[slot];
  if (entry == nullptr || entry != option) return;
  entry = nullptr;
  if (--pages_[page]->used == 0) pages_[page].reset();
}

TamOption* OptionIdTable::find(int id) const {
  if (id <= 0) return nullptr;
  const std::size_t page = static_cast<std::size_t>(id) / kPageSlots;
  if (page >= pages_.size() || !pages_[page]) return nullptr;
  return pages_[page]->slots[static_cast<std::size_t>(id) % kPageSlots];
}

std::size_t OptionIdTable::pageCount() const {
  std::size_t count = 0;
  for (const std::unique_ptr<Page>& page : pages_) count += page ? 1 : 0;
  return count;
}

}  // namespace detail
}  // namespace tam
