#include "rules/TamExp.h"

#include <algorithm>
#include <limits>
#include <new>

#include "evaluation/NodeTrace.h"
#include "tam/TamException.h"
#include "tam/TamSelOptionSet.h"
#include "tam/TamWindow.h"

namespace {

const char* const kMutuallyExclusiveRule = "mutually exclusive rule";
const char* const kValueMutuallyExclusiveRule = "option value mutually exclusive rule";
const int kCodeMessageRefused = 500;
const int kCodeMutuallyExclusive = 106;
const int kCodeValueMutuallyExclusive = 107;

std::string dumpOrNull(const TamExp* exp) { return exp ? exp->dump() : std::string("null"); }

}  // namespace

// The innermost statement that knows its line stamps first; outer statements leave it alone.
void TamExp::execute(TamSelOptionSet& sos) const {
  if (tam::detail::NodeTrace* trace = tam::detail::NodeTrace::of(sos)) {
    return executeTraced(sos, *trace);
  }
  try {
    executeNode(sos);
  } catch (TamException& e) {
    if (e.line() == 0) e.setLine(line_);
    throw;
  }
}

// The same, with the observer told which statement runs and which one a failure left.
void TamExp::executeTraced(TamSelOptionSet& sos, tam::detail::NodeTrace& trace) const {
  const tam::detail::NodeTrace::Running running(trace, this);
  try {
    executeNode(sos);
  } catch (TamException& e) {
    if (e.line() == 0) e.setLine(line_);
    trace.ruleFailed(e);
    throw;
  }
}

// Statement lists.

TamExpListExp::~TamExpListExp() {
  for (TamExp* child : children()) delete child;
  if (size_ > 1) delete[] heap_;
}

std::uint32_t TamExpListExp::capacityFor(std::uint32_t size) {
  std::uint32_t capacity = 1;
  while (capacity < size) capacity *= 2;
  return capacity;
}

void TamExpListExp::add(TamExp* child) {
  if (size_ == 0) {
    first_ = child;
  } else if (size_ < capacityFor(size_)) {
    heap_[size_] = child;
  } else {
    if (size_ > std::numeric_limits<std::uint32_t>::max() / 2) throw std::bad_alloc();
    const std::uint32_t capacity = size_ * 2;
    auto* grown = new TamExp*[capacity];  // may throw: nothing changed
    std::copy(data(), data() + size_, grown);
    grown[size_] = child;
    if (size_ > 1) delete[] heap_;
    heap_ = grown;
  }
  ++size_;
}

void TamExpListExp::executeNode(TamSelOptionSet& sos) const {
  for (const TamExp* child : children()) child->execute(sos);
}

std::string TamExpListExp::dump() const {
  std::string text = "[";
  const Children all = children();
  for (size_t i = 0; i < all.size(); ++i) {
    if (i > 0) text += "; ";
    text += all[i]->dump();
  }
  return text + "]";
}

// If statements. An elif chain is a TamIfExp in the else part of another and may be thousands of
// links long, so destroying, running and printing a chain all loop over its links.

// Walks the elif chain link by link without allocating (a destructor must not fail): each link
// is cut from the chain before it is deleted, so deleting it frees only its condition and its
// then part, whose nesting the parser bounds.
TamIfExp::~TamIfExp() {
  delete condition_;
  delete thenExp_;
  TamExp* next = elseExp_;
  while (auto* link = dynamic_cast<TamIfExp*>(next)) {
    next = link->elseExp_;
    link->elseExp_ = nullptr;
    delete link;
  }
  delete next;
}

std::uint32_t TamIfExp::endifOffset() const {
  static constexpr std::uint32_t kEndifLength = 5;  // the keyword "endif" ends every if
  return endOffset() == TamSourcePos::kNoOffset ? TamSourcePos::kNoOffset
                                                : endOffset() - kEndifLength;
}

void TamIfExp::setElse(TamExp* elseExp) {
  if (elseExp == elseExp_) return;
  TamExp* old = elseExp_;
  elseExp_ = elseExp;
  delete old;
}

// Runs this if and every if it chooses as its branch in one loop. A failure inside a link is
// stamped with the line of the innermost link entered that has one, which is what the nested
// execute() calls would do: each entered link stamps in turn from the inside out, and only the
// first non-zero line sticks. This node's own line is stamped by execute().
void TamIfExp::executeNode(TamSelOptionSet& sos) const {
  const TamIfExp* link = this;
  int stampLine = 0;  // line of the innermost entered link below this one that has a line
  tam::detail::NodeTrace* trace = tam::detail::NodeTrace::of(sos);
  try {
    for (;;) {
      if (trace != nullptr) trace->enterLink(link);
      ref_count_ptr<TamValue> value = link->condition_->evaluate(sos);
      if (value->type() != TamValue::VT_BOOL) return;  // Unset or another kind: no branch
      const TamExp* branch = value->boolValue() ? link->thenExp_ : link->elseExp_;
      if (branch == nullptr) return;
      const auto* next = dynamic_cast<const TamIfExp*>(branch);
      if (next == nullptr) {
        branch->execute(sos);
        return;
      }
      link = next;
      if (link->line() != 0) stampLine = link->line();
    }
  } catch (TamException& e) {
    if (e.line() == 0) e.setLine(stampLine);
    throw;
  }
}

