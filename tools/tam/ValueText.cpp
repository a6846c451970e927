#include "ValueText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// Enough for the shortest text of any double ("-1.2345678901234567e-308" and the like).
constexpr std::size_t kMaxRealTextLength = 32;
// Every decimal of up to 15 significant digits survives the trip through a double and back, so
// no more are shown: what arithmetic adds beyond them (6.0 - 2.15 * 1.2 is 3.4200000000000004 as
// a double) is noise a person did not write.
constexpr int kRealDigits = 15;

struct HowSetName {
  TamSelOptionSet::HowSet how;
  const char* name;
};

const HowSetName kHowSetNames[] = {{TamSelOptionSet::HOWSET_DEFAULT, "default"},
                                   {TamSelOptionSet::HOWSET_HOST, "host"},
                                   {TamSelOptionSet::HOWSET_SET, "set"},
                                   {TamSelOptionSet::HOWSET_HOST_FIRM, "host_firm"},
                                   {TamSelOptionSet::HOWSET_FIX, "fix"},
                                   {TamSelOptionSet::HOWSET_INHERITED, "inherited"},
                                   {TamSelOptionSet::HOWSET_HOST_FORCED, "host_forced"}};

std::string jsonString(const std::string& text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::string constraintText(const ref_count_ptr<TamOptionValue>& constraint,
                           const ValueSpeller& spell) {
  switch (constraint->kind()) {
    case TamOptionValue::KIND_ENUM:
      return spell(constraint->value());
    case TamOptionValue::KIND_MAX:
      return "< " + spell(constraint->value());
    case TamOptionValue::KIND_MIN:
      return "> " + spell(constraint->value());
    case TamOptionValue::KIND_MAX_INC:
      return "<= " + spell(constraint->value());
    case TamOptionValue::KIND_MIN_INC:
      return ">= " + spell(constraint->value());
    case TamOptionValue::KIND_RANGE: {
      TamOptionValue::Range range = constraint->range();
      return spell(range.first->value()) + " to " + spell(range.second->value());
    }
    case TamOptionValue::KIND_ANY_STRING:
      return "any string";
    case TamOptionValue::KIND_ANY_INT:
      return "any integer";
    case TamOptionValue::KIND_ANY_REAL:
      return "any number";
    case TamOptionValue::KIND_BOOLEAN:
      return "true or false";
  }
  return "?";
}

std::string constraintText(const ref_count_ptr<TamOptionValue>& constraint) {
  return constraintText(constraint, valueText);
}

const char* howSetName(TamSelOptionSet::HowSet how) {
  for (const HowSetName& entry : kHowSetNames) {
    if (entry.how == how) return entry.name;
  }
  return "unknown";
}

bool parseHostHowSet(const std::string& name, TamSelOptionSet::HowSet& how) {
  for (TamSelOptionSet::HowSet candidate :
       {TamSelOptionSet::HOWSET_HOST, TamSelOptionSet::HOWSET_HOST_FIRM,
        TamSelOptionSet::HOWSET_HOST_FORCED}) {
    if (name == howSetName(candidate)) {
      how = candidate;
      return true;
    }
  }
  return false;
}

std::string typeWord(TamValue::ValueType type) {
  switch (type) {
    case TamValue::VT_BOOL:
      return "logical";
    case TamValue::VT_INT:
      return "integer";
    case TamValue::VT_REAL:
      return "real";
    case TamValue::VT_STRING:
      return "string";
    case TamValue::VT_UNSET:
      break;
  }
  return "untyped";
}

// The significant digits of a number's text (leading zeros and the exponent left out).
int significantDigits(const std::string& text) {
  int digits = 0;
  bool leading = true;
  for (char c : text) {
    if (c == 'e' || c == 'E') break;
    if (!std::isdigit(static_cast<unsigned char>(c))) continue;
    if (leading && c == '0') continue;
    leading = false;
    ++digits;
  }
  return digits;
}

std::string realText(double value) {
  if (!std::isfinite(value)) return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
  char buffer[kMaxRealTextLength];
  std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (significantDigits(text) > kRealDigits) {
    result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                           kRealDigits);
    text.assign(buffer, result.ptr);
  }
  // A whole number keeps a ".0", so that it still reads as a real.
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

std::string valueText(const ref_count_ptr<TamValue>& value) {
  if (!value) return "unset";
  switch (value->type()) {
    case TamValue::VT_UNSET:
      return "unset";
    case TamValue::VT_STRING:
      return jsonString(value->strValue());
    case TamValue::VT_REAL:
      return realText(value->realValue());
    default:
      return value->displayString();
  }
}

void appendValueText(const ref_count_ptr<TamValue>& value, std::string& text) {
  if (value && value->type() == TamValue::VT_BOOL) {
    text += value->boolValue() ? "true" : "false";
    return;
  }
  if (value && value->type() == TamValue::VT_INT) {
    char digits[std::numeric_limits<int>::digits10 + 3];  // sign, every digit
    const std::to_chars_result written =
        std::to_chars(digits, digits + sizeof digits, value->intValue());
    text.append(digits, written.ptr);
    return;
  }
  if (value && value->type() == TamValue::VT_STRING) {
    const std::string string = value->strValue();
    if (plainJsonText(string)) {
      text += '"';
      text += string;
      text += '"';
      return;
    }
  }
  text += valueText(value);
}

OutputJson valueJson(const ref_count_ptr<TamValue>& value) {
  JsonBuilder built;
  writeValueJson(built, value);
  return built.take();
}

void writeValueJson(JsonWriter& out, const ref_count_ptr<TamValue>& value) {
  if (!value) {
    out.null();
    return;
  }
  switch (value->type()) {
    case TamValue::VT_BOOL:
      out.boolean(value->boolValue());
      return;
    case TamValue::VT_INT:
      out.integer(value->intValue());
      return;
    case TamValue::VT_REAL:
      if (!std::isfinite(value->realValue())) {
        out.string(value->displayString());
      } else {
        // The number as realText shows it, so that text and JSON output agree.
        out.value(std::strtod(realText(value->realValue()).c_str(), nullptr));
      }
      return;
    case TamValue::VT_STRING:
      out.string(value->strValue());
      return;
    case TamValue::VT_UNSET:
      break;
  }
  out.null();
}

ref_count_ptr<TamValue> valueFromText(TamValue::ValueType type, const std::string& text,
                                      std::string& problem) {
  switch (type) {
    case TamValue::VT_BOOL:
      if (text == "true" || text == "false") return TamValue::createBool(text == "true");
      problem = "'" + text + "' is not true or false";
      return nullptr;
    case TamValue::VT_INT: {
      int value = 0;
      const char* end = text.data() + text.size();
      auto result = std::from_chars(text.data(), end, value);
      if (text.empty() || result.ec != std::errc() || result.ptr != end) {
        problem = "'" + text + "' is not an integer";
        return nullptr;
      }
      return TamValue::createInt(value);
    }
    case TamValue::VT_REAL: {
      const char* begin = text.c_str();
      char* end = nullptr;
      double value = std::strtod(begin, &end);
      if (text.empty() || end != begin + text.size() || !std::isfinite(value) ||
          std::isspace(static_cast<unsigned char>(text[0]))) {
        problem = "'" + text + "' is not a number";
        return nullptr;
      }
      return TamValue::createReal(value);
    }
    case TamValue::VT_STRING:
      return TamValue::createString(text);
    case TamValue::VT_UNSET:
      break;
  }
  problem = "the option declares no value type";
  return nullptr;
}

ref_count_ptr<TamValue> valueFromJson(TamValue::ValueType type, const nlohmann::json& json,
                                      std::string& problem) {
  switch (type) {
    case TamValue::VT_BOOL:
      if (json.is_boolean()) return TamValue::createBool(json.get<bool>());
      problem = "expected true or false";
      return nullptr;
    case TamValue::VT_INT:
      if (json.is_number_integer()) {
        if (json.is_number_unsigned() &&
            json.get<std::uint64_t>() >
                static_cast<std::uint64_t>(std::numeric_limits<int>::max())) {
          problem = "the integer is too large";
          return nullptr;
        }
        std::int64_t value = json.get<std::int64_t>();
        if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
          problem = "the integer is out of range";
          return nullptr;
        }
        return TamValue::createInt(static_cast<int>(value));
      }
      problem = "expected an integer";
      return nullptr;
    case TamValue::VT_REAL:
      if (json.is_number()) return TamValue::createReal(json.get<double>());
      problem = "expected a number";
      return nullptr;
    case TamValue::VT_STRING:
      if (json.is_string()) return TamValue::createString(json.get<std::string>());
      problem = "expected a string";
      return nullptr;
    case TamValue::VT_UNSET:
      break;
  }
  problem = "the option declares no value type";
  return nullptr;
}

