// What tam eval --json costs per node once the evaluation is done: one node of a grouped module's
// options, each with its value, written as the command writes it (call by call as text) and as
// it was written before (built as an object, then dumped), side by side in one run.
#include <benchmark/benchmark.h>

#include <sstream>

#include "BenchProduct.h"
#include "EvalReport.h"
#include "JsonWriter.h"

namespace {

constexpr int kOptionsPerGroup = 4;

// A configured node of module grp0 with `groups` groups of options, each at its default.
NodeReport groupNode(ref_count_ptr<TamWindow>& window, int groups) {
  window = Tam::createWindow();
  ref_count_ptr<TamModule> module = window->createModule("grp0");
  module->setRixData(tambench::groupModuleText(0, groups));
  NodeReport node;
  node.path = node.id = node.module = "grp0";
  for (const ref_count_ptr<TamOption>& option : module->options()) {
    node.options.push_back({option->moduleId() + ":" + option->name(), {option->defaultValue()},
                            {TamSelOptionSet::HOWSET_DEFAULT}, option});
  }
  return node;
}

// Runs `write` over the node in the benchmark's loop, with an adapter that loads nothing.
template <class Write>
void runOnNode(benchmark::State& state, Write write) {
  tambench::BenchAdapter adapter(0);
  Tam::initialize(&adapter);
  {
    ref_count_ptr<TamWindow> window;
    const NodeReport node = groupNode(window, static_cast<int>(state.range(0)));
    for (auto _ : state) write(node);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * kOptionsPerGroup);
  Tam::initialize(nullptr);
}

void BM_NodeJsonText(benchmark::State& state) {
  std::ostringstream out;
  runOnNode(state, [&out](const NodeReport& node) {
    out.str(std::string());
    JsonTextWriter writer(out, 2);
    writeNode(writer, node, nullptr);
    writer.flush();
    benchmark::DoNotOptimize(out.tellp());
  });
}
BENCHMARK(BM_NodeJsonText)->Arg(25)->Arg(250);

void BM_NodeJsonObject(benchmark::State& state) {
  runOnNode(state, [](const NodeReport& node) {
    const std::string text =
        nodeJson(node).dump(2, ' ', false, OutputJson::error_handler_t::replace);
    benchmark::DoNotOptimize(text.data());
  });
}
BENCHMARK(BM_NodeJsonObject)->Arg(25)->Arg(250);

}  // namespace
