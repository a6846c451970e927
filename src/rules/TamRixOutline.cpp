// Outlines of parsed rules and conditions: the tree the rule parser built, walked once with an
// explicit work list (elif chains and operator chains may be far deeper than the stack allows)
// and copied into a flat vector of nodes with their places.
#include "tam/TamRixOutline.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>

#include "rix/SyntaxError.h"
#include "rix/TamLexer.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"
#include "rules/TamOptionExp.h"
#include "rules/TamValueExp.h"
#include "tam/TamConditionExp.h"
#include "tam/TamException.h"
#include "tam/TamExpRoot.h"

namespace {

using Value = ref_count_ptr<TamValue>;
using Kind = TamRixOutline::Kind;

template <class T>
bool isA(const TamValueExp* exp) {
  return dynamic_cast<const T*>(exp) != nullptr;
}

template <template <class> class Test>
using Comparison = TamLogicalValueExp<Test<Value>>;

// The kind of every two-operand node, one entry per node class.
struct OperatorKind {
  Kind kind;
  bool (*matches)(const TamValueExp*);
};
const OperatorKind kOperators[] = {
    {TamRixOutline::KIND_PLUS, isA<TamPlusValueExp>},
    {TamRixOutline::KIND_MINUS, isA<TamMinusValueExp>},
    {TamRixOutline::KIND_MULTIPLY, isA<TamMultipliesValueExp>},
    {TamRixOutline::KIND_DIVIDE, isA<TamDividesValueExp>},
    {TamRixOutline::KIND_EQ, isA<Comparison<std::equal_to>>},
    {TamRixOutline::KIND_NE, isA<Comparison<std::not_equal_to>>},
    {TamRixOutline::KIND_LT, isA<Comparison<std::less>>},
    {TamRixOutline::KIND_GT, isA<Comparison<std::greater>>},
    {TamRixOutline::KIND_LE, isA<Comparison<std::less_equal>>},
    {TamRixOutline::KIND_GE, isA<Comparison<std::greater_equal>>},
    {TamRixOutline::KIND_AND, isA<TamAndValueExp>},
    {TamRixOutline::KIND_OR, isA<TamOrValueExp>},
};

// The name of every kind, in Kind order; operators and "not" are named as the parsed nodes print
// themselves, so that dumpTree() gives the nodes' own form.
const char* const kKindNames[] = {
    "statements", "if", "set", "fix", "message", "exclusive_options", "exclusive_values",
    "literal", "option_value", "reference", "plus", "minus", "multiplies", "divides", "eq", "ne",
    "lt", "gt", "le", "ge", "and", "or", "not"};
static_assert(std::size(kKindNames) == TamRixOutline::KIND_NOT + 1, "one name per kind");

std::string literalText(const Value& value) {
  switch (value->type()) {
    case TamValue::VT_UNSET:
      return "unset";
    case TamValue::VT_STRING:
      return "\"" + value->displayString() + "\"";
    default:
      return value->displayString();
  }
}

// A literal on one line: line feeds, carriage returns and tabs shown as escapes.
std::string literalLine(const Value& value) {
  std::string text = literalText(value);
  tam::detail::replaceAll(text, "\n", "\\n");
  tam::detail::replaceAll(text, "\r", "\\r");
  tam::detail::replaceAll(text, "\t", "\\t");
  return text;
}

std::string placeText(const TamSourcePos& place) {
  if (!place.isKnown()) return "?";
  return std::to_string(place.line) + ":" + std::to_string(place.column);
}

// "module:option[path]"; the names of mutually exclusive rules have no module, while a written
// empty module id ('':a) keeps its colon, as the parsed nodes print it. The compact form leaves
// out an empty path, as the parsed nodes do; the printed form shows every path written.
std::string referenceText(const TamRixOutline::Node& node, bool compact) {
  const bool hasModule = !node.moduleId.empty() || node.moduleIdPos.isKnown();
  std::string text = hasModule ? node.moduleId + ":" + node.optionName : node.optionName;
  const bool written = compact ? !node.path.isEmpty() : node.pathBegin.isKnown();
  if (written) text += "[" + node.path.toDisplayString() + "]";
  return text;
}

const char* severityName(Tam::MsgSeverity severity) {
  if (severity == Tam::MSG_WARN) return "warn";
  if (severity == Tam::MSG_ERROR) return "error";
  return "inform";
}

}  // namespace

