// A small product built from one fuzz input, for the targets that evaluate and validate. The input
// is cut into parts at lines holding only "%%":
//   0: the body of module a (declarations, the line "interface end", rules)
//   1: the body of module b
//   2, 3: the load-if conditions given to the nodes
//   4: the tree's shape, one byte per node after the root (empty: a fixed shape)
// Each body follows the lines "module <id>" and "interface start". The root carries module a and
// host values for its first options; module a also has a legacy option the host keeps. The
// product's own adapter is installed while it lives.
#ifndef TAM_FUZZ_FUZZPRODUCT_H
#define TAM_FUZZ_FUZZPRODUCT_H

#include <memory>
#include <string>
#include <vector>

#include "FuzzHost.h"

namespace tamfuzz {

// The parts of an input cut at "%%" lines; at least `count` of them (missing ones empty).
std::vector<std::string> splitParts(const std::string& input, size_t count);

class FuzzProduct {
 public:
  static constexpr size_t kMaxNodes = 12;

  explicit FuzzProduct(const std::string& input);
  ~FuzzProduct();
  FuzzProduct(const FuzzProduct&) = delete;
  FuzzProduct& operator=(const FuzzProduct&) = delete;

  // Sets the load-ifs and host values. Failures (a malformed condition, a module that does not
  // load) are the host's to take: they leave the node without them.
  void build();
  // Evaluates the window and returns every node's state and values, the messages, and the
  // exception that stopped the evaluation, as text.
  std::string evaluate();
  // The validator's findings over the whole tree, or the exception that stopped it.
  std::string validate();
  // True when the texts hold a mutually exclusive rule, which changes its options for every
  // evaluation after the first (a second evaluation may then differ).
  bool changesOptionsWhenRun() const;
  // True when the root's set still holds every host value as the host set it. A rule may replace
  // a plain host value; the next evaluation then no longer has it.
  bool hostValuesKept();

  const ref_count_ptr<TamWindow>& window() const { return window_; }

 private:
  class Adapter;
  class Node;

  std::vector<std::string> parts_;
  std::unique_ptr<Adapter> adapter_;
  ref_count_ptr<TamWindow> window_;
  std::vector<std::unique_ptr<Node>> nodes_;
  std::vector<TamSelOptionSet::TamSosEntry> hostValues_;
};

// What a call raised, as "code info", or "" when it raised nothing.
template <class Call>
std::string failureOf(Call call) {
  try {
    call();
  } catch (const TamException& e) {
    return std::to_string(e.code()) + " " + e.info();
  }
  return std::string();
}

}  // namespace tamfuzz

#endif  // TAM_FUZZ_FUZZPRODUCT_H
