// Evaluation of whole product trees: module loading on first use, then repeated evaluations of
// trees from a thousand to twenty thousand nodes over a few hundred modules.
#include <benchmark/benchmark.h>

#include "BenchProduct.h"

namespace {

// Evaluates the tree again and again, with the observer installed (or none).
void evaluateTree(benchmark::State& state, TamObserver* observer) {
  const int nodes = static_cast<int>(state.range(0));
  const int modules = static_cast<int>(state.range(1));
  tambench::BenchAdapter adapter(modules);
  Tam::initialize(&adapter);
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  std::unique_ptr<tambench::BenchNode> root = tambench::buildTree(window, nodes, 4, modules);
  window->setRoot(root.get());
  window->setObserver(observer);
  // Load the chain of presented modules from its far end, so that no load waits on the next one.
  for (int i = modules - 1; i >= 0; --i) window->getModule("mod" + std::to_string(i));
  window->evaluate(true);
  for (auto _ : state) window->evaluate(true);
  state.SetItemsProcessed(state.iterations() * nodes);
  window->setRoot(nullptr);
  root.reset();
  Tam::initialize(nullptr);
}

void BM_EvaluateTree(benchmark::State& state) { evaluateTree(state, nullptr); }
BENCHMARK(BM_EvaluateTree)->Args({1000, 50})->Args({5000, 200})->Args({20000, 500})
    ->Unit(benchmark::kMillisecond);

// With an observer that ignores every event: what hearing the evaluation costs before the
// observer does anything (BM_EvaluateTree has none installed, which costs a null test per step),
// when it asks for everything and when it asks for the rules' messages and failures only.
class IgnoringObserver : public TamObserver {
 public:
  explicit IgnoringObserver(unsigned interests) : interests_(interests) {}
  unsigned interests() const override { return interests_; }

 private:
  unsigned interests_;
};

void BM_EvaluateTreeObserved(benchmark::State& state) {
  IgnoringObserver ignoring(TamObserver::INTEREST_ALL);
  evaluateTree(state, &ignoring);
}
BENCHMARK(BM_EvaluateTreeObserved)->Args({1000, 50})->Args({5000, 200})
    ->Unit(benchmark::kMillisecond);

void BM_EvaluateTreeObservedRules(benchmark::State& state) {
  IgnoringObserver ignoring(TamObserver::INTEREST_RULES);
  evaluateTree(state, &ignoring);
}
BENCHMARK(BM_EvaluateTreeObservedRules)->Args({1000, 50})->Args({5000, 200})
    ->Unit(benchmark::kMillisecond);

void BM_LoadModules(benchmark::State& state) {
  const int modules = static_cast<int>(state.range(0));
  tambench::BenchAdapter adapter(modules);
  Tam::initialize(&adapter);
  for (auto _ : state) {
    ref_count_ptr<TamWindow> window = Tam::createWindow();
    for (int i = modules - 1; i >= 0; --i) window->getModule("mod" + std::to_string(i));
  }
  state.SetItemsProcessed(state.iterations() * modules);
  Tam::initialize(nullptr);
}
BENCHMARK(BM_LoadModules)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