// Copies a tree into the outline's node vector. Each work item is one parsed node with the slot
// of its parent's children it fills; children are queued in reverse so that they are taken, and
// numbered, in text order.
class TamRixOutline::Builder {
 public:
  explicit Builder(TamRixOutline& outline) : outline_(outline) {}

  void addStatement(const TamExp* exp) { run(Item{exp, nullptr, nullptr, -1, 0}); }
  void addValue(const TamValueExp* exp) { run(Item{nullptr, exp, nullptr, -1, 0}); }

 private:
  struct Item {
    const TamExp* statement;
    const TamValueExp* value;
    const TamOptionExp* reference;
    int parent;
    size_t slot;
  };

  void run(Item first) {
    pending_.push_back(first);
    while (!pending_.empty()) {
      Item item = pending_.back();
      pending_.pop_back();
      const int index = static_cast<int>(outline_.nodes_.size());
      outline_.nodes_.emplace_back();
      outline_.nodes_.back().parent = item.parent;
      if (item.parent < 0) {
        outline_.top_ = index;
      } else {
        outline_.nodes_[static_cast<size_t>(item.parent)].children[item.slot] = index;
      }
      if (item.statement) addStatement(index, item.statement);
      if (item.value) addValue(index, item.value);
      if (item.reference) addReference(index, *item.reference);
    }
  }

  Node& node(int index) { return outline_.nodes_[static_cast<size_t>(index)]; }
  TamSourcePos place(uint32_t offset) const {
    return offset == TamSourcePos::kNoOffset ? TamSourcePos() : outline_.lines_.position(offset);
  }

  // Gives the node its children slots (-1 until filled) and queues the ones present.
  void queue(int index, std::initializer_list<Item> children) {
    node(index).children.assign(children.size(), -1);
    size_t slot = children.size();
    for (auto it = children.end(); it != children.begin();) {
      --it;
      --slot;
      if (it->statement == nullptr && it->value == nullptr && it->reference == nullptr) continue;
      Item child = *it;
      child.parent = index;
      child.slot = slot;
      pending_.push_back(child);
    }
  }
  template <class Exps, class MakeItem>
  void queueAll(int index, const Exps& exps, MakeItem makeItem) {
    node(index).children.assign(exps.size(), -1);
    for (size_t slot = exps.size(); slot-- > 0;) {
      Item child = makeItem(exps[slot]);
      child.parent = index;
      child.slot = slot;
      pending_.push_back(child);
    }
  }
  static Item statementItem(const TamExp* exp) { return Item{exp, nullptr, nullptr, -1, 0}; }
  static Item valueItem(const TamValueExp* exp) { return Item{nullptr, exp, nullptr, -1, 0}; }
  static Item referenceItem(const TamOptionExp* exp) { return Item{nullptr, nullptr, exp, -1, 0}; }

  void addStatement(int index, const TamExp* exp) {
    node(index).begin = place(exp->beginOffset());
    node(index).end = place(exp->endOffset());
    node(index).exceptionLine = exp->line();
    if (const auto* list = dynamic_cast<const TamExpListExp*>(exp)) {
      node(index).kind = KIND_STATEMENTS;
      queueAll(index, list->children(), statementItem);
    } else if (const auto* ifExp = dynamic_cast<const TamIfExp*>(exp)) {
      node(index).kind = KIND_IF;
      node(index).elsePos = place(ifExp->elseOffset());
      node(index).endifPos = place(ifExp->endifOffset());
      queue(index, {valueItem(ifExp->condition()), statementItem(ifExp->thenPart()),
                    statementItem(ifExp->elsePart())});
    } else if (const auto* set = dynamic_cast<const TamSetExp*>(exp)) {
      node(index).kind = set->isFix() ? KIND_FIX : KIND_SET;
      queue(index, {referenceItem(set->option()), valueItem(set->value())});
    } else if (const auto* message = dynamic_cast<const TamMsgExp*>(exp)) {
      node(index).kind = KIND_MESSAGE;
      node(index).severity = message->severity();
      queue(index, {valueItem(message->text())});
    } else if (const auto* options = dynamic_cast<const TamMEExp*>(exp)) {
      node(index).kind = KIND_EXCLUSIVE_OPTIONS;
      queueAll(index, options->options(), referenceItem);
    } else if (const auto* values = dynamic_cast<const TamValueMEExp*>(exp)) {
      node(index).kind = KIND_EXCLUSIVE_VALUES;
      std::vector<Item> pairs;
      const size_t count = std::min(values->options().size(), values->values().size());
      for (size_t i = 0; i < count; ++i) {
        pairs.push_back(referenceItem(values->options()[i]));
        pairs.push_back(valueItem(values->values()[i]));
      }
      queueAll(index, pairs, [](const Item& item) { return item; });
    }
  }

