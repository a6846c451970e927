// The memory parsing costs, with every heap allocation counted (a program of its own, because
// counting replaces the global operator new):
//   - a rule tree: parses the benchmark rule body once and prints the bytes the root keeps (in
//     all and per statement), the peak while parsing, and the sizes of the node classes;
//   - options: reads a window's worth of grouped module texts (a hundred options each) and
//     prints, per option, the allocations made, the bytes allocated and the bytes kept (asked for,
//     and spent by the heap including its per-block overhead: what resident memory follows).
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>

#include <malloc.h>
#include <string>
#include <vector>

#include "BenchProduct.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"
#include "rules/TamValueExp.h"

namespace {

// Each block carries its size in front of it, in a header that keeps the block aligned.
constexpr size_t kHeader = alignof(std::max_align_t);
size_t liveBytes = 0;
size_t peakBytes = 0;
size_t allocations = 0;
size_t allocatedBytes = 0;
// What the heap really spends: each block's usable size and the word the allocator keeps with it.
size_t liveFootprint = 0;
constexpr size_t kChunkOverhead = sizeof(size_t);

// The benchmark body's if statements; each holds a set and a fix as well.
constexpr int kStatements = 2000;
// The grouped product read for the per-option figures: modules of kGroups groups of four.
constexpr int kModules = 100;
constexpr int kGroups = 25;
constexpr int kOptionsPerGroup = 4;

class QuietAdapter : public Tam::AdapterInterface {
 public:
  bool loadModule(TamWindow*, const std::string&) override { return false; }
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }
};

void measureRuleTree() {
  const std::string text = tambench::ruleBody(kStatements);
  const size_t before = liveBytes;
  peakBytes = liveBytes;
  ref_count_ptr<TamExpRoot> root = TamRuleParser(text).parseRules();
  const size_t kept = liveBytes - before;
  std::printf("rules text: %zu bytes, %d if statements\n", text.size(), kStatements);
  std::printf("kept by the root: %zu bytes (%zu per if statement); peak while parsing: %zu\n",
              kept, kept / kStatements, peakBytes - before);
  std::printf("node sizes: TamExpListExp %zu, TamIfExp %zu, TamSetExp %zu, TamMsgExp %zu, "
              "TamLiteralValueExp %zu, TamPlusValueExp %zu, TamOptionValueExp %zu, "
              "TamOptionExp %zu\n",
              sizeof(TamExpListExp), sizeof(TamIfExp), sizeof(TamSetExp), sizeof(TamMsgExp),
              sizeof(TamLiteralValueExp), sizeof(TamPlusValueExp), sizeof(TamOptionValueExp),
              sizeof(TamOptionExp));
}

void measureOptions() {
  QuietAdapter adapter;
  Tam::initialize(&adapter);
  std::vector<std::string> texts;
  size_t textBytes = 0;
  for (int i = 0; i < kModules; ++i) {
    texts.push_back(tambench::groupModuleText(i, kGroups));
    textBytes += texts.back().size();
  }
  {
    ref_count_ptr<TamWindow> window = Tam::createWindow();
    const size_t liveBefore = liveBytes;
    const size_t countBefore = allocations;
    const size_t bytesBefore = allocatedBytes;
    const size_t footprintBefore = liveFootprint;
    for (int i = 0; i < kModules; ++i) {
      window->createModule("grp" + std::to_string(i))->setRixData(texts[i]);
    }
    const double options = static_cast<double>(kModules) * kGroups * kOptionsPerGroup;
    std::printf("module texts: %d modules, %.0f options, %zu bytes of text\n", kModules, options,
                textBytes);
    std::printf("per option: %.1f allocations, %.0f bytes allocated, %.0f bytes kept "
                "(%.0f on the heap)\n",
                static_cast<double>(allocations - countBefore) / options,
                static_cast<double>(allocatedBytes - bytesBefore) / options,
                static_cast<double>(liveBytes - liveBefore) / options,
                static_cast<double>(liveFootprint - footprintBefore) / options);
  }
  Tam::initialize(nullptr);
}

}  // namespace

void* operator new(size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<size_t*>(block) = size;
  liveBytes += size;
  ++allocations;
  allocatedBytes += size;
  liveFootprint += malloc_usable_size(block) + kChunkOverhead;
  if (liveBytes > peakBytes) peakBytes = liveBytes;
  return static_cast<char*>(block) + kHeader;
}

void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - kHeader;
  liveBytes -= *static_cast<size_t*>(block);
  liveFootprint -= malloc_usable_size(block) + kChunkOverhead;
  std::free(block);
}

void operator delete(void* p, size_t) noexcept { operator delete(p); }

int main() {
  measureRuleTree();
  measureOptions();
  return 0;
}
