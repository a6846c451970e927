// The id table behind TamOption::optionForId: entries across page borders, removals that only
// remove what they name, and pages given back once empty.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "model/OptionIdTable.h"

namespace {

using tam::detail::OptionIdTable;
constexpr int kPage = static_cast<int>(OptionIdTable::kPageSlots);

// Stand-ins for options: the table only keeps and compares their addresses.
TamOption* fake(int n) { return reinterpret_cast<TamOption*>(static_cast<std::uintptr_t>(n) * 16); }

TEST(OptionIdTableTest, FindsWhatIsEnteredAndFreesEmptyPages) {
  struct Step {
    bool insert;
    int id;
    int option;          // fake(option) is entered or named for removal
    std::size_t pages;   // pages held afterwards
  };
  const Step steps[] = {
      {true, 1, 1, 1},
      {true, kPage - 1, 2, 1},
      {true, kPage, 3, 2},            // the first slot of the second page
      {true, 5 * kPage + 7, 4, 3},    // pages between stay unmade
      {false, kPage, 9, 3},           // another option's removal leaves the entry
      {false, kPage, 3, 2},           // the page's last entry: the page goes
      {false, 1, 1, 2},
      {false, 1, 1, 2},               // twice: nothing left to remove
      {false, 40 * kPage, 1, 2},      // beyond every page
      {true, kPage, 5, 3},            // a freed page made again
  };
  OptionIdTable table;
  std::vector<std::pair<int, int>> live;  // what the table should hold
  for (const Step& step : steps) {
    SCOPED_TRACE(std::to_string(step.id) + (step.insert ? " in" : " out"));
    if (step.insert) {
      table.insert(step.id, fake(step.option));
      live.emplace_back(step.id, step.option);
    } else {
      table.erase(step.id, fake(step.option));
      for (auto it = live.begin(); it != live.end(); ++it) {
        if (it->first == step.id && it->second == step.option) {
          live.erase(it);
          break;
        }
      }
    }
    EXPECT_EQ(table.pageCount(), step.pages);
    for (const auto& entry : live) EXPECT_EQ(table.find(entry.first), fake(entry.second));
    for (int id : {0, -1, -kPage, 2, kPage + 1, 3 * kPage, 99 * kPage}) {
      EXPECT_EQ(table.find(id), nullptr) << id;
    }
  }
  table.insert(0, fake(1));
  table.insert(-3, fake(1));
  EXPECT_EQ(table.find(0), nullptr);
  EXPECT_EQ(table.find(-3), nullptr);
}

}  // namespace
