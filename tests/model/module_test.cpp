// Modules as a host fills them: options by name, legacy options, deleting, used options, rules,
// referenced options and renaming.
#include <gtest/gtest.h>

#include "ModelTestSupport.h"

namespace tamtest {
namespace {

using ModuleTest = ModelTest;

std::vector<std::string> namesOf(const std::vector<ref_count_ptr<TamOption>>& options) {
  std::vector<std::string> names;
  for (const ref_count_ptr<TamOption>& option : options) names.push_back(option->name());
  return names;
}

TEST_F(ModuleTest, OptionsInNameOrderWithoutLegacyOnes) {
  ref_count_ptr<TamModule> m = window->createModule("m");
  EXPECT_FALSE(m->isModuleBoundary());
  ref_count_ptr<TamOption> legacy = m->declareLegacyOption("colour");
  ref_count_ptr<TamOption> shared = m->declareLegacyOption("b");
  EXPECT_FALSE(m->isModuleBoundary());
  EXPECT_EQ(legacy->scope(), TamOption::SCOPE_LEGACY);
  EXPECT_EQ(legacy->type(), TamOption::TYPE_DECLARED);

  m->addOptionString("public b logical");
  m->addOptionString("private a integer");
  EXPECT_TRUE(m->isModuleBoundary());
  EXPECT_EQ(namesOf(m->options()), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(m->getOption("colour").get(), legacy.get());
  EXPECT_NE(m->getOption("b").get(), shared.get());
  EXPECT_EQ(m->askOptionRix("a"), "private a integer");

  TamException twice = raised([&] { m->declareLegacyOption("colour"); });
  EXPECT_EQ(twice.code(), 101);
  EXPECT_EQ(twice.info(), "colour");

  TamException missing = raised([&] { m->getOption("nope"); });
  EXPECT_EQ(missing.code(), 102);
  EXPECT_EQ(missing.info(), "nope");
  EXPECT_EQ(raised([&] { m->askOptionRix("colour"); }).code(), 102);

  m->deleteOption("colour");
  EXPECT_EQ(raised([&] { m->getOption("colour"); }).code(), 102);
}

TEST_F(ModuleTest, DeletingAReferencedOptionWaitsForItsUsers) {
  ref_count_ptr<TamModule> x = declare("x", {"public base integer", "public free integer"});
  ref_count_ptr<TamModule> y =
      declare("y", {"public shown presents x:base", "public u uses x:base"});

  TamException e = raised([&] { x->deleteOption("base"); });
  EXPECT_EQ(e.code(), 109);
  EXPECT_EQ(e.info(), "base");
  y->deleteOption("shown");
  EXPECT_EQ(raised([&] { x->deleteOption("base"); }).code(), 109);
  EXPECT_EQ(x->getOption("base")->name(), "base");

  y->deleteOption("u");
  EXPECT_TRUE(y->usingOptions().empty());
  EXPECT_TRUE(y->options().empty());
  x->deleteOption("base");
  EXPECT_EQ(namesOf(x->options()), std::vector<std::string>{"free"});
  EXPECT_EQ(raised([&] { x->askOptionRix("base"); }).code(), 102);
  EXPECT_EQ(raised([&] { x->deleteOption("base"); }).code(), 102);
}

TEST_F(ModuleTest, UsedOptionsStandOnceInDeclarationOrder) {
  declare("x", {"public p integer", "public q integer"});
  ref_count_ptr<TamModule> m = declare("m", {"public zu uses x:q", "public au uses x:p"});
  ref_count_ptr<TamOption> zu = m->getOption("zu");
  EXPECT_EQ(m->addOptionString("public zu uses x:p").get(), zu.get());
  EXPECT_EQ(namesOf(m->usingOptions()), (std::vector<std::string>{"zu", "au"}));
  EXPECT_EQ(zu->basedOnName(), "p");
}

TEST_F(ModuleTest, RulesAreParsedAtOnceAndKeptOnlyWhenValid) {
  ref_count_ptr<TamModule> m = declare("m", {"public a integer"});
  ref_count_ptr<TamExpRoot> empty = m->getRix();
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->rix(), "");
  EXPECT_EQ(empty->body(), nullptr);
  EXPECT_NE(m->getRix().get(), empty.get());  // a fresh root each time, not kept

  m->setRix("set m:a to 1");
  ref_count_ptr<TamExpRoot> rules = m->getRix();
  EXPECT_EQ(rules->rix(), "set m:a to 1");
  TamException e = raised([&] { m->setRix("set m:a 1"); });
  EXPECT_EQ(e.code(), TamSyntaxError::kCode);
  EXPECT_EQ(m->getRix().get(), rules.get());
}

TEST_F(ModuleTest, ReferencedOptionsAreRuleReferencesAndBases) {
  ref_count_ptr<TamModule> x =
      declare("x", {"public base integer", "public other integer", "public unused integer"});
  ref_count_ptr<TamModule> y = declare("y", {"public shown presents x:base", "public own integer"});
  y->setRix("set x:other to 1");
  std::set<ref_count_ptr<TamOption>> out;
  y->referencedOptions(out);
  std::vector<std::string> names;
  for (const ref_count_ptr<TamOption>& option : out) names.push_back(option->name());
  EXPECT_EQ(names, (std::vector<std::string>{"base", "other"}));
}

TEST_F(ModuleTest, ChangeOptionStringRenamesAcrossTheModule) {
  ref_count_ptr<TamModule> m = declare("m", {"public a integer = 1 to 4", "public b logical"});
  m->setRix("set m:a to 2");
  ref_count_ptr<TamOption> b = m->getOption("b");
  ref_count_ptr<TamOption> renamed =
      m->changeOptionString(m->getOption("a"), "c", "public c integer = 1 to 4");
  EXPECT_EQ(renamed->name(), "c");
  EXPECT_EQ(raised([&] { m->getOption("a"); }).code(), 102);
  EXPECT_EQ(m->getOption("b").get(), b.get());
  EXPECT_EQ(m->getRixData(),
            moduleText("m", {"public b logical", "public c integer = 1 to 4"}, "set m:c to 2"));

  ref_count_ptr<TamOption> legacy = m->declareLegacyOption("kept");
  const std::string before = m->getRixData();
  EXPECT_EQ(m->changeOptionString(legacy, "other", "public other integer").get(), legacy.get());
  EXPECT_EQ(m->getRixData(), before);
  EXPECT_EQ(m->getOption("kept").get(), legacy.get());
}

}  // namespace
}  // namespace tamtest
