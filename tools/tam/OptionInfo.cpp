#include "OptionInfo.h"

#include <algorithm>

namespace {

struct ConstraintName {
  TamOptionValue::Kind kind;
  const char* name;
};

// The single-bound constraints and the names the API gives them.
const ConstraintName kBoundNames[] = {{TamOptionValue::KIND_MAX, "below"},
                                      {TamOptionValue::KIND_MIN, "above"},
                                      {TamOptionValue::KIND_MAX_INC, "at_most"},
                                      {TamOptionValue::KIND_MIN_INC, "at_least"}};

struct HowMeaning {
  TamSelOptionSet::HowSet how;
  const char* meaning;
};

const HowMeaning kHowMeanings[] = {
    {TamSelOptionSet::HOWSET_DEFAULT, "the option's default: nothing set a value"},
    {TamSelOptionSet::HOWSET_HOST,
     "a host value (chosen at this node, or presented by a module above it); the node's set and "
     "fix rules may replace it"},
    {TamSelOptionSet::HOWSET_SET,
     "set by a set rule of this node's module or of a module above it"},
    {TamSelOptionSet::HOWSET_HOST_FIRM, "a firm host value: set and fix rules do not replace it"},
    {TamSelOptionSet::HOWSET_FIX,
     "fixed by a fix rule of this node's module or of a module above it; set rules do not "
     "replace it"},
    {TamSelOptionSet::HOWSET_INHERITED,
     "inherited through uses from the nearest node above whose module provides the base option"},
    {TamSelOptionSet::HOWSET_HOST_FORCED,
     "a forced host value: it replaces whatever came down from above, even a fixed value"}};

OutputJson constraintJson(const ref_count_ptr<TamOptionValue>& constraint) {
  OutputJson item = OutputJson::object();
  TamOptionValue::Kind kind = constraint->kind();
  switch (kind) {
    case TamOptionValue::KIND_ENUM:
      item["kind"] = "value";
      item["value"] = valueJson(constraint->value());
      return item;
    case TamOptionValue::KIND_RANGE: {
      TamOptionValue::Range range = constraint->range();
      item["kind"] = "range";
      item["min"] = valueJson(range.first->value());
      item["max"] = valueJson(range.second->value());
      return item;
    }
    case TamOptionValue::KIND_ANY_STRING:
    case TamOptionValue::KIND_ANY_INT:
    case TamOptionValue::KIND_ANY_REAL:
    case TamOptionValue::KIND_BOOLEAN:
      item["kind"] = "any";
      return item;
    default:
      break;
  }
  for (const ConstraintName& entry : kBoundNames) {
    if (entry.kind == kind) item["kind"] = entry.name;
  }
  item["value"] = valueJson(constraint->value());
  return item;
}

}  // namespace

std::vector<ref_count_ptr<TamOption>> shownOptions(const ref_count_ptr<TamModule>& module) {
  std::vector<ref_count_ptr<TamOption>> options = module->options();
  // Option handles order by id, which is the order the module declared them in.
  std::sort(options.begin(), options.end());
  return options;
}

const char* optionKindName(TamOption::Type type) {
  switch (type) {
    case TamOption::TYPE_PRESENTS:
      return "presents";
    case TamOption::TYPE_IMPLEMENTS:
      return "implements";
    case TamOption::TYPE_USES:
      return "uses";
    case TamOption::TYPE_DECLARED:
      break;
  }
  return "declared";
}

OutputJson allowedJson(const ref_count_ptr<TamOption>& option) {
  OutputJson list = OutputJson::array();
  for (const ref_count_ptr<TamOptionValue>& constraint : option->values()) {
    list.push_back(constraintJson(constraint));
  }
  return list;
}

OutputJson optionJson(const ref_count_ptr<TamModule>& module,
                      const ref_count_ptr<TamOption>& option) {
  OutputJson item = OutputJson::object();
  item["name"] = option->name();
  item["option"] = module->id() + ":" + option->name();
  item["type"] = typeWord(option->valueType());
  item["description"] = option->description();
  item["kind"] = optionKindName(option->type());
  item["base"] = option->type() == TamOption::TYPE_DECLARED
                     ? OutputJson(nullptr)
                     : OutputJson(option->basedOnModuleId() + ":" + option->basedOnName());
  item["scope"] = option->scope() == TamOption::SCOPE_PRIVATE ? "private" : "public";
  item["mandatory"] = option->mandatory();
  item["multiple"] = !option->mutually_exclusive();
  item["default"] = valueJson(option->defaultValue());
  item["allowed"] = allowedJson(option);
  item["allowed_text"] = describeConstraints(option);
  item["declaration"] = module->askOptionRix(option->name());
  return item;
}

std::string howSetMeaning(TamSelOptionSet::HowSet how) {
  for (const HowMeaning& entry : kHowMeanings) {
    if (entry.how == how) return entry.meaning;
  }
  return "set in a way this tool does not know";
}
