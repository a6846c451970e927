// Shared set-up for the rule node tests: a window holding one module "m" loaded from RIX text
// through the test host, a selected option set of that window, and small builders for trees.
#ifndef TAM_TESTS_RULES_RULES_FIXTURE_H
#define TAM_TESTS_RULES_RULES_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestHost.h"
#include "rules/TamExp.h"
#include "rules/TamOptionExp.h"
#include "rules/TamValueExp.h"
#include "tam/libtam.h"

namespace rulestest {

// a has a default; u has none; n, k and far hold several values at once; color, size and tags
// are String options for the mutually exclusive rules (tags holds several values).
constexpr const char* kModuleText =
    "module m\n"
    "interface start\n"
    "public a integer default 7\n"
    "public u integer\n"
    "public n integer non_mutually_exclusive\n"
    "public k integer non_mutually_exclusive\n"
    "public far integer non_mutually_exclusive\n"
    "public small integer = 1 to 3\n"
    "public color string\n"
    "public size string\n"
    "public tags string non_mutually_exclusive\n"
    "interface end\n";

inline TamValueExp* lit(int value) { return new TamLiteralValueExp(value); }
inline TamValueExp* lit(double value) { return new TamLiteralValueExp(value); }
inline TamValueExp* lit(bool value) { return new TamLiteralValueExp(value); }
inline TamValueExp* lit(const char* value) { return new TamLiteralValueExp(value); }
inline TamValueExp* unsetLit() { return new TamLiteralValueExp(); }

inline TamOptionExp* optRef(const std::string& module, const std::string& option,
                            const TamPath& path = TamPath()) {
  return new TamOptionExp(module, option, path);
}
inline TamValueExp* ref(const std::string& module, const std::string& option) {
  return new TamOptionValueExp(optRef(module, option));
}
// An operand whose evaluation fails with 302: its module cannot be had.
inline TamValueExp* missingModuleRef() { return ref("nosuch", "x"); }

using Eq = TamLogicalValueExp<std::equal_to<ref_count_ptr<TamValue>>>;
using Ne = TamLogicalValueExp<std::not_equal_to<ref_count_ptr<TamValue>>>;
using Lt = TamLogicalValueExp<std::less<ref_count_ptr<TamValue>>>;
using Gt = TamLogicalValueExp<std::greater<ref_count_ptr<TamValue>>>;
using Le = TamLogicalValueExp<std::less_equal<ref_count_ptr<TamValue>>>;
using Ge = TamLogicalValueExp<std::greater_equal<ref_count_ptr<TamValue>>>;

template <class Node>
TamValueExp* make(TamValueExp* left, TamValueExp* right) {
  return new Node(left, right);
}
using BinaryMaker = TamValueExp* (*)(TamValueExp*, TamValueExp*);

class RulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    adapter.addModuleText("m", kModuleText);
    window = Tam::createWindow();
    module = window->getModule("m");
    sos = std::make_unique<TamSelOptionSet>(window);
  }
  void TearDown() override { sos.reset(); }

  ref_count_ptr<TamOption> option(const std::string& name) { return module->getOption(name); }

  // Sets each value in turn as a set rule would.
  void setValues(const std::string& name, const std::vector<ref_count_ptr<TamValue>>& values) {
    for (const ref_count_ptr<TamValue>& value : values) {
      TamSelOptionSet::TamSosEntry entry;
      entry.option = option(name);
      entry.values.push_back(value);
      entry.howSet.push_back(TamSelOptionSet::HOWSET_SET);
      sos->set(entry);
    }
  }

  std::string evalText(const TamValueExp& exp) { return exp.evaluate(*sos)->displayString(); }

  // The code of the TamException a call raises, or 0.
  template <class F>
  static int codeOf(F f) {
    try {
      f();
    } catch (const TamException& e) {
      return e.code();
    }
    return 0;
  }

  tamtest::TestAdapter adapter;
  ref_count_ptr<TamWindow> window;
  ref_count_ptr<TamModule> module;
  std::unique_ptr<TamSelOptionSet> sos;
};

inline ref_count_ptr<TamValue> I(int v) { return TamValue::createInt(v); }
inline ref_count_ptr<TamValue> S(const char* v) { return TamValue::createString(v); }

}  // namespace rulestest

#endif  // TAM_TESTS_RULES_RULES_FIXTURE_H
