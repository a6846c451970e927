#include "RuleChecker.h"

#include <algorithm>
#include <functional>
#include <map>

#include "FileAdapter.h"
#include "Suggest.h"
#include "ValueText.h"

namespace {

using Node = TamRixOutline::Node;
using NodeKind = TamRixOutline::Kind;
using ValueType = TamValue::ValueType;

// A reference that does not resolve makes every later judgement of its statement meaningless,
// so it outranks the other problems of the statement.
constexpr int kReferencePriority = 0;
constexpr int kValuePriority = 1;

struct Problem {
  int owner;  // the statement (or the condition) it belongs to
  int priority;
  std::size_t offset;
  Diagnostic diagnostic;
};

// What is known of a value without evaluating: its kind (VT_UNSET when unknown), the value itself
// when it is a literal or computed from literals, and the option whose value it is.
struct Typed {
  ValueType type = TamValue::VT_UNSET;
  ref_count_ptr<TamValue> constant;
  ref_count_ptr<TamOption> option;
  bool known() const { return type != TamValue::VT_UNSET; }
};

bool isStatement(NodeKind kind) {
  switch (kind) {
    case TamRixOutline::KIND_SET:
    case TamRixOutline::KIND_FIX:
    case TamRixOutline::KIND_MESSAGE:
    case TamRixOutline::KIND_IF:
    case TamRixOutline::KIND_EXCLUSIVE_OPTIONS:
    case TamRixOutline::KIND_EXCLUSIVE_VALUES:
      return true;
    default:
      return false;
  }
}

bool isNumber(ValueType type) { return type == TamValue::VT_INT || type == TamValue::VT_REAL; }

const char* operatorText(NodeKind kind) {
  switch (kind) {
    case TamRixOutline::KIND_PLUS:
      return "+";
    case TamRixOutline::KIND_MINUS:
      return "-";
    case TamRixOutline::KIND_MULTIPLY:
      return "*";
    case TamRixOutline::KIND_DIVIDE:
      return "/";
    case TamRixOutline::KIND_EQ:
      return "=";
    case TamRixOutline::KIND_NE:
      return "!=";
    case TamRixOutline::KIND_LT:
      return "<";
    case TamRixOutline::KIND_GT:
      return ">";
    case TamRixOutline::KIND_LE:
      return "<=";
    case TamRixOutline::KIND_GE:
      return ">=";
    case TamRixOutline::KIND_AND:
      return "and";
    case TamRixOutline::KIND_OR:
      return "or";
    default:
      return "?";
  }
}

// "string", "integer", ... as kinds of values (a logical value is "true or false").
std::string kindWord(ValueType type) {
  return type == TamValue::VT_BOOL ? "logical value" : typeWord(type);
}

std::string withArticle(const std::string& word) {
  const bool vowel = !word.empty() && std::string("aeiou").find(word[0]) != std::string::npos;
  return (vowel ? "an " : "a ") + word;
}

std::string optionName(const ref_count_ptr<TamOption>& option) {
  return quote(option->moduleId() + ":" + option->name());
}

// The value type of an option, or VT_UNSET when it has none (a legacy option) or its chain of
// bases cannot be followed (reported where it is declared).
ValueType valueTypeOf(const ref_count_ptr<TamOption>& option) {
  if (option->scope() == TamOption::SCOPE_LEGACY) return TamValue::VT_UNSET;
  try {
    return option->valueType();
  } catch (const TamException&) {
    return TamValue::VT_UNSET;
  }
}

// Whether the option allows the value; a value its bounds cannot be compared with is not allowed.
bool allows(const ref_count_ptr<TamOption>& option, const ref_count_ptr<TamValue>& value) {
  try {
    return option->validateValue(value);
  } catch (const TamException&) {
    return false;
  }
}

std::string allowedText(const ref_count_ptr<TamOption>& option) {
  try {
    return describeConstraints(option);
  } catch (const TamException&) {
    return "?";
  }
}

// The allowed strings of an option, to suggest one for a misspelt value.
std::vector<std::string> allowedStrings(const ref_count_ptr<TamOption>& option) {
  std::vector<std::string> strings;
  try {
    for (const ref_count_ptr<TamOptionValue>& constraint : option->values()) {
      if (constraint->kind() == TamOptionValue::KIND_ENUM &&
          constraint->value()->type() == TamValue::VT_STRING) {
        strings.push_back(constraint->value()->strValue());
      }
    }
  } catch (const TamException&) {
    strings.clear();
  }
  return strings;
}

// "; did you mean "black"?" for a misspelt string value, or empty.
std::string suggestValue(const ref_count_ptr<TamOption>& option,
                         const ref_count_ptr<TamValue>& value, SuggestionBudget& budget) {
  if (value->type() != TamValue::VT_STRING) return "";
  const std::string closest = closestName(value->strValue(), allowedStrings(option), budget);
  return closest.empty() ? "" : "; did you mean " + valueText(TamValue::createString(closest)) + "?";
}

class Checker {
 public:
  Checker(const TamRixOutline& outline, const RuleCheckContext& context)
      : outline_(outline),
        context_(context),
        nodes_(outline.nodes()),
        owner_(nodes_.size(), -1),
        resolved_(nodes_.size()),
        typed_(nodes_.size()) {}

