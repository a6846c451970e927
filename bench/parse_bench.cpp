// Parsing speed of rule bodies and declarations, the work done for every module a host loads.
#include <benchmark/benchmark.h>

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
  Tam::initialize(nullptr);
}
BENCHMARK(BM_ReadModuleText);

}  // namespace
