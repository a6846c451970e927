#include "OutlineQueries.h"

namespace {

using Node = TamRixOutline::Node;

const Node& nodeAt(const TamRixOutline& outline, int index) {
  return outline.nodes()[static_cast<std::size_t>(index)];
}

bool isStatement(TamRixOutline::Kind kind) {
  return kind == TamRixOutline::KIND_SET || kind == TamRixOutline::KIND_FIX ||
         kind == TamRixOutline::KIND_MESSAGE || kind == TamRixOutline::KIND_IF;
}

bool isArithmetic(TamRixOutline::Kind kind) {
  return kind == TamRixOutline::KIND_PLUS || kind == TamRixOutline::KIND_MINUS ||
         kind == TamRixOutline::KIND_MULTIPLY || kind == TamRixOutline::KIND_DIVIDE;
}

// The string literal a message text begins with: its leftmost operand.
const Node* leadingString(const TamRixOutline& outline, const Node& message) {
  const Node* operand = &nodeAt(outline, message.children.front());
  while (isArithmetic(operand->kind)) operand = &nodeAt(outline, operand->children.front());
  if (operand->kind != TamRixOutline::KIND_LITERAL) return nullptr;
  if (operand->value->type() != TamValue::VT_STRING) return nullptr;
  return operand;
}

}  // namespace

TamRixOutline rulesOutline(const TamWindow* window, const std::string& moduleId,
                           const std::string& rules) {
  if (window != nullptr) {
    const auto loaded = window->moduleMap().find(moduleId);
    if (loaded != window->moduleMap().end()) return loaded->second->getRix()->outline();
  }
  return TamRixOutline::fromRules(rules);
}

std::vector<const Node*> moduleReferences(const TamRixOutline& outline) {
  std::vector<const Node*> references;
  for (const Node& node : outline.nodes()) {
    if (node.kind == TamRixOutline::KIND_OPTION_REFERENCE && node.moduleIdPos.isKnown()) {
      references.push_back(&node);
    }
  }
  return references;
}

bool statementForLine(const TamRixOutline& outline, int exceptionLine, TamSourcePos& place) {
  const Node* best = nullptr;
  for (const Node& node : outline.nodes()) {
    if (!isStatement(node.kind) || node.exceptionLine != exceptionLine) continue;
    if (best == nullptr || node.end.offset < best->end.offset) best = &node;
  }
  if (best == nullptr) return false;
  place = best->begin;
  return true;
}

bool exclusiveRuleNaming(const TamRixOutline& outline, bool valueForm, const std::string& first,
                         const std::string& second, TamSourcePos& place) {
  const TamRixOutline::Kind kind =
      valueForm ? TamRixOutline::KIND_EXCLUSIVE_VALUES : TamRixOutline::KIND_EXCLUSIVE_OPTIONS;
  const std::size_t step = valueForm ? 2 : 1;  // the value form pairs each name with a value
  for (const Node& rule : outline.nodes()) {
    if (rule.kind != kind) continue;
    bool namesFirst = false;
    bool namesSecond = false;
    for (std::size_t i = 0; i < rule.children.size(); i += step) {
      const std::string& name = nodeAt(outline, rule.children[i]).optionName;
      namesFirst = namesFirst || name == first;
      namesSecond = namesSecond || name == second;
    }
    if (namesFirst && namesSecond) {
      place = rule.begin;
      return true;
    }
  }
  return false;
}

int messageLine(const TamRixOutline& outline, Tam::MsgSeverity severity,
                const std::string& message) {
  const Node* best = nullptr;
  long bestScore = -2;
  bool tie = false;
  for (const Node& candidate : outline.nodes()) {
    if (candidate.kind != TamRixOutline::KIND_MESSAGE || candidate.severity != severity) continue;
    long score = -1;  // a message without a leading literal could print anything
    if (const Node* literal = leadingString(outline, candidate)) {
      const std::string text = literal->value->strValue();
      if (message.compare(0, text.size(), text) != 0) continue;
      score = static_cast<long>(text.size());
    }
    if (score > bestScore) {
      best = &candidate;
      bestScore = score;
      tie = false;
    } else if (score == bestScore) {
      tie = true;
    }
  }
  return best == nullptr || tie ? 0 : best->begin.line;
}
