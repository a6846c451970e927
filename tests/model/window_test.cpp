// The window as a host sees it: module lookups, loading on demand, the refresh queue and the
// external flag.
#include <gtest/gtest.h>

#include "ModelTestSupport.h"

namespace tamtest {
namespace {

using WindowTest = ModelTest;

// The ids of the window's modules in map order, "null" for an entry without a module.
std::string moduleIds(const ref_count_ptr<TamWindow>& window) {
  std::vector<std::string> ids;
  for (const auto& entry : window->moduleMap()) ids.push_back(entry.second ? entry.first : "null");
  return joined(ids);
}

TEST_F(WindowTest, CreateAndDeleteModules) {
  for (const char* id : {"b", "B", "a"}) window->createModule(id);
  EXPECT_EQ(moduleIds(window), "B a b");
  ref_count_ptr<TamModule> a = window->getModule("a");
  EXPECT_EQ(failure([&] { window->createModule("a"); }), "301");
  EXPECT_EQ(window->getModule("a").get(), a.get());
  window->deleteModule("a");
  window->deleteModule("never-there");
  EXPECT_EQ(moduleIds(window), "B b");
  EXPECT_TRUE(adapter.loaded.empty());
  window->evaluate(true);  // no root: nothing happens
}

TEST_F(WindowTest, GetModuleLoadsOnDemandAndMarksOnlyWhatItLoads) {
  adapter.addModuleText("engine", moduleText("engine", {"public size integer = 1 to 4"}));
  adapter.addModuleText("ext", moduleText("ext", {}));
  window->createModule("present");
  ref_count_ptr<TamModule> engine = window->getModule("engine");
  EXPECT_EQ(engine->getOption("size")->moduleId(), "engine");
  EXPECT_EQ(window->getModule("engine", true).get(), engine.get());
  EXPECT_FALSE(engine->isExternal());  // already held: the flag is left alone
  EXPECT_FALSE(window->getModule("present", true)->isExternal());
  EXPECT_TRUE(window->getModule("ext", true)->isExternal());
  EXPECT_EQ(joined(adapter.loaded), "engine ext");
  EXPECT_EQ(failure([&] { window->getModule("gearbox"); }), "302 gearbox");

  window->externalsNeedRefresh();
  window->getModule("present");
  EXPECT_EQ(joined(adapter.refreshed), "ext");
}

TEST_F(WindowTest, RefreshPassRunsInByteOrderAndSkipsDeletedModules) {
  for (const char* id : {"c", "b", "a"}) window->createModule(id);
  for (const char* id : {"c", "a", "c", "b", "not-held"}) window->moduleNeedsRefresh(id);
  window->deleteModule("b");
  EXPECT_TRUE(adapter.refreshed.empty());
  window->getModule("a");
  EXPECT_EQ(joined(adapter.refreshed), "a c");
  EXPECT_EQ(moduleIds(window), "a c");  // no entry without a module is left behind
  window->getModule("a");
  EXPECT_EQ(joined(adapter.refreshed), "a c");
}

TEST_F(WindowTest, RefreshAnsweredFalseDeletesEvenWhenTheLookupFails) {
  adapter.addModuleText("m", moduleText("m", {"public x logical"}));
  ref_count_ptr<TamModule> first = window->getModule("m");
  window->createModule("n");
  window->moduleNeedsRefresh("m");
  window->moduleNeedsRefresh("n");
  adapter.refreshAnswer = false;
  EXPECT_EQ(failure([&] { window->getModule("missing"); }), "302 missing");
  EXPECT_EQ(joined(adapter.refreshed), "m n");
  EXPECT_EQ(moduleIds(window), "");
  EXPECT_NE(window->getModule("m").get(), first.get());
  EXPECT_EQ(joined(adapter.loaded), "m missing m");
}

}  // namespace
}  // namespace tamtest
