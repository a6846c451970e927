// Parsing speed of rule bodies and declarations, the work done for every module a host loads.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "BenchProduct.h"
#include "rix/TamLexer.h"
#include "rix/TamRuleParser.h"

namespace {

class QuietAdapter : public Tam::AdapterInterface {
 public:
  bool loadModule(TamWindow*, const std::string&) override { return false; }
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }
};

void BM_ParseRules(benchmark::State& state) {
  QuietAdapter adapter;
  Tam::initialize(&adapter);
  std::string text = tambench::ruleBody(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(TamRuleParser(text).parseRules());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  Tam::initialize(nullptr);
}
BENCHMARK(BM_ParseRules)->Arg(100)->Arg(2000);

void BM_Lex(benchmark::State& state) {
  std::string text = tambench::ruleBody(1000);
  for (auto _ : state) {
    TamLexer lexer(text);
    int tokens = 0;
    while (lexer.kind() != TOKEN_END && lexer.kind() != TOKEN_INVALID) {
      lexer.next();
      ++tokens;
    }
    benchmark::DoNotOptimize(tokens);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Lex);

void BM_ReadModuleText(benchmark::State& state) {
  QuietAdapter adapter;
  Tam::initialize(&adapter);
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> last = window->createModule("mod1");
  last->setRixData(tambench::moduleText(1, 2));
  ref_count_ptr<TamModule> module = window->createModule("mod0");
  std::string text = tambench::moduleText(0, 2);
  for (auto _ : state) module->setRixData(text);  // re-reading updates options in place
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  Tam::initialize(nullptr);
}
BENCHMARK(BM_ReadModuleText);

// Declaration lines read one by one into a module, as a host adding options does; each pass
// declares the same options again, which updates them in place.
void BM_ParseDeclarations(benchmark::State& state) {
  QuietAdapter adapter;
  Tam::initialize(&adapter);
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> module = window->createModule("grp0");
  const std::string text = tambench::groupDeclarations(0, 250);
  std::vector<std::string> lines;
  for (size_t at = 0, end = 0; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
  }
  for (auto _ : state) {
    for (const std::string& line : lines) benchmark::DoNotOptimize(module->addOptionString(line));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  Tam::initialize(nullptr);
}
BENCHMARK(BM_ParseDeclarations);

// A whole module text of a hundred options in groups of four, read into a new module each pass.
void BM_ReadGroupModule(benchmark::State& state) {
  QuietAdapter adapter;
  Tam::initialize(&adapter);
  const std::string text = tambench::groupModuleText(0, 25);
  for (auto _ : state) {
    ref_count_ptr<TamWindow> window = Tam::createWindow();
    window->createModule("grp0")->setRixData(text);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  Tam::initialize(nullptr);
}
BENCHMARK(BM_ReadGroupModule);

}  // namespace
