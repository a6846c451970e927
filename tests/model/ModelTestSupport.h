// Helpers shared by the model tests: a window under the in-memory test host, module texts built
// from declaration lines, names as one text, and the exception an operation raises.
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

// The texts in their order, separated by blanks.
inline std::string joined(const std::vector<std::string>& texts) {
  std::string text;
  for (const std::string& part : texts) text += (text.empty() ? "" : " ") + part;
  return text;
}

// The names of these options in their order, separated by blanks.
template <class Options>
std::string names(const Options& options) {
  std::vector<std::string> all;
  for (const ref_count_ptr<TamOption>& option : options) all.push_back(option->name());
  return joined(all);
}

// The TamException `operation` raises; one with code 0 when it raises none.
template <class Operation>
TamException raised(Operation operation) {
  try {
    operation();
  } catch (const TamException& e) {
    return e;
  }
  return TamException();
}

// The TamException `operation` raises as "code info @context", leaving out empty texts; "none"
// when it raises none.
template <class Operation>
std::string failure(Operation operation) {
  const TamException e = raised(operation);
  if (e.code() == 0) return "none";
  return std::to_string(e.code()) + (e.info().empty() ? "" : " " + e.info()) +
         (e.context().empty() ? "" : " @" + e.context());
}

class ModelTest : public ::testing::Test {
 protected:
  // A module created in the window and given these declarations one by one.
  ref_count_ptr<TamModule> declare(const std::string& id, const std::vector<std::string>& lines) {
    ref_count_ptr<TamModule> module = window->createModule(id);
    for (const std::string& line : lines) module->addOptionString(line);
    return module;
  }

  TestAdapter adapter;
  ref_count_ptr<TamWindow> window = Tam::createWindow();
};

}  // namespace tamtest

#endif  // TAM_TESTS_MODEL_MODELTESTSUPPORT_H
