// Separate windows used from separate threads at once, as a host that evaluates several products
// (or several variants of one) in parallel does: every thread loads the e-bike example into a
// window of its own, evaluates it with its host values, validates, translates and writes the
// module texts, several times over, with one adapter shared by all. Every result must equal the
// single-threaded one. CI runs this program under ThreadSanitizer too, which reports any data
// race on what the library shares between windows.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ProductHost.h"

namespace {

using tamtest::ProductAdapter;
using tamtest::ProductSession;
using tamtest::ProductPlan;

constexpr int kThreads = 4;
constexpr int kRounds = 3;

std::atomic<int> g_syntaxErrors{0};

void countSyntaxErrors(int code) {
  if (code == TamSyntaxError::kCode) g_syntaxErrors.fetch_add(1);
}

// One round of a thread: the whole workload, a path that does not parse (which constructs an
// exception and so calls the throw callback), and the window's options found again by id.
std::string round(const ProductPlan& plan, ProductAdapter& adapter) {
  try {
    TamPath::parsePath("drive:assist_level");
  } catch (const TamSyntaxError&) {
  }
  ProductSession session(plan, adapter);
  session.build();
  session.evaluate();
  std::string result = session.evaluationDigest() + session.validationDigest() +
                       session.translationDigest() + session.moduleTextDigest();
  for (const auto& module : session.window()->moduleMap()) {
    for (const ref_count_ptr<TamOption>& option : module.second->options()) {
      if (TamOption::optionForId(option->id()).get() != option.get()) result += "lost id\n";
    }
  }
  return result;
}

TEST(ThreadTest, WindowsOnSeparateThreadsGiveTheSingleThreadedResult) {
  const ProductPlan plan = ProductPlan::load(TAM_EBIKE_PRODUCT);
  ProductAdapter adapter(plan);
  Tam::initialize(&adapter);
  TamException::setThrowCallback(countSyntaxErrors);
  const std::string reference = round(plan, adapter);
  ASSERT_NE(reference.find("ebike.drive.battery"), std::string::npos);
  ASSERT_EQ(reference.find("lost id"), std::string::npos);
  g_syntaxErrors = 0;

  std::vector<std::string> results(kThreads * kRounds);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int r = 0; r < kRounds; ++r) results[t * kRounds + r] = round(plan, adapter);
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (const std::string& result : results) EXPECT_EQ(result, reference);
  EXPECT_EQ(g_syntaxErrors.load(), kThreads * kRounds);
  TamException::setThrowCallback(nullptr);
  Tam::initialize(nullptr);
}

// A window built on one thread and evaluated on another (one thread at a time) gives the same
// result, however many evaluations each thread ran before.
TEST(ThreadTest, AWindowMayMoveBetweenThreads) {
  const ProductPlan plan = ProductPlan::load(TAM_EBIKE_PRODUCT);
  ProductAdapter adapter(plan);
  Tam::initialize(&adapter);
  std::string reference;
  {
    ProductSession session(plan, adapter);
    session.build();
    session.evaluate();
    reference = session.evaluationDigest();
  }
  ProductSession session(plan, adapter);
  session.build();
  session.evaluate();
  session.evaluationDigest();
  std::string moved;
  std::thread([&] {
    for (int r = 0; r < kRounds; ++r) round(plan, adapter);
    session.evaluate();
    moved = session.evaluationDigest();
  }).join();
  EXPECT_EQ(moved, reference);
  session.evaluate();
  EXPECT_EQ(session.evaluationDigest(), reference);
  Tam::initialize(nullptr);
}

// A window's options lie in blocks it fills; a host may keep option handles after the window is
// gone and let them go on another thread while the first reads new windows.
TEST(ThreadTest, OptionsOutliveTheirWindowOnAnotherThread) {
  const ProductPlan plan = ProductPlan::load(TAM_EBIKE_PRODUCT);
  ProductAdapter adapter(plan);
  Tam::initialize(&adapter);
  for (int r = 0; r < kRounds; ++r) {
    std::vector<ref_count_ptr<TamOption>> kept;
    {
      ProductSession session(plan, adapter);
      session.build();
      session.evaluate();
      for (const auto& module : session.window()->moduleMap()) {
        for (const ref_count_ptr<TamOption>& option : module.second->options()) {
          kept.push_back(option);
        }
      }
    }
    ASSERT_FALSE(kept.empty());
    std::string seen;
    std::thread other([&] {
      for (const ref_count_ptr<TamOption>& option : kept) {
        seen += option->moduleId() + ":" + option->name() + "\n";
      }
      kept.clear();
    });
    round(plan, adapter);  // a new window, whose options go to new blocks, meanwhile
    other.join();
    EXPECT_NE(seen.find("drive:"), std::string::npos);
  }
  Tam::initialize(nullptr);
}

}  // namespace
