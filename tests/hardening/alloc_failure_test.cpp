// Allocation failure over a whole realistic workload. The e-bike example is loaded from its module
// texts, evaluated with its host values, validated, translated and written back, once for every
// k with the k-th allocation of the run made to fail. Every run must either give exactly the
// result of an undisturbed run or end in std::bad_alloc (or a TamException) out of the library's
// entry point; nothing may leak; a fresh window must then give the right result; and evaluating
// the same window again must not crash, and must give the right result unless the failure struck
// while a module text was being read (which keeps what was read, as documented).
//
// The program replaces the global operator new, so it runs alone, without other tests around it.
// --stride=N tries every N-th k only (the sanitizer build uses it to bound its time); --first=K
// and --last=K narrow the range, to look at one failure alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>

#include "ProductHost.h"

namespace {

// The allocation counter and the planned failure. The test runs no threads.
long long g_allocations = 0;  // operator new calls so far
long long g_failAt = -1;      // the number of the call that fails; -1: none
long long g_live = 0;         // allocations not yet freed

void* allocate(std::size_t size, std::size_t alignment) {
  if (g_allocations++ == g_failAt) throw std::bad_alloc();
  void* p = alignment <= alignof(std::max_align_t)
                ? std::malloc(size == 0 ? 1 : size)
                : std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
  if (p == nullptr) throw std::bad_alloc();
  ++g_live;
  return p;
}

void release(void* p) noexcept {
  if (p == nullptr) return;
  --g_live;
  std::free(p);
}

long long g_stride = 1;
long long g_first = 0;
long long g_last = -1;

}  // namespace