  void addValue(int index, const TamValueExp* exp) {
    node(index).begin = place(exp->beginOffset());
    node(index).end = place(exp->endOffset());
    if (const auto* literal = dynamic_cast<const TamLiteralValueExp*>(exp)) {
      node(index).kind = KIND_LITERAL;
      node(index).value = literal->value();
    } else if (const auto* option = dynamic_cast<const TamOptionValueExp*>(exp)) {
      node(index).kind = KIND_OPTION_VALUE;
      queue(index, {referenceItem(option->optionExp())});
    } else if (const auto* negation = dynamic_cast<const TamNotValueExp*>(exp)) {
      node(index).kind = KIND_NOT;
      queue(index, {valueItem(negation->operand())});
    } else if (const auto* binary = dynamic_cast<const TamBinaryValueExp*>(exp)) {
      for (const OperatorKind& op : kOperators) {
        if (op.matches(exp)) node(index).kind = op.kind;
      }
      queue(index, {valueItem(binary->left()), valueItem(binary->right())});
    }
  }

  void addReference(int index, const TamOptionExp& reference) {
    Node& n = node(index);
    n.kind = KIND_OPTION_REFERENCE;
    n.begin = place(reference.beginOffset());
    n.end = place(reference.endOffset());
    n.moduleId = reference.moduleId();
    n.optionName = reference.optionName();
    n.path = reference.path();
    n.moduleIdPos = place(reference.moduleIdOffset());
    n.optionNamePos = place(reference.optionNameOffset());
    n.pathBegin = place(reference.pathBeginOffset());
    n.pathEnd = place(reference.pathEndOffset());
  }

  TamRixOutline& outline_;
  std::vector<Item> pending_;
};

TamRixOutline::TamRixOutline(const std::string& text) : text_(text), lines_(text_) {}

// A text that does not parse is outlined only once the failure is known, so that a text that
// does is indexed once, by fromRoot.
TamRixOutline TamRixOutline::fromRules(const std::string& rules) {
  TamLexer::Failure failure;
  try {
    return fromRoot(*TamRuleParser(rules, &failure).parseRules());
  } catch (const TamSyntaxError&) {
  }
  TamRixOutline outline(rules);
  outline.failed_ = true;
  outline.failure_ = tam::detail::publicFailure(failure, outline.lines_);
  return outline;
}

TamRixOutline TamRixOutline::fromCondition(const std::string& condition) {
  TamLexer::Failure failure;
  try {
    return fromRoot(*TamRuleParser(condition, &failure).parseCondition());
  } catch (const TamSyntaxError&) {
  }
  TamRixOutline outline(condition);
  outline.failed_ = true;
  outline.failure_ = tam::detail::publicFailure(failure, outline.lines_);
  return outline;
}

TamRixOutline TamRixOutline::fromRoot(const TamExpRoot& root) {
  TamRixOutline outline(root.rix());
  if (root.body() != nullptr) Builder(outline).addStatement(root.body());
  if (root.stopOffset() != TamSourcePos::kNoOffset) {
    outline.stopPosition_ = outline.lines_.position(root.stopOffset());
  }
  return outline;
}

TamRixOutline TamRixOutline::fromRoot(const TamConditionExp& condition) {
  TamRixOutline outline(condition.rix());
  if (condition.condition() != nullptr) Builder(outline).addValue(condition.condition());
  return outline;
}

const char* TamRixOutline::kindName(Kind kind) { return kKindNames[kind]; }

