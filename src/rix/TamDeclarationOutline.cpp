// Outlines of option declarations: the declaration parser run in outline mode, which notes what
// it reads instead of building an option.
#include "tam/TamDeclarationOutline.h"

#include "rix/SyntaxError.h"
#include "rix/TamDeclarationParser.h"
#include "tam/TamException.h"
#include "tam/TamWindow.h"

namespace {

std::string placeText(const TamSourcePos& place) {
  if (!place.isKnown()) return "?";
  return std::to_string(place.line) + ":" + std::to_string(place.column);
}

std::string rangeText(const TamSourcePos& begin, const TamSourcePos& end) {
  return placeText(begin) + "-" + placeText(end);
}

std::string valueText(const ref_count_ptr<TamValue>& value) {
  if (value->type() == TamValue::VT_STRING) return "\"" + value->displayString() + "\"";
  return value->displayString();
}

// A constraint in the form it is written in.
std::string constraintText(const ref_count_ptr<TamOptionValue>& constraint) {
  switch (constraint->kind()) {
    case TamOptionValue::KIND_ENUM:
      return valueText(constraint->value());
    case TamOptionValue::KIND_MAX:
      return "< " + valueText(constraint->value());
    case TamOptionValue::KIND_MIN:
      return "> " + valueText(constraint->value());
    case TamOptionValue::KIND_MAX_INC:
      return "<= " + valueText(constraint->value());
    case TamOptionValue::KIND_MIN_INC:
      return ">= " + valueText(constraint->value());
    case TamOptionValue::KIND_RANGE: {
      const TamOptionValue::Range range = constraint->range();
      return valueText(range.first->value()) + " to " + valueText(range.second->value());
    }
    default:
      return "any";
  }
}

void printPart(std::string& out, const char* label, const TamDeclarationOutline::Part& part) {
  if (!part.isPresent()) return;
  out += std::string(label) + " " + rangeText(part.begin, part.end) + " " + part.text + "\n";
}

}  // namespace

TamDeclarationOutline::TamDeclarationOutline(const std::string& text)
    : text_(text), lines_(text_) {}

TamDeclarationOutline TamDeclarationOutline::read(const std::string& declaration) {
  return read(declaration, ref_count_ptr<TamWindow>());
}

TamDeclarationOutline TamDeclarationOutline::read(const std::string& declaration,
                                                  const ref_count_ptr<TamWindow>& window) {
  TamDeclarationOutline outline(declaration);
  TamLexer::Failure failure;
  try {
    TamDeclarationParser(declaration, outline, failure, window.get()).parse();
  } catch (const TamSyntaxError&) {
    outline.failed_ = true;
    outline.failure_ = tam::detail::publicFailure(failure, outline.lines_);
  }
  return outline;
}

TamDeclarationOutline::Part TamDeclarationOutline::part(const std::string& value,
                                                        std::size_t begin,
                                                        std::size_t end) const {
  return Part{value, lines_.position(begin), lines_.position(end)};
}

std::string TamDeclarationOutline::print() const {
  std::string out;
  printPart(out, "scope", scope_);
  printPart(out, "name", name_);
  printPart(out, "type", type_);
  printPart(out, "description", description_);
  printPart(out, "mandatory", mandatory_);
  printPart(out, "non_mutually_exclusive", nonMutuallyExclusive_);
  printPart(out, "base module", base_.moduleId);
  printPart(out, "base option", base_.optionName);
  if (base_.pathBegin.isKnown()) {
    out += "base path " + rangeText(base_.pathBegin, base_.pathEnd) + " " +
           base_.path.toDisplayString() + "\n";
  }
  for (const Constraint& constraint : constraints_) {
    out += "constraint " + rangeText(constraint.begin, constraint.end) + " " +
           constraintText(constraint.constraint) + "\n";
  }
  if (default_.value) {
    out += "default " + placeText(default_.keyword) + " value " +
           rangeText(default_.begin, default_.end) + " " + valueText(default_.value) + "\n";
  }
  if (failed_) {
    out += "failure " + (failure_.code.empty() ? std::string("-") : failure_.code) + " \"" +
           failure_.message + "\" at " + placeText(failure_.position) + " after " +
           placeText(failure_.afterPrevious);
    if (failure_.related.isKnown()) out += " related " + placeText(failure_.related);
    out += "\n";
  }
  return out;
}