ref_count_ptr<TamValue> legacyValueFromJson(const nlohmann::json& json) {
  if (json.is_boolean()) return TamValue::createBool(json.get<bool>());
  if (json.is_number_integer()) {
    std::string problem;
    ref_count_ptr<TamValue> value = valueFromJson(TamValue::VT_INT, json, problem);
    if (value) return value;
    return TamValue::createReal(json.get<double>());
  }
  if (json.is_number()) return TamValue::createReal(json.get<double>());
  if (json.is_string()) return TamValue::createString(json.get<std::string>());
  return nullptr;
}

std::string describeConstraints(const ref_count_ptr<TamOption>& option) {
  return describeConstraintList(option->values());
}

std::string describeConstraintList(const std::vector<ref_count_ptr<TamOptionValue>>& constraints) {
  if (constraints.empty()) return "no value but unset";
  bool allEnum = true;
  for (const ref_count_ptr<TamOptionValue>& constraint : constraints) {
    if (constraint->kind() != TamOptionValue::KIND_ENUM) allEnum = false;
  }
  std::string text = allEnum && constraints.size() > 1 ? "one of " : "";
  for (std::size_t i = 0; i < constraints.size(); ++i) {
    if (i > 0) text += ", ";
    text += constraintText(constraints[i]);
  }
  return text;
}