void* operator new(std::size_t size) { return allocate(size, 0); }
void* operator new[](std::size_t size) { return allocate(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) {
  return allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return allocate(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }

namespace {

using tamtest::ProductAdapter;
using tamtest::ProductSession;
using tamtest::ProductPlan;

// The product adapter, telling whether a failure passed through a module text being read.
class WatchingAdapter : public ProductAdapter {
 public:
  using ProductAdapter::ProductAdapter;
  bool loadModule(TamWindow* window, const std::string& moduleId) override {
    try {
      return ProductAdapter::loadModule(window, moduleId);
    } catch (...) {
      failedInModuleText = true;
      throw;
    }
  }
  bool failedInModuleText = false;
};

enum Step { kWindow, kBuild, kEvaluate, kValidate, kTranslate, kWrite, kDone, kStepCount };
const char* const kStepNames[kStepCount] = {"create window", "build tree", "evaluate",
                                            "validate",      "translate",  "write texts",
                                            "none"};

// The parts of one undisturbed run.
struct Reference {
  std::string evaluation;
  std::string rest;  // validation, translation and module texts
};

struct RunResult {
  Step failedIn = kDone;
  std::string raised;  // "bad_alloc", "TamException <code>", or empty
  std::string evaluation;
  std::string rest;
};

// Runs the workload step by step, keeping the session so that it can be evaluated again.
RunResult runSteps(const ProductPlan& plan, WatchingAdapter& adapter,
             std::unique_ptr<ProductSession>& session) {
  RunResult run;
  Step step = kWindow;
  try {
    session = std::make_unique<ProductSession>(plan, adapter);
    step = kBuild;
    session->build();
    step = kEvaluate;
    session->evaluate();
    run.evaluation = session->evaluationDigest();
    step = kValidate;
    run.rest = session->validationDigest();
    step = kTranslate;
    run.rest += session->translationDigest();
    step = kWrite;
    run.rest += session->moduleTextDigest();
    step = kDone;
  } catch (const std::bad_alloc&) {
    run.raised = "bad_alloc";
  } catch (const TamException& e) {
    run.raised = "TamException " + std::to_string(e.code());
  }
  run.failedIn = step;
  return run;
}

// What evaluating the window of a failed run again gives: the reference result, another
// result, or an exception. A tree that was never completed is built again first, as a host
// would; the messages of the failed run are dropped.
std::string evaluateAgain(ProductSession& session, ProductAdapter& adapter,
                          const Reference& reference) {
  adapter.takeMessages(session.window().get());
  try {
    if (session.root() == nullptr) session.build();
    session.evaluate();
    return session.evaluationDigest() == reference.evaluation ? "same result" : "other result";
  } catch (const TamException& e) {
    return "TamException " + std::to_string(e.code());
  }
}

// What one run with a failing allocation came to. Kept free of heap storage, so that the live
// allocations can be counted with it in hand.
struct Outcome {
  Step failedIn = kDone;
  bool inModuleText = false;  // the failure passed through a module text being read
  int raised = 0;             // 0: nothing; kBadAlloc; otherwise the TamException's code
  bool sameResult = false;    // a completed run gave the reference result
  int again = 0;              // evaluating the same window again: kSame, kOther or a code
  long long liveAllocations = 0;
  int32_t liveObjects = 0;
};
constexpr int kBadAlloc = -1;
constexpr int kSame = -2;
constexpr int kOther = -3;

int raisedCode(const std::string& raised) {
  if (raised.empty()) return 0;
  if (raised == "bad_alloc") return kBadAlloc;
  return std::atoi(raised.c_str() + std::strlen("TamException "));
}

Outcome runWithFailure(const ProductPlan& plan, WatchingAdapter& adapter,
                       const Reference& reference, long long k) {
  Outcome outcome;
  {
    std::unique_ptr<ProductSession> session;
    adapter.failedInModuleText = false;
    g_failAt = g_allocations + k;
    RunResult run = runSteps(plan, adapter, session);
    g_failAt = -1;
    outcome.failedIn = run.failedIn;
    outcome.inModuleText = adapter.failedInModuleText;
    outcome.raised = raisedCode(run.raised);
    outcome.sameResult = run.evaluation == reference.evaluation && run.rest == reference.rest;
    if (run.failedIn != kDone && session) {
      const std::string again = evaluateAgain(*session, adapter, reference);
      outcome.again = again == "same result" ? kSame
                      : again == "other result" ? kOther
                                                : raisedCode(again);
    }
  }
  outcome.liveAllocations = g_live;
  outcome.liveObjects = ref_count::liveObjects();
  return outcome;
}

std::string describe(int code) {
  switch (code) {
    case 0:
      return "-";
    case kBadAlloc:
      return "bad_alloc";
    case kSame:
      return "same result";
    case kOther:
      return "other result";
    default:
      return "TamException " + std::to_string(code);
  }
}

// Outcome counts: "<failed step> | <raised> | <same window evaluated again>" -> runs.
using Tally = std::map<std::string, long long>;

void printTally(const Tally& tally, long long total, long long tried) {
  std::printf("allocations in one run: %lld, values of k tried: %lld (stride %lld)\n", total,
              tried, g_stride);
  std::printf("failed step | raised | same window evaluated again -> runs\n");
  for (const auto& row : tally) std::printf("  %s -> %lld\n", row.first.c_str(), row.second);
}

TEST(AllocationFailureTest, EveryAllocationOfTheWorkloadMayFail) {
  const ProductPlan plan = ProductPlan::load(TAM_EBIKE_PRODUCT);
  WatchingAdapter adapter(plan);
  Tam::initialize(&adapter);

  // Two undisturbed runs: the first fills what the library builds once per process, the second
  // gives the reference and the allocation count.
  Reference reference;
  long long total = 0;
  for (int warmUp = 0; warmUp < 2; ++warmUp) {
    std::unique_ptr<ProductSession> session;
    const long long before = g_allocations;
    RunResult run = runSteps(plan, adapter, session);
    session.reset();
    ASSERT_EQ(run.failedIn, kDone) << run.raised;
    total = g_allocations - before;
    reference.evaluation = run.evaluation;
    reference.rest = run.rest;
  }
  ASSERT_NE(reference.evaluation.find("ebike.drive.battery"), std::string::npos);

  Tally tally;
  long long tried = 0;
  const long long end = g_last >= 0 && g_last < total ? g_last + 1 : total;
  for (long long k = g_first; k < end; k += g_stride, ++tried) {
    const long long liveBefore = g_live;
    const int32_t objectsBefore = ref_count::liveObjects();
    const Outcome outcome = runWithFailure(plan, adapter, reference, k);
    tally[std::string(kStepNames[outcome.failedIn]) +
          (outcome.inModuleText ? " (module text)" : "") + " | " + describe(outcome.raised) +
          " | " + describe(outcome.again)]++;

    SCOPED_TRACE("allocation " + std::to_string(k) + " failed in " +
                 kStepNames[outcome.failedIn]);
    ASSERT_EQ(outcome.liveAllocations, liveBefore) << "allocations leaked";
    ASSERT_EQ(outcome.liveObjects, objectsBefore) << "library objects leaked";
    if (outcome.failedIn == kDone) {
      ASSERT_TRUE(outcome.sameResult) << "a failure changed the result without an error";
    } else {
      ASSERT_NE(outcome.raised, 0);
      // Only a module text read keeps a partial state; any other failure leaves the window as
      // it was, so evaluating it again gives the right result.
      if (!outcome.inModuleText && outcome.again != 0) {
        ASSERT_EQ(describe(outcome.again), "same result");
      }
    }

    std::unique_ptr<ProductSession> fresh;
    RunResult clean = runSteps(plan, adapter, fresh);
    fresh.reset();
    ASSERT_EQ(clean.failedIn, kDone) << clean.raised;
    ASSERT_EQ(clean.evaluation, reference.evaluation);
    ASSERT_EQ(clean.rest, reference.rest);
  }
  printTally(tally, total, tried);
  Tam::initialize(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--stride=", 9) == 0) g_stride = std::atoll(argv[i] + 9);
    if (std::strncmp(argv[i], "--first=", 8) == 0) g_first = std::atoll(argv[i] + 8);
    if (std::strncmp(argv[i], "--last=", 7) == 0) g_last = std::atoll(argv[i] + 7);
  }
  if (g_stride < 1) g_stride = 1;
  return RUN_ALL_TESTS();
}
