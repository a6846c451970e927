#include "HostValues.h"

#include "Diagnostics.h"
#include "ValueText.h"

HostValueProblem judgeHostValue(const ref_count_ptr<TamOption>& option,
                                const HostValueEntry& given,
                                std::vector<ref_count_ptr<TamValue>>& values) {
  const std::string name = quote(given.moduleId + ":" + given.optionName);
  HostValueProblem problem;
  if (option->scope() == TamOption::SCOPE_LEGACY) {
    problem.message = name + " is a legacy option: its value is kept in \"legacy_options\"";
    return problem;
  }
  if (given.values.size() > 1 && option->mutually_exclusive()) {
    problem.message = name +
                      " takes one value at a time (declare it non_mutually_exclusive to select "
                      "several)";
    return problem;
  }
  const TamValue::ValueType type = option->valueType();
  for (std::size_t i = 0; i < given.values.size(); ++i) {
    const nlohmann::json& json = given.values[i];
    std::string why;
    const ref_count_ptr<TamValue> value = given.pointer.empty() && json.is_string()
                                              ? valueFromText(type, json.get<std::string>(), why)
                                              : valueFromJson(type, json, why);
    problem.valueIndex = i + 1;
    if (!value) {
      problem.message = "value for " + name + ": " + why + " (" + name + " takes " +
                        typeWord(type) + " values)";
      return problem;
    }
    if (!option->validateValue(value)) {
      problem.message = "value " + valueText(value) + " is not allowed for " + name +
                        " (allowed: " + describeConstraints(option) + ")";
      return problem;
    }
    values.push_back(value);
  }
  return HostValueProblem();
}