  std::vector<Diagnostic> run() {
    findOwners();
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
      if (nodes_[i].kind == TamRixOutline::KIND_OPTION_REFERENCE && nodes_[i].moduleIdPos.isKnown())
        resolve(static_cast<int>(i));
    }
    collectSetTargets();
    for (std::size_t i = nodes_.size(); i-- > 0;) judge(static_cast<int>(i));
    if (outline_.top() >= 0 && !isStatementList(outline_.top())) {
      expectLogical(outline_.top(), "the condition", "");
    }
    return chosen();
  }

 private:
  bool isStatementList(int index) const {
    return nodes_[static_cast<std::size_t>(index)].kind == TamRixOutline::KIND_STATEMENTS;
  }
  const Node& node(int index) const { return nodes_[static_cast<std::size_t>(index)]; }
  int child(int index, std::size_t which) const { return node(index).children[which]; }
  Typed& typed(int index) { return typed_[static_cast<std::size_t>(index)]; }

  SourcePlace placeOf(int index) const {
    return context_.place(node(index).begin.offset, node(index).end.offset);
  }
  SourcePlace placeOf(const TamSourcePos& begin, std::size_t length) const {
    return context_.place(begin.offset, begin.offset + length);
  }

  // Each node belongs to the statement it is part of; a condition's nodes all to the condition.
  void findOwners() {
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
      const Node& current = nodes_[i];
      if (isStatement(current.kind) || current.parent < 0) {
        owner_[i] = static_cast<int>(i);
      } else {
        owner_[i] = owner_[static_cast<std::size_t>(current.parent)];
      }
    }
  }

  void add(int at, int priority, const Diagnostic& diagnostic) {
    problems_.push_back(
        {owner_[static_cast<std::size_t>(at)], priority, node(at).begin.offset, diagnostic});
  }

  void addAt(int ownerOf, std::size_t offset, int priority, const Diagnostic& diagnostic) {
    problems_.push_back({owner_[static_cast<std::size_t>(ownerOf)], priority, offset, diagnostic});
  }

  // References.

  SuggestionBudget& budget() const { return *context_.budget; }

  // Names to suggest from, gathered once per check.
  const std::vector<std::string>& moduleIds() {
    if (moduleIds_.empty()) moduleIds_ = context_.adapter->moduleIds();
    return moduleIds_;
  }

  const std::vector<std::string>& optionNamesOf(const std::string& moduleId) {
    auto known = optionNames_.find(moduleId);
    if (known != optionNames_.end()) return known->second;
    std::vector<std::string>& names = optionNames_[moduleId];
    try {
      for (const ref_count_ptr<TamOption>& option :
           context_.window->getModule(moduleId)->options()) {
        names.push_back(option->name());
      }
    } catch (const TamException&) {
      names.clear();
    }
    for (const auto& legacy : context_.adapter->legacyValues()) {
      if (legacy.first.first == moduleId) names.push_back(legacy.first.second);
    }
    return names;
  }

  bool failedElsewhere(const std::string& moduleId, const std::string& name) const {
    if (context_.adapter->isBrokenModule(moduleId)) return true;
    if (context_.adapter->isFailedDeclaration(moduleId, name)) return true;
    return moduleId == context_.ownerModule && context_.failedOwnOptions.count(name) > 0;
  }

  void resolve(int index) {
    const Node& reference = node(index);
    try {
      resolved_[static_cast<std::size_t>(index)] =
          TamOption::findOption(context_.window, reference.moduleId, reference.optionName);
    } catch (const TamException& e) {
      if (failedElsewhere(reference.moduleId, reference.optionName)) return;
      if (e.code() == 302) {
        add(index, kReferencePriority,
            Diagnostic::error(placeOf(reference.moduleIdPos, reference.moduleId.size()),
                              "unknown module " + quote(reference.moduleId) +
                                  didYouMean(reference.moduleId, moduleIds(), budget())));
      } else if (e.code() == 102) {
        const std::string suggestion =
            didYouMean(reference.optionName, optionNamesOf(reference.moduleId), budget());
        std::string message = "module " + quote(reference.moduleId) + " has no option " +
                              quote(reference.optionName) + suggestion;
        if (suggestion.empty() && context_.legacyHint) {
          message += " (if it is a legacy option, give the product file with --product)";
        }
        addAt(index, reference.optionNamePos.offset, kReferencePriority,
              Diagnostic::error(placeOf(reference.optionNamePos, reference.optionName.size()),
                                message));
      } else {
        add(index, kReferencePriority, Diagnostic::error(placeOf(index), describeException(e)));
      }
    }
  }

  // Options the rules set, which the rules' mutually exclusive checks may name as well.
  void collectSetTargets() {
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
      const Node& current = nodes_[i];
      if (current.kind != TamRixOutline::KIND_SET && current.kind != TamRixOutline::KIND_FIX)
        continue;
      const ref_count_ptr<TamOption>& target =
          resolved_[static_cast<std::size_t>(current.children[0])];
      if (target) setTargets_[target->name()] = target;
    }
  }

  // Kinds and values, from the leaves up.

  void judge(int index) {
    const Node& current = node(index);
    switch (current.kind) {
      case TamRixOutline::KIND_LITERAL:
        typed(index).type = current.value->type();
        typed(index).constant = current.value;
        break;
      case TamRixOutline::KIND_OPTION_VALUE: {
        const ref_count_ptr<TamOption>& option = resolved_[static_cast<std::size_t>(child(index, 0))];
        if (option) {
          typed(index).option = option;
          typed(index).type = valueTypeOf(option);
        }
        break;
      }
      case TamRixOutline::KIND_PLUS:
      case TamRixOutline::KIND_MINUS:
      case TamRixOutline::KIND_MULTIPLY:
      case TamRixOutline::KIND_DIVIDE:
        judgeArithmetic(index);
        break;
      case TamRixOutline::KIND_EQ:
      case TamRixOutline::KIND_NE:
        judgeEquality(index);
        break;
      case TamRixOutline::KIND_LT:
      case TamRixOutline::KIND_GT:
      case TamRixOutline::KIND_LE:
      case TamRixOutline::KIND_GE:
        judgeOrdering(index);
        break;
      case TamRixOutline::KIND_AND:
      case TamRixOutline::KIND_OR:
        for (int operand : current.children) {
          expectLogical(operand,
                        std::string("the operand of '") + operatorText(current.kind) + "'", "");
        }
        typed(index).type = TamValue::VT_BOOL;
        break;
      case TamRixOutline::KIND_NOT:
        expectLogical(child(index, 0), "the operand of 'not'", "");
        typed(index).type = TamValue::VT_BOOL;
        break;
      case TamRixOutline::KIND_IF:
        expectLogical(child(index, 0), "the condition", ": neither branch ever runs");
        break;
      case TamRixOutline::KIND_SET:
      case TamRixOutline::KIND_FIX:
        judgeSet(index);
        break;
      case TamRixOutline::KIND_EXCLUSIVE_OPTIONS:
        judgeExclusive(index, 1);
        break;
      case TamRixOutline::KIND_EXCLUSIVE_VALUES:
        judgeExclusive(index, 2);
        break;
      default:
        break;
    }
  }

  // "the string "many"", "integer option 'cpu:cores'", "an integer".
  std::string describe(const Typed& value, bool valueOf = false) const {
    if (value.constant) return "the " + kindWord(value.type) + " " + valueText(value.constant);
    if (value.option) {
      return std::string(valueOf ? "the value of " : "") + typeWord(value.type) + " option " +
             optionName(value.option);
    }
    return withArticle(kindWord(value.type));
  }

  void expectLogical(int operand, const std::string& subject, const std::string& consequence) {
    const Typed& value = typed(operand);
    if (!value.known() || value.type == TamValue::VT_BOOL) return;
    add(operand, kValuePriority,
        Diagnostic::error(placeOf(operand), subject + " is " + describe(value) +
                                                ", not true or false" + consequence));
  }

  // A prefix minus is read as 0 minus its operand; the 0 has an empty range.
  bool isPrefixMinus(int index) const {
    if (node(index).kind != TamRixOutline::KIND_MINUS) return false;
    const Node& zero = node(child(index, 0));
    return zero.kind == TamRixOutline::KIND_LITERAL && zero.begin.offset == zero.end.offset;
  }

  static bool combinable(NodeKind kind, ValueType left, ValueType right) {
    const bool plus = kind == TamRixOutline::KIND_PLUS;
    const auto usable = [&](ValueType type) {
      return type == TamValue::VT_UNSET || isNumber(type) || (plus && type == TamValue::VT_STRING);
    };
    if (!usable(left) || !usable(right)) return false;
    if (left == TamValue::VT_UNSET || right == TamValue::VT_UNSET) return true;
    return (isNumber(left) && isNumber(right)) || (left == right);
  }

  void judgeArithmetic(int index) {
    const NodeKind kind = node(index).kind;
    const int leftIndex = child(index, 0);
    const int rightIndex = child(index, 1);
    const Typed left = typed(leftIndex);
    const Typed right = typed(rightIndex);
    if (kind == TamRixOutline::KIND_DIVIDE && right.constant && right.constant->type() != TamValue::VT_UNSET) {
      bool zero = false;
      if (right.type == TamValue::VT_INT) zero = right.constant->intValue() == 0;
      if (right.type == TamValue::VT_REAL) zero = right.constant->realValue() == 0.0;
      if (zero) {
        add(rightIndex, kValuePriority, Diagnostic::error(placeOf(rightIndex), "division by zero"));
        return;
      }
    }
    if (!combinable(kind, left.type, right.type)) {
      const std::string op = operatorText(kind);
      std::string message;
      if (isPrefixMinus(index)) {
        message = "invalid operand to prefix '-': " + describe(right);
      } else if (left.known() && right.known()) {
        message = "invalid operands to '" + op + "': " + describe(left) + " and " + describe(right);
        if ((left.type == TamValue::VT_STRING && isNumber(right.type)) ||
            (right.type == TamValue::VT_STRING && isNumber(left.type))) {
          message += " (there is no conversion between numbers and text)";
        }
      } else {
        message = "invalid operand to '" + op + "': " + describe(left.known() ? left : right);
      }
      // The operand that cannot take part at all, else the right one, which does not match.
      const auto unusable = [&](ValueType type) { return !combinable(kind, type, type); };
      const int at = unusable(left.type) && !unusable(right.type) ? leftIndex : rightIndex;
      add(index, kValuePriority,
          Diagnostic::error(isPrefixMinus(index) ? placeOf(index) : placeOf(at), message));
      return;
    }
    Typed& result = typed(index);
    if (left.constant && right.constant) {
      try {
        switch (kind) {
          case TamRixOutline::KIND_PLUS:
            result.constant = left.constant + right.constant;
            break;
          case TamRixOutline::KIND_MINUS:
            result.constant = left.constant - right.constant;
            break;
          case TamRixOutline::KIND_MULTIPLY:
            result.constant = left.constant * right.constant;
            break;
          default:
            result.constant = left.constant / right.constant;
            break;
        }
        result.type = result.constant->type();
      } catch (const TamException&) {
        result = Typed();
      }
      return;
    }
    if (!left.known() || !right.known()) return;
    if (left.type == TamValue::VT_STRING) {
      result.type = TamValue::VT_STRING;
    } else {
      result.type = left.type == TamValue::VT_INT && right.type == TamValue::VT_INT
                        ? TamValue::VT_INT
                        : TamValue::VT_REAL;
    }
  }

  // "; write 3.0" for an integer where a real is meant, and the reverse when it is whole.
  static std::string rewriteHint(const Typed& constant, ValueType wanted) {
    if (!constant.constant) return "";
    if (wanted == TamValue::VT_REAL && constant.type == TamValue::VT_INT) {
      return "; write " + std::to_string(constant.constant->intValue()) + ".0";
    }
    return "";
  }

  void judgeEquality(int index) {
    typed(index).type = TamValue::VT_BOOL;
    const int leftIndex = child(index, 0);
    const int rightIndex = child(index, 1);
    const Typed left = typed(leftIndex);
    const Typed right = typed(rightIndex);
    if (!left.known() || !right.known()) return;
    const std::string always = node(index).kind == TamRixOutline::KIND_EQ ? "false" : "true";
    const int at = right.constant || !left.constant ? rightIndex : leftIndex;
    if (left.type != right.type) {
      std::string message = "comparison of " + describe(left) + " with " + describe(right);
      if (isNumber(left.type) && isNumber(right.type)) {
        // An integer never equals a real. (An option may hold a value of the other kind where
        // its allowed values let one in, so the claim is about the values of its own kind.)
        const Typed& option = left.option ? left : right;
        message += " is " + always + " for any " + kindWord(option.type) + " value" +
                   " (an integer never equals a real" +
                   rewriteHint(left.constant ? left : right,
                               left.constant ? right.type : left.type) +
                   ")";
      } else {
        message += " is always " + always;
      }
      Diagnostic diagnostic = Diagnostic::error(placeOf(at), message);
      add(index, kValuePriority, diagnostic);
      return;
    }
    const Typed& optionSide = left.option ? left : right;
    const Typed& constantSide = left.constant ? left : right;
    if (!optionSide.option || !constantSide.constant) return;
    if (allows(optionSide.option, constantSide.constant)) return;
    Diagnostic diagnostic = Diagnostic::error(
        placeOf(at), "comparison is always " + always + ": value " +
                         valueText(constantSide.constant) + " is not allowed for " +
                         optionName(optionSide.option) + " (allowed: " +
                         allowedText(optionSide.option) + ")" +
                         suggestValue(optionSide.option, constantSide.constant, budget()));
    noteAllowedValues(*context_.adapter, optionSide.option, diagnostic);
    add(index, kValuePriority, diagnostic);
  }

  void judgeOrdering(int index) {
    typed(index).type = TamValue::VT_BOOL;
    const int leftIndex = child(index, 0);
    const int rightIndex = child(index, 1);
    const Typed left = typed(leftIndex);
    const Typed right = typed(rightIndex);
    const std::string op = operatorText(node(index).kind);
    if (left.type == TamValue::VT_BOOL || right.type == TamValue::VT_BOOL) {
      const int at = left.type == TamValue::VT_BOOL ? leftIndex : rightIndex;
      add(index, kValuePriority,
          Diagnostic::error(placeOf(at), "invalid operand to '" + op + "': " +
                                             describe(typed(at)) +
                                             " (true and false have no order)"));
      return;
    }
    if (!left.known() || !right.known()) return;
    if ((isNumber(left.type) && isNumber(right.type)) || left.type == right.type) return;
    add(index, kValuePriority,
        Diagnostic::error(placeOf(right.constant || !left.constant ? rightIndex : leftIndex),
                          "invalid operands to '" + op + "': " + describe(left) + " and " +
                              describe(right) + " (numbers and text have no common order)"));
  }

  void judgeSet(int index) {
    const ref_count_ptr<TamOption>& target = resolved_[static_cast<std::size_t>(child(index, 0))];
    if (!target) return;
    const ValueType wanted = valueTypeOf(target);
    const int valueIndex = child(index, 1);
    const Typed value = typed(valueIndex);
    if (wanted == TamValue::VT_UNSET || !value.known()) return;
    const std::string targetText = typeWord(wanted) + " option " + optionName(target);
    const SourcePlace place = placeOf(valueIndex);
    if (value.type == wanted) {
      if (!value.constant || allows(target, value.constant)) return;
      Diagnostic diagnostic = Diagnostic::error(
          place, "value " + valueText(value.constant) + " is not allowed for " +
                     optionName(target) + " (allowed: " + allowedText(target) + ")" +
                     suggestValue(target, value.constant, budget()));
      noteAllowedValues(*context_.adapter, target, diagnostic);
      add(valueIndex, kValuePriority, diagnostic);
      return;
    }
    // An integer in a real option is accepted where the option's values allow it, and stays an
    // integer: a later comparison with the real of the same number is false.
    if (wanted == TamValue::VT_REAL && value.type == TamValue::VT_INT &&
        (!value.constant || allows(target, value.constant))) {
      const std::string consequence =
          value.constant ? " (" + valueText(value.constant) + " = " +
                               valueText(value.constant) + ".0 is false)"
                         : " (an integer never equals a real)";
      add(valueIndex, kValuePriority,
          Diagnostic::warning(place, targetText + " is set to " + describe(value, true) +
                                         ", which stays an integer" + consequence +
                                         rewriteHint(value, wanted)));
      return;
    }
    Diagnostic diagnostic = Diagnostic::error(
        place, "cannot set " + targetText + " to " + describe(value, true) +
                   (value.constant && isNumber(value.type) && isNumber(wanted)
                        ? " (allowed: " + allowedText(target) + rewriteHint(value, wanted) + ")"
                        : ""));
    noteAllowedValues(*context_.adapter, target, diagnostic);
    add(valueIndex, kValuePriority, diagnostic);
  }

  // The option a mutually exclusive rule names, among the module's options and the options its
  // rules set; a problem is added when there is none or it is not a string option.
  ref_count_ptr<TamOption> exclusiveOption(int reference) {
    const Node& name = node(reference);
    auto set = setTargets_.find(name.optionName);
    if (set != setTargets_.end()) return checkString(reference, set->second);
    ref_count_ptr<TamModule> module;
    try {
      module = context_.window->getModule(context_.ownerModule);
      return checkString(reference, module->getOption(name.optionName));
    } catch (const TamException&) {
      // Reported below, unless its declaration failed.
    }
    if (failedElsewhere(context_.ownerModule, name.optionName)) return nullptr;
    add(reference, kReferencePriority,
        Diagnostic::error(placeOf(name.optionNamePos, name.optionName.size()),
                          "the mutually exclusive rule names " + quote(name.optionName) +
                              ", which module " + quote(context_.ownerModule) +
                              " does not declare" +
                              didYouMean(name.optionName, optionNamesOf(context_.ownerModule),
                                         budget())));
    return nullptr;
  }

  ref_count_ptr<TamOption> checkString(int reference, const ref_count_ptr<TamOption>& option) {
    const ValueType type = valueTypeOf(option);
    if (type == TamValue::VT_UNSET || type == TamValue::VT_STRING) return option;
    const Node& name = node(reference);
    Diagnostic diagnostic = Diagnostic::error(
        placeOf(name.optionNamePos, name.optionName.size()),
        optionName(option) + " is " + withArticle(typeWord(type)) +
            " option: mutually exclusive rules look only at string options, so this name is "
            "never checked");
    noteDeclaration(*context_.adapter, option, optionName(option) + " is declared here",
                    diagnostic);
    add(reference, kValuePriority, diagnostic);
    return nullptr;
  }

  void judgeExclusive(int index, std::size_t step) {
    if (context_.ownerModule.empty()) return;
    const std::vector<int>& children = node(index).children;
    for (std::size_t i = 0; i < children.size(); i += step) {
      const ref_count_ptr<TamOption> option = exclusiveOption(children[i]);
      if (!option || step == 1 || i + 1 >= children.size()) continue;
      const int valueIndex = children[i + 1];
      const ref_count_ptr<TamValue>& value = node(valueIndex).value;
      if (!value || valueTypeOf(option) != TamValue::VT_STRING || allows(option, value)) continue;
      const std::string suggestion =
          closestName(value->strValue(), allowedStrings(option), budget());
      Diagnostic diagnostic = Diagnostic::error(
          placeOf(valueIndex),
          "value " + quote(value->strValue()) + " is not allowed for " + optionName(option) +
              " (allowed: " + allowedText(option) + "), so this pair is never selected" +
              (suggestion.empty() ? "" : "; did you mean " + quote(suggestion) + "?"));
      noteAllowedValues(*context_.adapter, option, diagnostic);
      add(valueIndex, kValuePriority, diagnostic);
    }
  }

  // The first problem of each statement, references first; then the rules never read.
  std::vector<Diagnostic> chosen() {
    std::map<int, const Problem*> first;
    for (const Problem& problem : problems_) {
      auto it = first.find(problem.owner);
      if (it == first.end() || problem.priority < it->second->priority ||
          (problem.priority == it->second->priority && problem.offset < it->second->offset)) {
        first[problem.owner] = &problem;
      }
    }
    std::vector<const Problem*> kept;
    for (const auto& entry : first) kept.push_back(entry.second);
    std::sort(kept.begin(), kept.end(),
              [](const Problem* a, const Problem* b) { return a->offset < b->offset; });
    std::vector<Diagnostic> diagnostics;
    for (const Problem* problem : kept) diagnostics.push_back(problem->diagnostic);
    if (outline_.stoppedEarly()) diagnostics.push_back(strayTerminator());
    return diagnostics;
  }

  Diagnostic strayTerminator() const {
    const TamSourcePos stop = outline_.stopPosition();
    const std::string rest = outline_.text().substr(stop.offset);
    std::string keyword = "endif";
    for (const char* word : {"endif", "elif", "else"}) {
      if (rest.compare(0, std::char_traits<char>::length(word), word) == 0) keyword = word;
    }
    Diagnostic diagnostic = Diagnostic::error(
        context_.place(stop.offset, stop.offset + keyword.size()),
        "'" + keyword + "' with no open 'if': the rules after it are never read");
    // The if the writer probably meant to close here is the last one before it, closed already.
    const Node* lastIf = nullptr;
    for (const Node& current : nodes_) {
      if (current.kind == TamRixOutline::KIND_IF && current.parent == outline_.top() &&
          current.endifPos.isKnown() && current.endifPos.offset < stop.offset) {
        lastIf = &current;
      }
    }
    if (lastIf != nullptr) {
      diagnostic.note(context_.place(lastIf->endifPos.offset, lastIf->endifPos.offset + 5),
                      "the 'if' before it is closed here");
    }
    return diagnostic;
  }

  const TamRixOutline& outline_;
  const RuleCheckContext& context_;
  const std::vector<Node>& nodes_;
  std::vector<int> owner_;
  std::vector<ref_count_ptr<TamOption>> resolved_;
  std::vector<Typed> typed_;
  std::vector<Problem> problems_;
  std::map<std::string, ref_count_ptr<TamOption>> setTargets_;
  std::vector<std::string> moduleIds_;
  std::map<std::string, std::vector<std::string>> optionNames_;
};

}  // namespace

