// What modules keep of the texts they read: each option's declaration line is a stretch of one
// copy of the interface section it was read from, and the option maps key each option by a view
// of its own name. Both must stay right after the caller's text is gone, when texts replace one
// another, when a read fails part-way, and for options held after their module let them go.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ModelTestSupport.h"

namespace tamtest {
namespace {

using KeptTextTest = ModelTest;

// Reads `text` from a copy that is scribbled over and freed before anything is asked.
void readFromCopy(const ref_count_ptr<TamModule>& module, const std::string& text) {
  auto copy = std::make_unique<std::string>(text);
  module->setRixData(*copy);
  copy->assign(copy->size(), '#');
}

// Every declaration the module keeps, "name=line" in name order.
std::string declarations(const ref_count_ptr<TamModule>& module) {
  std::vector<std::string> all;
  for (const ref_count_ptr<TamOption>& option : module->options()) {
    all.push_back(option->name() + "=" + module->askOptionRix(option->name()));
  }
  return joined(all);
}

// Two modules declaring the same names read text after text; each keeps its own lines, whatever
// the other reads or drops, and options let go of keep their names.
TEST_F(KeptTextTest, DeclarationsOutliveTheTextsTheyWereReadFrom) {
  struct Step {
    const char* module;
    std::vector<std::string> lines;
  };
  const Step steps[] = {
      {"m", {"public a integer = 1 to 4 default 2", "public b logical  ", "private c string"}},
      {"n", {"public a logical default true", "public c string default \"x\""}},
      // Redeclared, dropped (b) and added (d): the first text's lines are no longer used.
      {"m", {"public a integer = 1 to 9", "public d string default \"a long default value\""}},
      {"n", {"public c string"}},
      {"m", {}},
  };
  ref_count_ptr<TamModule> m = window->createModule("m");
  ref_count_ptr<TamModule> n = window->createModule("n");
  std::vector<ref_count_ptr<TamOption>> held;  // every option ever declared, by handle
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.module) + ": " + joined(step.lines));
    ref_count_ptr<TamModule> module = step.module == std::string("m") ? m : n;
    const std::string other = declarations(module == m ? n : m);
    readFromCopy(module, moduleText(step.module, step.lines));
    std::vector<std::string> expected;
    for (const std::string& line : step.lines) {
      const std::string name = line.substr(line.find(' ') + 1, 1);
      expected.push_back(name + "=" + line);
      held.push_back(module->getOption(name));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(declarations(module), joined(expected));
    EXPECT_EQ(declarations(module == m ? n : m), other);
    EXPECT_EQ(module->getRixData(), moduleText(step.module, step.lines));
  }
  for (const ref_count_ptr<TamOption>& option : held) {
    const std::string name = option->name();
    ASSERT_EQ(name.size(), 1u);
    EXPECT_NE(name, "#");
  }
  // Names looked up by a text of their own, and an option added by a line of its own.
  const std::string name = "c";
  EXPECT_EQ(n->getOption(name)->moduleId(), "n");
  m->addOptionString("public c integer");
  EXPECT_EQ(declarations(m), "c=public c integer");
  m = ref_count_ptr<TamModule>();
  window->deleteModule("m");
  EXPECT_EQ(held.front()->name(), "a");
  EXPECT_EQ(declarations(n), "c=public c string");
}

// A read failing at its third declaration keeps the two before it whole, their lines intact once
// the text is gone, and a forgotten option's line goes with it.
TEST_F(KeptTextTest, AReadFailingPartWayKeepsWholeLines) {
  ref_count_ptr<TamModule> m = window->createModule("m");
  const std::vector<std::string> good = {"public a integer = 1 to 4", "public b logical"};
  std::vector<std::string> lines = good;
  lines.push_back("public c bogus");
  lines.push_back("public d logical");
  EXPECT_NE(failure([&] { readFromCopy(m, moduleText("m", lines, "set m:a to 2")); }), "none");
  EXPECT_EQ(declarations(m), "a=" + good[0] + " b=" + good[1]);
  EXPECT_EQ(m->getRixData(), moduleText("m", good));
  EXPECT_EQ(failure([&] { m->getOption("d"); }), "102 d");

  ref_count_ptr<TamOption> b = m->getOption("b");
  m->deleteOption("b");
  EXPECT_EQ(failure([&] { m->askOptionRix("b"); }), "102 b");
  EXPECT_EQ(b->name(), "b");
  EXPECT_EQ(declarations(m), "a=" + good[0]);
}

}  // namespace
}  // namespace tamtest
