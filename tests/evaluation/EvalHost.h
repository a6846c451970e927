// Shared pieces of the evaluation tests: a fixture with the test host's adapter and one window,
// module texts assembled from declaration lines and rules, and readers of selected values.
#ifndef TAM_TESTS_EVALUATION_EVALHOST_H
#define TAM_TESTS_EVALUATION_EVALHOST_H

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestHost.h"
#include "tam/libtam.h"

namespace evaltest {

using HowSet = TamSelOptionSet::HowSet;

inline std::string moduleText(const std::string& id, const std::vector<std::string>& declarations,
                              const std::string& rules) {
  std::string text = "module " + id + "\ninterface start\n";
  for (const std::string& line : declarations) text += line + "\n";
  return text + "interface end\n" + rules;
}

// Every value of the option's entry, joined by ",".
inline std::string allValues(const TamSelOptionSet& sos, const ref_count_ptr<TamOption>& option) {
  std::string text;
  for (const ref_count_ptr<TamValue>& value : sos.get(option).values) {
    text += (text.empty() ? "" : ",") + value->displayString();
  }
  return text;
}

inline TamSelOptionSet::TamSosEntry entry(const ref_count_ptr<TamOption>& option,
                                          std::vector<ref_count_ptr<TamValue>> values,
                                          std::vector<HowSet> howSet) {
  return {option, TamPath(), std::move(values), std::move(howSet)};
}

// What the call raises: "code info|context|extrainfo2", then " line N" and " at <node's path
// id>" when the failure carries a line and a node; "none" when it raises nothing.
template <class Call>
std::string failureOf(Call call) {
  try {
    call();
  } catch (const TamException& e) {
    std::string text = std::to_string(e.code()) + " " + e.info() + "|" + e.context() + "|" +
                       e.extrainfo2();
    if (e.line() != 0) text += " line " + std::to_string(e.line());
    return e.node() ? text + " at " + e.node()->pathId() : text;
  }
  return "none";
}

class EvalTest : public ::testing::Test {
 protected:
  void addModule(const std::string& id, const std::vector<std::string>& declarations,
                 const std::string& rules) {
    adapter.addModuleText(id, moduleText(id, declarations, rules));
  }
  ref_count_ptr<TamOption> option(const std::string& moduleId, const std::string& name) {
    return TamOption::findOption(window, moduleId, name);
  }
  // The values of moduleId:name selected at the node, joined by ",".
  std::string value(TamNode& node, const std::string& moduleId, const std::string& name) {
    return allValues(node.getSos(), option(moduleId, name));
  }
  // The host's choice of one value at the node, as the node's own set.
  void hostSet(TamNode& node, const std::string& moduleId, const std::string& name,
               ref_count_ptr<TamValue> v, HowSet how = TamSelOptionSet::HOWSET_HOST) {
    TamSelOptionSet chosen(window);
    chosen.set(entry(option(moduleId, name), {std::move(v)}, {how}));
    node.setSos(chosen);
  }
  // Evaluates the tree as the window's root (the window reads its root only here).
  void evaluate(TamNode& root, bool notify = true) {
    window->setRoot(&root);
    window->evaluate(notify);
  }
  // The messages the host received from rules run at this node.
  std::vector<std::string> messagesAt(const TamNode* node) const {
    std::vector<std::string> texts;
    for (const tamtest::RecordedMessage& m : adapter.messages) {
      if (m.node == node) texts.push_back(m.text);
    }
    return texts;
  }

  // The adapter is installed before the window is made and outlives it.
  tamtest::TestAdapter adapter;
  ref_count_ptr<TamWindow> window = Tam::createWindow();
};

}  // namespace evaltest

#endif  // TAM_TESTS_EVALUATION_EVALHOST_H