std::vector<Diagnostic> checkRuleOutline(const TamRixOutline& outline,
                                         const RuleCheckContext& context) {
  if (context.budget == nullptr) {
    SuggestionBudget budget;
    RuleCheckContext withBudget = context;
    withBudget.budget = &budget;
    return Checker(outline, withBudget).run();
  }
  return Checker(outline, context).run();
}

bool noteDeclaration(FileAdapter& adapter, const ref_count_ptr<TamOption>& option,
                     const std::string& message, Diagnostic& diagnostic) {
  const ModuleLine* declaration = adapter.declarationOf(option->moduleId(), option->name());
  const ModuleFile* file = adapter.moduleFile(option->moduleId());
  if (declaration == nullptr || file == nullptr) return false;
  const TamDeclarationOutline::Part name =
      TamDeclarationOutline::read(file->lineText(*declaration)).name();
  diagnostic.note(file->placeInLine(*declaration, name.begin.offset, name.end.offset), message);
  return true;
}

bool noteAllowedValues(FileAdapter& adapter, const ref_count_ptr<TamOption>& option,
                       Diagnostic& diagnostic) {
  ref_count_ptr<TamOption> current = option;
  for (int link = 0; current && link < TamOption::kMaxBaseChain; ++link) {
    const ModuleLine* declaration = adapter.declarationOf(current->moduleId(), current->name());
    const ModuleFile* file = adapter.moduleFile(current->moduleId());
    if (declaration == nullptr || file == nullptr) return false;
    const TamDeclarationOutline outline = TamDeclarationOutline::read(file->lineText(*declaration));
    const std::string message = optionName(current) + " allows " + allowedText(current);
    if (!outline.constraints().empty()) {
      diagnostic.note(file->placeInLine(*declaration, outline.constraints().front().begin.offset,
                                        outline.constraints().back().end.offset),
                      message);
      return true;
    }
    if (current->type() == TamOption::TYPE_DECLARED) {
      diagnostic.note(
          file->placeInLine(*declaration, outline.type().begin.offset, outline.type().end.offset),
          message);
      return true;
    }
    try {
      current = current->basedOn();
    } catch (const TamException&) {
      return false;
    }
  }
  return false;
}
