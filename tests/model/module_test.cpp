// Modules as a host fills them: options by name, legacy options, deleting, used options, rules,
// referenced options and renaming.
#include <gtest/gtest.h>

#include <set>

#include "ModelTestSupport.h"

namespace tamtest {
namespace {

using ModuleTest = ModelTest;

TEST_F(ModuleTest, LegacyOptionsStandBesideTheDeclaredOnes) {
  ref_count_ptr<TamModule> m = window->createModule("m");
  ref_count_ptr<TamOption> legacy = m->declareLegacyOption("colour");
  ref_count_ptr<TamOption> shadowed = m->declareLegacyOption("b");
  EXPECT_FALSE(m->isModuleBoundary());
  m->addOptionString("public b logical");
  m->addOptionString("private a integer");
  EXPECT_TRUE(m->isModuleBoundary());
  EXPECT_EQ(names(m->options()), "a b");
  EXPECT_EQ(m->getOption("colour").get(), legacy.get());
  EXPECT_NE(m->getOption("b").get(), shadowed.get());
  EXPECT_EQ(failure([&] { m->declareLegacyOption("colour"); }), "101 colour");
  EXPECT_EQ(failure([&] { m->getOption("nope"); }), "102 nope");
  EXPECT_EQ(failure([&] { m->askOptionRix("colour"); }), "102 colour");
  m->deleteOption("colour");
  EXPECT_EQ(failure([&] { m->getOption("colour"); }), "102 colour");
}

TEST_F(ModuleTest, DeletingAnOptionWaitsForEveryOptionBasedOnIt) {
  ref_count_ptr<TamModule> x = declare("x", {"public base integer", "public free integer"});
  ref_count_ptr<TamModule> y = declare("y", {"public u uses x:free", "public shown presents x:base",
                                             "public t uses x:base", "public u uses x:base"});
  declare("w", {"public a1 implements x:base"});
  ref_count_ptr<TamOption> base = x->getOption("base");
  // A used option declared again stands once, in the place of its first declaration.
  EXPECT_EQ(names(y->usingOptions()), "u t");
  // References are matched by name, in module and then option name order.
  EXPECT_EQ(names(base->references()), "a1 shown t u");
  EXPECT_FALSE(x->getOption("free")->isReferenced());
  // Referenced options are the bases and what the rules name, in creation order.
  y->setRix("set x:free to 1");
  std::set<ref_count_ptr<TamOption>> referenced;
  y->referencedOptions(referenced);
  EXPECT_EQ(names(referenced), "base free");

  EXPECT_EQ(failure([&] { x->deleteOption("base"); }), "109 base");
  y->deleteOption("shown");
  y->deleteOption("u");
  window->deleteModule("w");
  EXPECT_EQ(failure([&] { x->deleteOption("base"); }), "109 base");
  y->deleteOption("t");
  EXPECT_EQ(names(y->usingOptions()) + "|" + names(y->options()), "|");
  EXPECT_FALSE(base->isReferenced());
  x->deleteOption("base");
  EXPECT_EQ(names(x->options()), "free");
  EXPECT_EQ(failure([&] { x->askOptionRix("base"); }), "102 base");
  EXPECT_EQ(failure([&] { x->deleteOption("base"); }), "102 base");
}

TEST_F(ModuleTest, RulesAreParsedAtOnceAndKeptOnlyWhenValid) {
  ref_count_ptr<TamModule> m = declare("m", {"public a integer"});
  ref_count_ptr<TamExpRoot> empty = m->getRix();
  EXPECT_EQ(empty->rix(), "");
  EXPECT_EQ(empty->body(), nullptr);
  EXPECT_NE(m->getRix().get(), empty.get());  // a fresh root each time, not kept

  m->setRix("set m:a to 1");
  ref_count_ptr<TamExpRoot> rules = m->getRix();
  EXPECT_EQ(rules->rix(), "set m:a to 1");
  EXPECT_EQ(failure([&] { m->setRix("set m:a 1"); }),
            "10 Error parsing set/fix statement: 'to' not found @set m:a 1\n        ^");
  EXPECT_EQ(m->getRix().get(), rules.get());
}

TEST_F(ModuleTest, ChangeOptionStringRenamesAcrossTheModule) {
  ref_count_ptr<TamModule> m = declare("m", {"public a integer = 1 to 4", "public b logical"});
  m->setRix("set m:a to 2");
  ref_count_ptr<TamOption> b = m->getOption("b");
  EXPECT_EQ(m->changeOptionString(m->getOption("a"), "c", "public c integer")->name(), "c");
  EXPECT_EQ(failure([&] { m->getOption("a"); }), "102 a");
  EXPECT_EQ(m->getOption("b").get(), b.get());
  EXPECT_EQ(m->getRixData(),
            moduleText("m", {"public b logical", "public c integer"}, "set m:c to 2"));

  // A legacy option is handed back unchanged.
  ref_count_ptr<TamOption> legacy = m->declareLegacyOption("kept");
  const std::string before = m->getRixData();
  EXPECT_EQ(m->changeOptionString(legacy, "other", "public other integer").get(), legacy.get());
  EXPECT_EQ(m->getRixData(), before);
  EXPECT_EQ(m->getOption("kept").get(), legacy.get());
}

}  // namespace
}  // namespace tamtest
