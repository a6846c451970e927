// Options read from module texts lie side by side in blocks their window fills: the options of
// modules read one after another follow each other in memory, and every option stays usable for
// as long as a handle holds it, after its module, its window and the options beside it are gone.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ModelTestSupport.h"

namespace {

using tamtest::ModelTest;
using tamtest::moduleText;

std::vector<std::string> declarations(const std::string& prefix, int count) {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    lines.push_back("public " + prefix + std::to_string(i) + " integer default " +
                    std::to_string(i));
  }
  return lines;
}

std::uintptr_t address(const ref_count_ptr<TamOption>& option) {
  return reinterpret_cast<std::uintptr_t>(option.get());
}

class OptionBlocksTest : public ModelTest {
 protected:
  // The module's options in the order they were made.
  static std::vector<ref_count_ptr<TamOption>> madeOrder(const ref_count_ptr<TamModule>& module) {
    std::vector<ref_count_ptr<TamOption>> options = module->options();
    std::sort(options.begin(), options.end());
    return options;
  }
};

TEST_F(OptionBlocksTest, OptionsReadOneAfterAnotherLieSideBySide) {
  ref_count_ptr<TamModule> a = window->createModule("a");
  a->setRixData(moduleText("a", declarations("x", 3)));
  ref_count_ptr<TamModule> b = window->createModule("b");
  b->setRixData(moduleText("b", declarations("y", 4)));
  std::vector<ref_count_ptr<TamOption>> options = madeOrder(a);
  for (const ref_count_ptr<TamOption>& option : madeOrder(b)) options.push_back(option);
  ASSERT_EQ(options.size(), 7u);
  const std::uintptr_t step = address(options[1]) - address(options[0]);
  EXPECT_GE(step, sizeof(TamOption));
  for (std::size_t i = 1; i < options.size(); ++i) {
    EXPECT_EQ(address(options[i]) - address(options[i - 1]), step) << options[i]->name();
  }
  // Added one by one, or by a re-read, an option is made on its own.
  const ref_count_ptr<TamOption> added = a->addOptionString("public z logical");
  b->setRixData(moduleText("b", {"public y0 integer default 0", "public w string"}));
  const ref_count_ptr<TamOption> reread = b->getOption("w");
  for (const ref_count_ptr<TamOption>& single : {added, reread}) {
    EXPECT_TRUE(address(single) < address(options.front()) ||
                address(single) > address(options.back()))
        << single->name();
  }
}

// Handles kept past the module, the window and the options beside them: every option answers
// until its own last handle goes, in whatever order they go (the sanitizer run checks that each
// block is freed once, after its last option).
TEST_F(OptionBlocksTest, OptionsOutliveTheirModuleAndWindow) {
  std::vector<ref_count_ptr<TamOption>> kept;
  {
    ref_count_ptr<TamWindow> own = Tam::createWindow();
    for (int m = 0; m < 4; ++m) {
      const std::string id = "m" + std::to_string(m);
      ref_count_ptr<TamModule> module = own->createModule(id);
      // 1,500 options in all: more than the first blocks hold.
      module->setRixData(moduleText(id, declarations("o", 375)));
      for (const ref_count_ptr<TamOption>& option : madeOrder(module)) kept.push_back(option);
    }
    own->deleteModule("m1");
  }
  window = nullptr;
  ASSERT_EQ(kept.size(), 1500u);
  // Every other option first, then the rest from the back.
  for (std::size_t i = 0; i < kept.size(); i += 2) kept[i] = nullptr;
  for (std::size_t i = kept.size(); i-- > 0;) {
    if (!kept[i]) continue;
    EXPECT_EQ(kept[i]->moduleId(), "m" + std::to_string(i / 375));
    EXPECT_EQ(kept[i]->name(), "o" + std::to_string(i % 375));
    EXPECT_EQ(kept[i]->defaultValue()->intValue(), static_cast<int>(i % 375));
    kept[i] = nullptr;
  }
}

// A read that fails part-way keeps the window's blocks sound: the next read places its options
// after it, and the options made before the failure stay as the module keeps them.
TEST_F(OptionBlocksTest, AFailedReadLeavesTheBlocksSound) {
  ref_count_ptr<TamModule> broken = window->createModule("broken");
  std::vector<std::string> lines = declarations("p", 5);
  lines.insert(lines.begin() + 3, "public q integer = 5 to");
  EXPECT_NE(tamtest::failure([&] { broken->setRixData(moduleText("broken", lines)); }), "none");
  ref_count_ptr<TamModule> next = window->createModule("next");
  next->setRixData(moduleText("next", declarations("n", 20)));
  EXPECT_EQ(next->options().size(), 20u);
  for (const ref_count_ptr<TamOption>& option : broken->options()) {
    EXPECT_EQ(broken->getOption(option->name()).get(), option.get());
  }
  window->deleteModule("broken");
  EXPECT_EQ(next->getOption("n19")->defaultValue()->intValue(), 19);
}

}  // namespace