std::string TamIfExp::dump() const {
  std::string text;
  size_t open = 0;
  const TamExp* exp = this;
  while (const auto* link = dynamic_cast<const TamIfExp*>(exp)) {
    text += "if(" + link->condition_->dump() + ", " + dumpOrNull(link->thenExp_) + ", ";
    ++open;
    exp = link->elseExp_;
  }
  text += dumpOrNull(exp);
  text.append(open, ')');
  return text;
}

// set and fix statements.

TamSetExp::~TamSetExp() {
  delete optionExp_;
  delete valueExp_;
}

void TamSetExp::executeNode(TamSelOptionSet& sos) const {
  TamSelOptionSet::TamSosEntry entry;
  entry.option = optionExp_->resolve(sos.window());
  entry.values.push_back(valueExp_->evaluate(sos));
  entry.howSet.push_back(fix_ ? TamSelOptionSet::HOWSET_FIX : TamSelOptionSet::HOWSET_SET);
  entry.path = optionExp_->path();
  sos.set(entry);
}

std::string TamSetExp::dump() const {
  return std::string(fix_ ? "fix(" : "set(") + optionExp_->dump() + ", " + valueExp_->dump() + ")";
}

// Messages: the host sees the text and may refuse it, which stops the rules.

TamMsgExp::~TamMsgExp() { delete textExp_; }

void TamMsgExp::executeNode(TamSelOptionSet& sos) const {
  const std::string text = textExp_->evaluate(sos)->displayString();
  ref_count_ptr<TamWindow> window = sos.window();
  TamNode* node = window ? window->currentlyEvaluating() : nullptr;
  const bool accepted = Tam::adapterInterface()->userMsg(window.get(), severity_, text, node);
  if (tam::detail::NodeTrace* trace = tam::detail::NodeTrace::of(sos)) {
    trace->message(severity_, text, accepted);
  }
  if (!accepted) throw TamException(kCodeMessageRefused, "", "", "");
}

std::string TamMsgExp::dump() const {
  const char* name = "inform";
  if (severity_ == Tam::MSG_WARN) name = "warn";
  if (severity_ == Tam::MSG_ERROR) name = "error";
  return std::string(name) + "(" + textExp_->dump() + ")";
}

// Mutually exclusive options: the listed options hold at most one value in total. Options are
// found by name alone among the String options that hold a value; each one found becomes
// mutually exclusive, so later set statements replace its value instead of adding to it.

TamMEExp::~TamMEExp() {
  for (TamOptionExp* option : options_) delete option;
}

void TamMEExp::executeNode(TamSelOptionSet& sos) const {
  size_t count = 0;
  std::string first;
  std::string second;
  for (const TamOptionExp* reference : options_) {
    if (count >= 2) break;
    ref_count_ptr<TamOption> option = sos.getOption(std::string(reference->optionName()));
    if (!option) continue;
    option->setMutuallyExclusive(true);
    if (count == 0) first = option->name();
    second = option->name();
    count += sos.get(option).values.size();
    if (count <= 1) continue;
    if (tam::detail::NodeTrace* trace = tam::detail::NodeTrace::of(sos)) {
      trace->optionConflict(sos, first, second);
    }
    throw TamException(kCodeMutuallyExclusive, kMutuallyExclusiveRule, first, second);
  }
}

std::string TamMEExp::dump() const {
  std::string text = "me[";
  for (size_t i = 0; i < options_.size(); ++i) {
    if (i > 0) text += ", ";
    text += options_[i]->optionName();
  }
  return text + "]";
}

// Mutually exclusive option values: at most one of the listed name.value pairs is selected.

TamValueMEExp::~TamValueMEExp() {
  for (TamOptionExp* option : options_) delete option;
  for (TamValueExp* value : valueExps_) delete value;
}

void TamValueMEExp::executeNode(TamSelOptionSet& sos) const {
  int count = 0;
  std::string firstMatch;
  size_t firstPair = 0;
  std::string firstText;
  const size_t pairs = std::min(options_.size(), valueExps_.size());
  for (size_t i = 0; i < pairs; ++i) {
    const std::string name(options_[i]->optionName());
    const std::string text = valueExps_[i]->evaluate(sos)->displayString();
    const std::string description = name + "." + text;
    if (!sos.matchValue(name, text)) continue;
    if (++count == 1) {
      firstMatch = description;
      firstPair = i;
      firstText = text;
    }
    if (count > 1) {
      if (tam::detail::NodeTrace* trace = tam::detail::NodeTrace::of(sos)) {
        trace->valueConflict(sos, std::string(options_[firstPair]->optionName()), firstText, name,
                             text);
      }
      throw TamException(kCodeValueMutuallyExclusive, kValueMutuallyExclusiveRule, firstMatch,
                         description);
    }
  }
}

std::string TamValueMEExp::dump() const {
  std::string text = "valueme{";
  const size_t pairs = std::min(options_.size(), valueExps_.size());
  for (size_t i = 0; i < pairs; ++i) {
    if (i > 0) text += ", ";
    const auto* literal = dynamic_cast<const TamLiteralValueExp*>(valueExps_[i]);
    text += std::string(options_[i]->optionName()) + "." +
            (literal ? literal->value()->displayString() : valueExps_[i]->dump());
  }
  return text + "}";
}
