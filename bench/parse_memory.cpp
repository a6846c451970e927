// The memory a parsed rule tree keeps: parses the benchmark rule body once with every heap
// allocation counted, and prints the bytes the root keeps (in all and per statement), the peak
// while parsing, and the sizes of the node classes. A program of its own, because counting
// replaces the global operator new.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "BenchProduct.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"
#include "rules/TamValueExp.h"

namespace {

// Each block carries its size in front of it, in a header that keeps the block aligned.
constexpr size_t kHeader = alignof(std::max_align_t);
size_t liveBytes = 0;
size_t peakBytes = 0;

// The benchmark body's if statements; each holds a set and a fix as well.
constexpr int kStatements = 2000;

}  // namespace

void* operator new(size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<size_t*>(block) = size;
  liveBytes += size;
  if (liveBytes > peakBytes) peakBytes = liveBytes;
  return static_cast<char*>(block) + kHeader;
}

void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - kHeader;
  liveBytes -= *static_cast<size_t*>(block);
  std::free(block);
}

void operator delete(void* p, size_t) noexcept { operator delete(p); }

int main() {
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
  return 0;
}
