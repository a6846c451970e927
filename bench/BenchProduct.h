// A generated product for benchmarks, shaped like the large structures our users keep: a chain of
// modules where each presents an option of the next one down, declares its own options and
// carries rules; and a node tree of a given fan-out whose nodes cycle through the modules.
#ifndef TAM_BENCH_BENCHPRODUCT_H
#define TAM_BENCH_BENCHPRODUCT_H

#include <memory>
#include <string>
#include <vector>

#include "tam/libtam.h"

namespace tambench {

// The RIX text of module number i of a product of `count` modules.
std::string moduleText(int i, int count);

// The RIX text of module number i of a grouped product: `groups` groups of four options each (a
// logical defaulting to true, an integer in 1..10 set from it, a string with a default, and a
// logical set when the integer exceeds 3 that forces the next group's logical on), the shape
// large flat configuration problems take.
std::string groupModuleText(int i, int groups);

// The declaration lines of groupModuleText, one per line, without module line or rules.
std::string groupDeclarations(int i, int groups);

// A rule body of `statements` if statements, each with a comment, arithmetic and both branches.
std::string ruleBody(int statements);

class BenchAdapter : public Tam::AdapterInterface {
 public:
  explicit BenchAdapter(int moduleCount) : moduleCount_(moduleCount) {}
  bool loadModule(TamWindow* window, const std::string& moduleId) override;
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }

 private:
  int moduleCount_;
};

class BenchNode : public TamNode {
 public:
  BenchNode(const ref_count_ptr<TamWindow>& window, BenchNode* parent, std::string pathId,
            std::string moduleId)
      : TamNode(window), parent_(parent), pathId_(std::move(pathId)), moduleId_(std::move(moduleId)) {}

  TamNode* parent() override { return parent_; }
  TamNodeIterator* children() override;
  bool hasModule() override { return !moduleId_.empty(); }
  std::string moduleId() override { return moduleId_; }
  std::string pathId() override { return pathId_; }

  std::vector<std::unique_ptr<BenchNode>> kids;

 private:
  BenchNode* parent_;
  std::string pathId_;
  std::string moduleId_;
};

// Builds a tree of about `nodeCount` nodes, `fanOut` children each; node k carries module
// k % moduleCount, and every child has a load-if on an option of its parent's module.
std::unique_ptr<BenchNode> buildTree(const ref_count_ptr<TamWindow>& window, int nodeCount,
                                     int fanOut, int moduleCount);

}  // namespace tambench

#endif  // TAM_BENCH_BENCHPRODUCT_H
