// What modules keep of the texts they read: each option's declaration line is a stretch of one
// copy of the interface section it was read from, or of the host's own text when the host shares
// it, and the option maps key each option by a view of its own name. Both must stay right after
// the caller's text is gone, when texts replace one another, when a read fails part-way, and for
// options held after their module let them go.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ModelTestSupport.h"

namespace tamtest {
namespace {

using Reader = void (*)(const ref_count_ptr<TamModule>& module, const std::string& text);

class KeptTextTest : public ModelTest {
 protected:
  void checkDeclarationsOutliveTheirTexts(Reader read);
  void checkAReadFailingPartWay(Reader read);
};

// Reads `text` from a copy that is scribbled over and freed before anything is asked.
void readFromCopy(const ref_count_ptr<TamModule>& module, const std::string& text) {
  auto copy = std::make_unique<std::string>(text);
  module->setRixData(*copy);
  copy->assign(copy->size(), '#');
}

// Reads `text` shared, the host letting go of its handle at once.
void readShared(const ref_count_ptr<TamModule>& module, const std::string& text) {
  module->setRixData(std::make_shared<const std::string>(text));
}

const Reader kReaders[] = {readFromCopy, readShared};

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
  for (const Reader read : kReaders) {
    SCOPED_TRACE(read == readShared ? "shared" : "copied");
    checkDeclarationsOutliveTheirTexts(read);
  }
}

void KeptTextTest::checkDeclarationsOutliveTheirTexts(Reader read) {
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
    read(module, moduleText(step.module, step.lines));
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
  n = ref_count_ptr<TamModule>();
  window->deleteModule("n");
}

// A read failing at its third declaration keeps the two before it whole, their lines intact once
// the text is gone, and a forgotten option's line goes with it.
TEST_F(KeptTextTest, AReadFailingPartWayKeepsWholeLines) {
  for (const Reader read : kReaders) {
    SCOPED_TRACE(read == readShared ? "shared" : "copied");
    checkAReadFailingPartWay(read);
  }
}

void KeptTextTest::checkAReadFailingPartWay(Reader read) {
  ref_count_ptr<TamModule> m = window->createModule("m");
  const std::vector<std::string> good = {"public a integer = 1 to 4", "public b logical"};
  std::vector<std::string> lines = good;
  lines.push_back("public c bogus");
  lines.push_back("public d logical");
  EXPECT_NE(failure([&] { read(m, moduleText("m", lines, "set m:a to 2")); }), "none");
  EXPECT_EQ(declarations(m), "a=" + good[0] + " b=" + good[1]);
  EXPECT_EQ(m->getRixData(), moduleText("m", good));
  EXPECT_EQ(failure([&] { m->getOption("d"); }), "102 d");

  ref_count_ptr<TamOption> b = m->getOption("b");
  m->deleteOption("b");
  EXPECT_EQ(failure([&] { m->askOptionRix("b"); }), "102 b");
  EXPECT_EQ(b->name(), "b");
  EXPECT_EQ(declarations(m), "a=" + good[0]);
  m = ref_count_ptr<TamModule>();
  window->deleteModule("m");
}

// A shared text is kept, not copied, for as long as an option declared from it stands; a null
// one changes nothing.
TEST_F(KeptTextTest, ASharedTextIsKeptNotCopied) {
  ref_count_ptr<TamModule> m = window->createModule("m");
  auto text = std::make_shared<const std::string>(
      moduleText("m", {"public a integer default 2", "public b logical"}, "set m:a to 3"));
  m->setRixData(text);
  EXPECT_GT(text.use_count(), 1);
  m->setRixData(std::shared_ptr<const std::string>());
  EXPECT_EQ(declarations(m), "a=public a integer default 2 b=public b logical");
  EXPECT_EQ(m->getRixData(), *text);
  EXPECT_EQ(m->getRix()->rix(), "set m:a to 3");
  m->setRixData(moduleText("m", {"public c string"}));
  EXPECT_EQ(text.use_count(), 1);
  EXPECT_EQ(declarations(m), "c=public c string");

  // Rules read from a shared text fail, and place their failure, as rules read from a copy.
  const std::string broken = moduleText("m", {"public c string"}, "if m:c = \"x\" then\n  set m:c to");
  const std::string copied = failure([&] { readFromCopy(m, broken); });
  EXPECT_NE(copied, "none");
  EXPECT_EQ(failure([&] { readShared(m, broken); }), copied);
}

// Options read from one text with the same range as written and of the same number kind share
// one constraint, and those with the same integer default one value; each still accepts exactly
// its own range and has its own default, also past the ranges kept for sharing.
TEST_F(KeptTextTest, OptionsReadAlikeShareTheirRangeAndDefault) {
  std::vector<std::string> lines = {"public a integer = 1 to 10", "public b integer = 1 to 10",
                                    "public c real = 1 to 10", "public d integer = 1 to 9",
                                    "public e integer = 1 to 10 default 3"};
  const int kMany = 80;  // more different ranges than are kept for sharing
  for (int i = 0; i < kMany; ++i) {
    lines.push_back("public r" + std::to_string(i) + " integer = " + std::to_string(i % 7) +
                    " to " + std::to_string(2 * i + 1) + " default " + std::to_string(i % 7));
  }
  ref_count_ptr<TamModule> m = window->createModule("m");
  m->setRixData(moduleText("m", lines));
  ref_count_ptr<TamModule> n = declare("n", {"public a integer = 1 to 10"});
  auto range = [](const ref_count_ptr<TamModule>& module, const char* name) {
    return module->getOption(name)->values().at(0).get();
  };
  EXPECT_EQ(range(m, "a"), range(m, "b"));
  EXPECT_EQ(m->getOption("r0")->defaultValue().get(), m->getOption("r7")->defaultValue().get());
  EXPECT_EQ(m->getOption("e")->defaultValue()->intValue(), 3);
  EXPECT_EQ(m->getOption("a")->defaultValue()->type(), TamValue::VT_UNSET);
  for (int i = 0; i < kMany; ++i) {
    EXPECT_EQ(m->getOption("r" + std::to_string(i))->defaultValue()->intValue(), i % 7) << i;
  }
  EXPECT_EQ(range(m, "a"), range(m, "e"));
  EXPECT_NE(range(m, "a"), range(m, "c"));
  EXPECT_NE(range(m, "a"), range(m, "d"));
  EXPECT_NE(range(m, "a"), range(n, "a"));
  struct Case {
    const char* name;
    ref_count_ptr<TamValue> value;
    bool valid;
  };
  const Case cases[] = {
      {"a", TamValue::createInt(10), true},  {"b", TamValue::createInt(11), false},
      {"c", TamValue::createReal(9.5), true}, {"d", TamValue::createInt(10), false},
      {"d", TamValue::createInt(9), true},   {"e", TamValue::createInt(1), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(m->getOption(c.name)->validateValue(c.value), c.valid)
        << c.name << " " << c.value->displayString();
  }
  for (int i = 0; i < kMany; ++i) {
    ref_count_ptr<TamOption> option = m->getOption("r" + std::to_string(i));
    EXPECT_TRUE(option->validateValue(TamValue::createInt(2 * i + 1))) << i;
    EXPECT_FALSE(option->validateValue(TamValue::createInt(2 * i + 2))) << i;
    EXPECT_TRUE(option->validateValue(TamValue::createInt(i % 7))) << i;
    EXPECT_FALSE(option->validateValue(TamValue::createInt(i % 7 - 1))) << i;
  }
}

}  // namespace
}  // namespace tamtest