// A walk with an explicit stack of (node, depth); an absent part of an if prints as "none".
std::string TamRixOutline::print() const {
  std::string text;
  std::vector<std::pair<int, size_t>> pending;
  if (top_ >= 0) pending.emplace_back(top_, 0);
  while (!pending.empty()) {
    const int index = pending.back().first;
    const size_t depth = pending.back().second;
    pending.pop_back();
    text.append(2 * depth, ' ');
    if (index < 0) {
      text += "none\n";
      continue;
    }
    const Node& n = nodes_[static_cast<size_t>(index)];
    text += std::string(kindName(n.kind)) + " " + placeText(n.begin) + "-" + placeText(n.end);
    if (n.kind == KIND_MESSAGE) text += std::string(" ") + severityName(n.severity);
    if (n.kind == KIND_LITERAL) text += " " + literalLine(n.value);
    if (n.kind == KIND_OPTION_REFERENCE) {
      text += " " + referenceText(n, false);
      if (n.moduleIdPos.isKnown()) text += " module@" + placeText(n.moduleIdPos);
      text += " name@" + placeText(n.optionNamePos);
      if (n.pathBegin.isKnown()) {
        text += " path@" + placeText(n.pathBegin) + "-" + placeText(n.pathEnd);
      }
    }
    if (n.kind == KIND_IF) {
      if (n.elsePos.isKnown()) text += " else@" + placeText(n.elsePos);
      text += " endif@" + placeText(n.endifPos);
    }
    if (n.exceptionLine != 0) text += " line " + std::to_string(n.exceptionLine);
    text += "\n";
    for (auto it = n.children.rbegin(); it != n.children.rend(); ++it) {
      pending.emplace_back(*it, depth + 1);
    }
  }
  if (failed_) {
    text += "failure " + (failure_.code.empty() ? std::string("-") : failure_.code) + " \"" +
            failure_.message + "\" at " + placeText(failure_.position) + " after " +
            placeText(failure_.afterPrevious);
    if (failure_.related.isKnown()) text += " related " + placeText(failure_.related);
    text += " line " + std::to_string(failure_.exceptionLine) + "\n";
  }
  if (stoppedEarly()) text += "stopped at " + placeText(stopPosition_) + "\n";
  return text;
}

// The same walk, emitting text pieces: a node prints its opening at once and queues its
// children with the separators and closing between them.
std::string TamRixOutline::dumpTree() const {
  if (top_ < 0) return "null";
  struct Piece {
    int node;          // a node to print, or -2 for text alone
    std::string text;  // printed when node is -2
  };
  const int kText = -2;
  std::string out;
  std::vector<Piece> pending{{top_, std::string()}};
  while (!pending.empty()) {
    Piece piece = pending.back();
    pending.pop_back();
    if (piece.node == kText) {
      out += piece.text;
      continue;
    }
    if (piece.node < 0) {
      out += "null";
      continue;
    }
    const Node& n = nodes_[static_cast<size_t>(piece.node)];
    const auto child = [&n](size_t i) { return n.children[i]; };
    std::vector<Piece> parts;  // in printing order
    switch (n.kind) {
      case KIND_LITERAL:
        out += literalText(n.value);
        continue;
      case KIND_OPTION_REFERENCE:
        out += referenceText(n, true);
        continue;
      case KIND_OPTION_VALUE:
        parts = {{child(0), ""}};
        break;
      case KIND_STATEMENTS:
      case KIND_EXCLUSIVE_OPTIONS:
      case KIND_EXCLUSIVE_VALUES: {
        const bool statements = n.kind == KIND_STATEMENTS;
        out += statements ? "[" : n.kind == KIND_EXCLUSIVE_OPTIONS ? "me[" : "valueme{";
        const size_t step = n.kind == KIND_EXCLUSIVE_VALUES ? 2 : 1;
        for (size_t i = 0; i < n.children.size(); i += step) {
          if (i > 0) parts.push_back({kText, statements ? "; " : ", "});
          parts.push_back({child(i), ""});
          if (step == 2) {
            const Node& literal = nodes_[static_cast<size_t>(child(i + 1))];
            parts.push_back({kText, "." + literal.value->displayString()});
          }
        }
        parts.push_back({kText, n.kind == KIND_EXCLUSIVE_VALUES ? "}" : "]"});
        break;
      }
      case KIND_MESSAGE:
        out += std::string(severityName(n.severity)) + "(";
        parts = {{child(0), ""}, {kText, ")"}};
        break;
      default: {
        out += std::string(kindName(n.kind)) + "(";
        for (size_t i = 0; i < n.children.size(); ++i) {
          if (i > 0) parts.push_back({kText, ", "});
          parts.push_back({child(i), ""});
        }
        parts.push_back({kText, ")"});
        break;
      }
    }
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) pending.push_back(*it);
  }
  return out;
}
