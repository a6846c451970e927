// Inputs that once cost more than their size: each case runs at two sizes ten times apart, so
// cost that grows with the square of the input shows as a hundredfold time, linear cost as
// tenfold.
//   BM_UsedOptionChain/D       a chain of D nodes, each using an option of the root's module
//   BM_PresentedAtPaths/N      one module presenting N options at N paths over N children
//   BM_SetFromLongValueList/N  N/100 set rules on an option that lists N values
//   BM_QuoteIdentifier/N       quoting an identifier of N quotes, and renaming a module to it
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "BenchProduct.h"

namespace {

class TextAdapter : public Tam::AdapterInterface {
 public:
  bool loadModule(TamWindow* window, const std::string& id) override {
    auto text = texts.find(id);
    if (text == texts.end()) return false;
    window->createModule(id)->setRixData(text->second);
    return true;
  }
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }
  bool userMsg(TamWindow*, Tam::MsgSeverity, const std::string&, TamNode*) override {
    return true;
  }

  std::map<std::string, std::string> texts;
};

// Installs the adapter for one benchmark and evaluates the tree under the root again and again.
class TreeRun {
 public:
  explicit TreeRun(TextAdapter& adapter) {
    Tam::initialize(&adapter);
    window = Tam::createWindow();
  }
  ~TreeRun() {
    if (window) window->setRoot(nullptr);
    root.reset();
    window = ref_count_ptr<TamWindow>();
    Tam::initialize(nullptr);
  }
  TreeRun(const TreeRun&) = delete;
  TreeRun& operator=(const TreeRun&) = delete;

  // A failure ends the benchmark with its text rather than the process.
  void run(benchmark::State& state) {
    window->setRoot(root.get());
    try {
      window->evaluate(true);
      for (auto _ : state) window->evaluate(true);
    } catch (const TamException& e) {
      state.SkipWithError(("evaluation failed: " + std::to_string(e.code()) + " " + e.info() +
                           " " + e.context()).c_str());
    }
  }

  ref_count_ptr<TamWindow> window;
  std::unique_ptr<tambench::BenchNode> root;
};

std::string text(const std::string& id, const std::string& declarations, const std::string& rules) {
  return "module " + id + "\ninterface start\n" + declarations + "interface end\n" + rules;
}

void BM_UsedOptionChain(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0));
  TextAdapter adapter;
  adapter.texts["top"] = text("top", "public level integer = 0 to 100 default 7\n", "");
  adapter.texts["link"] =
      text("link", "public lvl uses top:level\npublic x integer default 0\n", "set link:x to link:lvl\n");
  TreeRun tree(adapter);
  tree.root = std::make_unique<tambench::BenchNode>(tree.window, nullptr, "n0", "top");
  tambench::BenchNode* end = tree.root.get();
  for (int i = 1; i < depth; ++i) {
    end->kids.push_back(
        std::make_unique<tambench::BenchNode>(tree.window, end, "n" + std::to_string(i), "link"));
    end = end->kids.back().get();
  }
  tree.run(state);
  state.SetItemsProcessed(state.iterations() * depth);
}
BENCHMARK(BM_UsedOptionChain)->Arg(80)->Arg(800)->Unit(benchmark::kMillisecond);

void BM_PresentedAtPaths(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  TextAdapter adapter;
  std::string declarations;
  for (int i = 0; i < count; ++i) {
    declarations += "public p" + std::to_string(i) + " presents leaf:x [c" + std::to_string(i) +
                    "] default " + std::to_string(i % 100) + "\n";
  }
  adapter.texts["top"] = text("top", declarations, "");
  adapter.texts["leaf"] = text("leaf", "public x integer default 0\n", "");
  TreeRun tree(adapter);
  tree.root = std::make_unique<tambench::BenchNode>(tree.window, nullptr, "top", "top");
  for (int i = 0; i < count; ++i) {
    tree.root->kids.push_back(std::make_unique<tambench::BenchNode>(
        tree.window, tree.root.get(), "c" + std::to_string(i), "leaf"));
  }
  tree.run(state);
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_PresentedAtPaths)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_SetFromLongValueList(benchmark::State& state) {
  const int values = static_cast<int>(state.range(0));
  const int sets = values / 100;
  TextAdapter adapter;
  std::string list;
  for (int i = 0; i < values; ++i) list += (i > 0 ? ", " : "") + std::to_string(i);
  std::string rules;
  for (int i = 0; i < sets; ++i) rules += "set m:v to " + std::to_string(values - 1 - i) + "\n";
  adapter.texts["m"] = text("m", "public v integer = " + list + " default 0\n", rules);
  TreeRun tree(adapter);
  tree.root = std::make_unique<tambench::BenchNode>(tree.window, nullptr, "m", "m");
  tree.run(state);
  state.SetItemsProcessed(state.iterations() * sets);
}
BENCHMARK(BM_SetFromLongValueList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_QuoteIdentifier(benchmark::State& state) {
  const std::string id = "q" + std::string(static_cast<std::size_t>(state.range(0)), '\'');
  TextAdapter adapter;
  Tam::initialize(&adapter);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Tam::rixQuoteModuleId(id));
    TamTranslater translater;
    translater.addModuleMapping("m", id);
    benchmark::DoNotOptimize(translater.translateRix("set m:a to 2\n"));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(id.size()));
  Tam::initialize(nullptr);
}
BENCHMARK(BM_QuoteIdentifier)->Arg(40000)->Arg(400000)->Unit(benchmark::kMillisecond);

}  // namespace
