// Shared set-up for the rule tests: a window holding module "m" (loaded from RIX text through the
// test host), a selected option set of that window, and helpers that run rule texts over it.
#ifndef TAM_TESTS_RULES_RULES_FIXTURE_H
#define TAM_TESTS_RULES_RULES_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "TestHost.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"
#include "rules/TamValueExp.h"
#include "tam/libtam.h"

namespace rulestest {

// a has a default and u none; small takes 1 to 3; n, k, far and tags hold several values at once.
constexpr const char* kModuleText =
    "module m\ninterface start\n"
    "public a integer default 7\npublic u integer\npublic small integer = 1 to 3\n"
    "public n integer non_mutually_exclusive\npublic k integer non_mutually_exclusive\n"
    "public far integer non_mutually_exclusive\npublic color string\npublic size string\n"
    "public tags string non_mutually_exclusive\n"
    "interface end\n";

class RulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    adapter.addModuleText("m", kModuleText);
    module = window->getModule("m");
  }

  ref_count_ptr<TamOption> option(const std::string& name) { return module->getOption(name); }

  // The TamException `f` raises; one with code 0 when it raises none.
  template <class F>
  static TamException failureOf(F f) {
    try {
      f();
    } catch (const TamException& e) {
      return e;
    }
    return TamException();
  }

  // The exception as "code info @context #extrainfo2 :line", leaving out empty texts and line 0;
  // "none" for code 0.
  static std::string describe(const TamException& e) {
    if (e.code() == 0) return "none";
    std::string text = std::to_string(e.code());
    if (!e.info().empty()) text += " " + e.info();
    if (!e.context().empty()) text += " @" + e.context();
    if (!e.extrainfo2().empty()) text += " #" + e.extrainfo2();
    return e.line() ? text + " :" + std::to_string(e.line()) : text;
  }

  // Runs the rules over the emptied set, with no messages recorded yet.
  TamException run(const std::string& rules) {
    sos.clear();
    adapter.messages.clear();
    return failureOf([&] { TamRuleParser(rules).parseRules()->execute(sos); });
  }

  // The messages sent so far, separated by "|".
  std::string messages() const {
    std::string texts;
    for (const tamtest::RecordedMessage& m : adapter.messages)
      texts += (texts.empty() ? "" : "|") + m.text;
    return texts;
  }

  tamtest::TestAdapter adapter;
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> module;
  TamSelOptionSet sos{window};
};

}  // namespace rulestest

#endif  // TAM_TESTS_RULES_RULES_FIXTURE_H
