// Helpers shared by the model tests: a window under the in-memory test host, module texts built
// from declaration lines, and catching the exception an operation raises.
#ifndef TAM_TESTS_MODEL_MODELTESTSUPPORT_H
#define TAM_TESTS_MODEL_MODELTESTSUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestHost.h"
#include "tam/libtam.h"

namespace tamtest {

// The module text of `id` with these declaration lines and rules, in the layout getRixData writes.
inline std::string moduleText(const std::string& id, const std::vector<std::string>& declarations,
                              const std::string& rules = std::string()) {
  std::string text = "module " + id + "\ninterface start\n";
  for (const std::string& line : declarations) text += line + "\n";
  return text + "interface end\n" + rules;
}

// Runs `operation` and returns the TamException it raised; records a failure when it raised none.
template <class Operation>
TamException raised(Operation operation) {
  try {
    operation();
  } catch (const TamException& e) {
    return e;
  }
  ADD_FAILURE() << "no TamException raised";
  return TamException();
}

class ModelTest : public ::testing::Test {
 protected:
  // A module created in the window and given these declarations one by one.
  ref_count_ptr<TamModule> declare(const std::string& id,
                                   const std::vector<std::string>& declarations) {
    ref_count_ptr<TamModule> module = window->createModule(id);
    for (const std::string& line : declarations) module->addOptionString(line);
    return module;
  }

  TestAdapter adapter;
  ref_count_ptr<TamWindow> window = Tam::createWindow();
};

}  // namespace tamtest

#endif  // TAM_TESTS_MODEL_MODELTESTSUPPORT_H
