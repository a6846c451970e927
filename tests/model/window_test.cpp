// The window as a host sees it: module lookups, loading on demand, the refresh queue, the
// external flag and starting an evaluation.
#include <gtest/gtest.h>

#include "ModelTestSupport.h"

namespace tamtest {
namespace {

using WindowTest = ModelTest;

std::vector<std::string> moduleIds(const ref_count_ptr<TamWindow>& window) {
  std::vector<std::string> ids;
  for (const auto& entry : window->moduleMap()) ids.push_back(entry.second ? entry.first : "null");
  return ids;
}

TEST_F(WindowTest, CreateAndDeleteModules) {
  for (const char* id : {"b", "B", "a"}) window->createModule(id);
  EXPECT_EQ(moduleIds(window), (std::vector<std::string>{"B", "a", "b"}));
  ref_count_ptr<TamModule> a = window->getModule("a");
  EXPECT_EQ(a->window().get(), window.get());

  TamException e = raised([&] { window->createModule("a"); });
  EXPECT_EQ(e.code(), 301);
  EXPECT_EQ(e.info(), "");
  EXPECT_EQ(window->getModule("a").get(), a.get());

  window->deleteModule("a");
  window->deleteModule("never-there");
  EXPECT_EQ(moduleIds(window), (std::vector<std::string>{"B", "b"}));
  EXPECT_TRUE(adapter.loaded.empty());
}

TEST_F(WindowTest, GetModuleLoadsOnDemandAndMarksExternals) {
  adapter.addModuleText("engine", moduleText("engine", {"public size integer = 1 to 4"}));
  adapter.addModuleText("ext", moduleText("ext", {}));
  window->createModule("present");

  ref_count_ptr<TamModule> engine = window->getModule("engine");
  EXPECT_EQ(engine->getOption("size")->moduleId(), "engine");
  EXPECT_EQ(window->getModule("engine", true).get(), engine.get());
  EXPECT_FALSE(engine->isExternal());  // already held: the flag is left alone
  EXPECT_FALSE(window->getModule("present", true)->isExternal());
  EXPECT_TRUE(window->getModule("ext", true)->isExternal());
  EXPECT_EQ(adapter.loaded, (std::vector<std::string>{"engine", "ext"}));

  TamException e = raised([&] { window->getModule("gearbox"); });
  EXPECT_EQ(e.code(), 302);
  EXPECT_EQ(e.info(), "gearbox");
  EXPECT_EQ(e.context(), "");
}

TEST_F(WindowTest, RefreshPassInByteOrderSkippingDeletedModules) {
  for (const char* id : {"c", "b", "a"}) window->createModule(id);
  for (const char* id : {"c", "a", "c", "b", "not-held"}) window->moduleNeedsRefresh(id);
  window->deleteModule("b");
  EXPECT_TRUE(adapter.refreshed.empty());

  window->getModule("a");
  EXPECT_EQ(adapter.refreshed, (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(moduleIds(window), (std::vector<std::string>{"a", "c"}));
  window->getModule("a");
  EXPECT_EQ(adapter.refreshed.size(), 2u);
}

TEST_F(WindowTest, RefreshAnsweredFalseDeletesEvenWhenTheLookupFails) {
  adapter.addModuleText("m", moduleText("m", {"public x logical"}));
  ref_count_ptr<TamModule> first = window->getModule("m");
  window->createModule("n");
  window->externalsNeedRefresh();  // nothing is external
  window->moduleNeedsRefresh("m");
  window->moduleNeedsRefresh("n");
  adapter.refreshAnswer = false;

  EXPECT_EQ(raised([&] { window->getModule("missing"); }).code(), 302);
  EXPECT_EQ(adapter.refreshed, (std::vector<std::string>{"m", "n"}));
  EXPECT_TRUE(window->moduleMap().empty());
  ref_count_ptr<TamModule> reloaded = window->getModule("m");
  EXPECT_NE(reloaded.get(), first.get());
  EXPECT_EQ(adapter.loaded, (std::vector<std::string>{"m", "missing", "m"}));
}

TEST_F(WindowTest, ExternalsNeedRefreshQueuesOnlyExternals) {
  adapter.addModuleText("ext", moduleText("ext", {}));
  window->getModule("ext", true);
  window->createModule("local");
  window->externalsNeedRefresh();
  window->getModule("local");
  EXPECT_EQ(adapter.refreshed, std::vector<std::string>{"ext"});
}

TEST_F(WindowTest, EvaluateRunsTheRootsRules) {
  window->evaluate(true);  // no root: nothing happens
  adapter.addModuleText("m", moduleText("m", {"public a integer"}, "set m:a to 3"));
  TestNode root(window, "root", "m");
  window->setRoot(&root);
  window->evaluate(false);
  EXPECT_EQ(valueText(root.getSos(), window->getModule("m")->getOption("a")), "3");
}

}  // namespace
}  // namespace tamtest
