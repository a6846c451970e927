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
    if (!text.empty()) text += ",";
    text += value->displayString();
  }
  return text;
}

inline TamSelOptionSet::TamSosEntry entry(const ref_count_ptr<TamOption>& option,
                                          std::vector<ref_count_ptr<TamValue>> values,
                                          std::vector<TamSelOptionSet::HowSet> howSet,
                                          const TamPath& path = TamPath()) {
  TamSelOptionSet::TamSosEntry e;
  e.option = option;
  e.path = path;
  e.values = std::move(values);
  e.howSet = std::move(howSet);
  return e;
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
