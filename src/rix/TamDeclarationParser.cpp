// The option declaration grammar, one function per rule:
//
//   declaration := ("public" | "private") name typeWord [string] [":" "mandatory"]
//                  ["non_mutually_exclusive"] typePart
//   typePart    := "presents" reference [path] [D]
//                | ("implements" | "uses") reference ["=" values-by-base-type] [D]
//                | "string" ["=" S] ["default" string]
//                | ("integer" | "real") ["=" list] ["default" N]
//                | "logical" ["default" ("true" | "false")]
//   reference   := moduleId ":" optionName
//   D           := "default" (string | int | real | "true" | "false")
//   N           := ["-"] number
//   list        := constraint {"," constraint}
//   constraint  := "<" N | ">" N | "<=" N | ">=" N | N "to" N | N
//   S           := string {string [","]}
//
// The type word is read before the description and flags but only judged after them, so an
// unknown type word is reported at the token that follows the flags. Each type part checks all
// its syntax and its default before the option is created; constraints, default, description
// and flags are attached afterwards, and only then is leftover input reported.
//
// In outline mode every rule also notes what it read, and where, in the outline (the `if
// (outline_)` lines); that changes nothing read and nothing thrown.
#include "rix/TamDeclarationParser.h"

#include <utility>

#include "model/ConstraintCache.h"
#include "rix/ReferenceRewrite.h"
#include "rix/SyntaxError.h"
#include "tam/Tam.h"
#include "tam/TamModule.h"
#include "tam/TamOptionValue.h"
#include "tam/TamTranslater.h"
#include "tam/TamWindow.h"

namespace {

// The keys under which the unrestricted constraints are shared (ranges are kept under the kind
// of number, a small number, so letters never meet them).
constexpr char kAnyLogical = 'b';
constexpr char kAnyString = 's';
constexpr char kAnyInteger = 'i';
constexpr char kAnyReal = 'r';

TamOptionValue* as(TamOptionValue* constraint) { return constraint; }

bool anyAccepts(const std::vector<ref_count_ptr<TamOptionValue>>& constraints,
                const ref_count_ptr<TamValue>& value) {
  for (const ref_count_ptr<TamOptionValue>& constraint : constraints) {
    if (constraint->accepts(value)) return true;
  }
  return false;
}

}  // namespace

TamDeclarationParser::TamDeclarationParser(std::string_view text, TamModule* module)
    : module_(module), lexer_(text) {}

TamDeclarationParser::TamDeclarationParser(std::string_view text,
                                           TamDeclarationOutline& outline,
                                           TamLexer::Failure& failureRecord, TamWindow* window)
    : module_(nullptr), lexer_(text, &failureRecord), outline_(&outline), window_(window) {}

void TamDeclarationParser::parse() {
  scope_ = parseVisibility();
  name_ = parseOptionName();
  TokenKind typeWord = lexer_.kind();
  if (outline_ && typeWord != TOKEN_END && typeWord != TOKEN_INVALID) {
    outline_->type_ = here(lexer_.tokenText());
  }
  lexer_.next();
  std::string description = parseDescription();
  bool mandatory = parseMandatory();
  bool exclusive = parseExclusivity();
  parseTypePart(typeWord);
  if (option_) {
    option_->setDescription(std::move(description));
    option_->setMandatory(mandatory);
    option_->setMutuallyExclusive(exclusive);
  }
  if (lexer_.kind() != TOKEN_END) raise("SE_extrainput");
}

std::string TamDeclarationParser::translate(const TamTranslater* translater) {
  translater_ = translater;
  lexer_.setRecording(true);
  try {
    parse();
  } catch (...) {
    translater_ = nullptr;
    throw;
  }
  translater_ = nullptr;
  return lexer_.finishRecording();
}

TamOption::Scope TamDeclarationParser::parseVisibility() {
  TokenKind kind = lexer_.kind();
  if (kind != TOKEN_PUBLIC && kind != TOKEN_PRIVATE) raise("SE_pubpriv");
  if (outline_) outline_->scope_ = here(lexer_.tokenText());
  lexer_.next();
  return kind == TOKEN_PUBLIC ? TamOption::SCOPE_PUBLIC : TamOption::SCOPE_PRIVATE;
}

std::string TamDeclarationParser::parseOptionName() {
  if (lexer_.kind() != TOKEN_IDENT) raise("SE_expect_optname");
  std::string name = lexer_.identifierValue();
  if (outline_) outline_->name_ = here(name);
  lexer_.next();
  return name;
}

std::string TamDeclarationParser::parseDescription() {
  if (lexer_.kind() != TOKEN_STRING_LIT) return std::string();
  std::string description = lexer_.stringValue();
  if (outline_) outline_->description_ = here(description);
  lexer_.next();
  return description;
}

bool TamDeclarationParser::parseMandatory() {
  if (lexer_.kind() != TOKEN_COLON) return false;
  lexer_.next();
  if (lexer_.kind() != TOKEN_MANDATORY) raise("SE_unexpected");
  if (outline_) outline_->mandatory_ = here(lexer_.tokenText());
  lexer_.next();
  return true;
}

bool TamDeclarationParser::parseExclusivity() {
  if (lexer_.kind() != TOKEN_NON_MUTUALLY_EXCLUSIVE) return true;
  if (outline_) outline_->nonMutuallyExclusive_ = here(lexer_.tokenText());
  lexer_.next();
  return false;
}

void TamDeclarationParser::parseTypePart(TokenKind typeWord) {
  switch (typeWord) {
    case TOKEN_PRESENTS:
      if (scope_ != TamOption::SCOPE_PUBLIC) raise("SE_pres_public");
      parsePresents();
      break;
    case TOKEN_IMPLEMENTS:
      parseImplementsOrUses(false);
      break;
    case TOKEN_USES:
      parseImplementsOrUses(true);
      break;
    case TOKEN_STRING:
      parseString();
      break;
    case TOKEN_INTEGER:
      parseNumeric(false);
      break;
    case TOKEN_REAL:
      parseNumeric(true);
      break;
    case TOKEN_LOGICAL:
      parseLogical();
      break;
    default:
      raise("SE_expect_opttype");
  }
}

// The base is looked up only after the path and the default, so that a malformed declaration
// never asks the host for a module.
void TamDeclarationParser::parsePresents() {
  Reference reference = parseOptionReference();
  const bool hasPath = lexer_.kind() == TOKEN_LBRACKET;
  const size_t pathAt = lexer_.position();
  TamPath path = tam::detail::readBracketedPath(lexer_);
  if (outline_ && hasPath) {
    outline_->base_.path = path;
    outline_->base_.pathBegin = outline_->lines_.position(pathAt);
    outline_->base_.pathEnd = outline_->lines_.position(lexer_.previousEnd());
  }
  ref_count_ptr<TamValue> defaultValue = parseDefaultClause();
  if (!resolvesBases()) return;
  ref_count_ptr<TamOption> base =
      TamOption::findOption(lookupWindow(), reference.first, reference.second);
  if (defaultValue && !base->validateValue(defaultValue)) raise("SE_invalid_default");
  if (!building()) return;
  option_ = module_->presentOption(name_, base, path);
  attach(Constraints(), defaultValue);
}

// The base's value type decides how an "=" list is read, so the base is looked up right after
// its reference. When translating, no base can be looked up: the rest of the line is copied
// token by token as written. An outline without a window reads the list by what is written, and
// the default; with a window it reads them as the module does, creating nothing.
void TamDeclarationParser::parseImplementsOrUses(bool uses) {
  Reference reference = parseOptionReference();
  if (outline_ && !window_) {
    Constraints constraints;
    if (lexer_.kind() == TOKEN_EQ) {
      lexer_.next();
      parseValuesAsWritten(constraints);
    }
    parseDefaultClause();
    return;
  }
  if (!resolvesBases()) {
    skipToEnd();
    return;
  }
  ref_count_ptr<TamOption> base =
      TamOption::findOption(lookupWindow(), reference.first, reference.second, true);
  Constraints constraints;
  if (lexer_.kind() == TOKEN_EQ) {
    lexer_.next();
    parseBaseValues(base->valueType(), constraints);
  }
  ref_count_ptr<TamValue> defaultValue = parseDefaultClause();
  if (defaultValue && !base->validateValue(defaultValue)) raise("SE_invalid_default");
  if (!building()) return;
  option_ = module_->implementOrUseOption(name_, base, scope_, uses);
  attach(constraints, defaultValue);
}

// Strings when a string is written, numbers when a number or a bound is, and nothing otherwise
// (as for a logical base, which takes no list).
void TamDeclarationParser::parseValuesAsWritten(Constraints& out) {
  switch (lexer_.kind()) {
    case TOKEN_STRING_LIT:
      parseStringList(out);
      break;
    case TOKEN_INT_LIT:
    case TOKEN_REAL_LIT:
    case TOKEN_MINUS:
    case TOKEN_LT:
    case TOKEN_GT:
    case TOKEN_LE:
    case TOKEN_GE:
      parseConstraintList(Number::kAsWritten, out);
      break;
    default:
      break;
  }
}

void TamDeclarationParser::parseString() {
  Constraints constraints;
  if (lexer_.kind() == TOKEN_EQ) {
    lexer_.next();
    parseStringList(constraints);
  }
  ref_count_ptr<TamValue> defaultValue;
  if (lexer_.kind() == TOKEN_DEFAULT) {
    const size_t keyword = lexer_.position();
    lexer_.next();
    if (lexer_.kind() != TOKEN_STRING_LIT) raise("SE_expect_defvalue");
    defaultValue = TamValue::createString(lexer_.stringValue());
    if (outline_) noteDefault(defaultValue, keyword, lexer_.position(), lexer_.tokenEnd());
    if (!constraints.empty() && !anyAccepts(constraints, defaultValue)) {
      raise("SE_invalid_default");
    }
    lexer_.next();
  }
  if (!building()) return;
  // Without a list any string is allowed.
  if (constraints.empty()) {
    constraints.push_back(unrestricted(kAnyString, [] { return as(new TamOptionAnyStringValue); }));
  }
  option_ = module_->createOption(name_, scope_);
  attach(constraints, defaultValue);
}

void TamDeclarationParser::parseNumeric(bool real) {
  Constraints constraints;
  const Number number = real ? Number::kReal : Number::kInteger;
  if (lexer_.kind() == TOKEN_EQ) {
    lexer_.next();
    parseConstraintList(number, constraints);
  } else if (real) {
    constraints.push_back(unrestricted(kAnyReal, [] { return as(new TamOptionAnyRealValue); }));
  } else {
    constraints.push_back(unrestricted(kAnyInteger, [] { return as(new TamOptionAnyIntValue); }));
  }
  ref_count_ptr<TamValue> defaultValue;
  if (lexer_.kind() == TOKEN_DEFAULT) {
    const size_t keyword = lexer_.position();
    lexer_.next();
    const size_t begin = lexer_.position();
    // Options of one module text defaulting to the same integer share it.
    defaultValue = parseSignedNumber(number, sharing());
    if (outline_) noteDefault(defaultValue, keyword, begin, lexer_.previousEnd());
    if (!anyAccepts(constraints, defaultValue)) raise("SE_invalid_default");
  }
  if (!building()) return;
  option_ = module_->createOption(name_, scope_);
  attach(constraints, defaultValue);
}

void TamDeclarationParser::parseLogical() {
  ref_count_ptr<TamValue> defaultValue;
  if (lexer_.kind() == TOKEN_DEFAULT) {
    const size_t keyword = lexer_.position();
    lexer_.next();
    TokenKind kind = lexer_.kind();
    if (kind != TOKEN_TRUE && kind != TOKEN_FALSE) raise("SE_invalid_default");
    defaultValue = TamValue::createBool(kind == TOKEN_TRUE);
    if (outline_) noteDefault(defaultValue, keyword, lexer_.position(), lexer_.tokenEnd());
    lexer_.next();
  }
  if (!building()) return;
  option_ = module_->createOption(name_, scope_);
  attach(Constraints{unrestricted(kAnyLogical, [] { return as(new TamOptionBooleanValue); })},
         defaultValue);
}

TamDeclarationParser::Reference TamDeclarationParser::parseOptionReference() {
  if (translater_) lexer_.beginReplace();
  if (lexer_.kind() != TOKEN_IDENT) raise("SE_expect_modid");
  Reference reference;
  reference.first = lexer_.identifierValue();
  if (outline_) outline_->base_.moduleId = here(reference.first);
  lexer_.next();
  if (lexer_.kind() != TOKEN_COLON) raise("SE_expect_colon");
  lexer_.next();
  if (lexer_.kind() != TOKEN_IDENT) raise("SE_expect_optname");
  reference.second = lexer_.identifierValue();
  if (outline_) outline_->base_.optionName = here(reference.second);
  lexer_.next();
  if (translater_) rewriteReference(reference);
  return reference;
}

// Called with the token after the reference current: the reference is written anew only when
// the mapping changes it, so an unmapped reference keeps its spelling (quotes included).
void TamDeclarationParser::rewriteReference(const Reference& reference) {
  tam::detail::finishReferenceRewrite(lexer_, *translater_, reference.first, reference.second);
}

// A base of another value type (logical) takes no list: the "=" alone is consumed.
void TamDeclarationParser::parseBaseValues(TamValue::ValueType type, Constraints& out) {
  switch (type) {
    case TamValue::VT_INT:
      parseConstraintList(Number::kInteger, out);
      break;
    case TamValue::VT_REAL:
      parseConstraintList(Number::kReal, out);
      break;
    case TamValue::VT_STRING:
      parseStringList(out);
      break;
    default:
      break;
  }
}

// No sign is accepted here, unlike the defaults of integer and real declarations.
ref_count_ptr<TamValue> TamDeclarationParser::parseDefaultClause() {
  if (lexer_.kind() != TOKEN_DEFAULT) return ref_count_ptr<TamValue>();
  const size_t keyword = lexer_.position();
  lexer_.next();
  const size_t begin = lexer_.position();
  ref_count_ptr<TamValue> value;
  switch (lexer_.kind()) {
    case TOKEN_STRING_LIT:
      value = TamValue::createString(lexer_.stringValue());
      break;
    case TOKEN_INT_LIT:
      value = TamValue::createInt(lexer_.intValue());
      break;
    case TOKEN_REAL_LIT:
      value = TamValue::createReal(lexer_.realValue());
      break;
    case TOKEN_TRUE:
    case TOKEN_FALSE:
      value = TamValue::createBool(lexer_.kind() == TOKEN_TRUE);
      break;
    default:
      raise("SE_expect_defvalue");
  }
  if (outline_) noteDefault(value, keyword, begin, lexer_.tokenEnd());
  lexer_.next();
  return value;
}

tam::detail::ConstraintCache* TamDeclarationParser::sharing() const {
  return building() && outline_ == nullptr ? module_->readingCache_ : nullptr;
}

// Integer literals saturate at the largest int, so negating one cannot overflow. A number read
// as written is an integer or a real by its token; any other token is SE_expect_value.
ref_count_ptr<TamValue> TamDeclarationParser::parseSignedNumber(
    Number number, tam::detail::ConstraintCache* integers) {
  bool negative = lexer_.kind() == TOKEN_MINUS;
  if (negative) lexer_.next();
  if (number == Number::kAsWritten) {
    if (lexer_.kind() == TOKEN_REAL_LIT) number = Number::kReal;
    else if (lexer_.kind() == TOKEN_INT_LIT) number = Number::kInteger;
    else raise("SE_expect_value");
  }
  ref_count_ptr<TamValue> value;
  if (number == Number::kReal) {
    double number = 0;
    if (lexer_.kind() == TOKEN_INT_LIT) {
      number = lexer_.intValue();
    } else if (lexer_.kind() == TOKEN_REAL_LIT) {
      number = lexer_.realValue();
    } else {
      raise("SE_expect_real");
    }
    value = TamValue::createReal(negative ? -number : number);
  } else {
    if (lexer_.kind() != TOKEN_INT_LIT) raise("SE_expect_int");
    int number = lexer_.intValue();
    if (negative) number = -number;
    value = integers != nullptr ? integers->integer(number) : TamValue::createInt(number);
  }
  lexer_.next();
  return value;
}

void TamDeclarationParser::parseConstraintList(Number number, Constraints& out) {
  for (;;) {
    const size_t begin = lexer_.position();
    out.push_back(parseConstraint(number, begin));
    if (outline_) noteConstraint(out.back(), begin);
    if (lexer_.kind() != TOKEN_COMMA) return;
    lexer_.next();
  }
}

// An empty range names its first bound as the construct in error, so that it can be shown whole.
ref_count_ptr<TamOptionValue> TamDeclarationParser::parseConstraint(Number number, size_t begin) {
  switch (lexer_.kind()) {
    case TOKEN_LT:
      lexer_.next();
      return new TamOptionMaxValue(parseSignedNumber(number));
    case TOKEN_GT:
      lexer_.next();
      return new TamOptionMinValue(parseSignedNumber(number));
    case TOKEN_LE:
      lexer_.next();
      return new TamOptionMaxIncValue(parseSignedNumber(number));
    case TOKEN_GE:
      lexer_.next();
      return new TamOptionMinIncValue(parseSignedNumber(number));
    default:
      break;
  }
  // Integers written alike in one module text are one value, as ranges written alike are one
  // constraint: a range found kept below costs no values of its own.
  ref_count_ptr<TamValue> low = parseSignedNumber(number, sharing());
  if (lexer_.kind() != TOKEN_TO) return new TamOptionEnumValue(low);
  lexer_.next();
  ref_count_ptr<TamValue> high = parseSignedNumber(number, sharing());
  if (low >= high) tam::detail::raiseSyntaxError(lexer_, "SE_max_min", std::string(), begin);
  // Options of one module text declared with the same range share it.
  tam::detail::ConstraintCache* cache = sharing();
  const std::string_view written = lexer_.text().substr(begin, lexer_.previousEnd() - begin);
  const char kind = static_cast<char>(number);
  if (cache != nullptr) {
    if (ref_count_ptr<TamOptionValue> shared = cache->find(kind, written)) return shared;
  }
  ref_count_ptr<TamOptionValue> range =
      new TamOptionRangeValue(new TamOptionMinIncValue(low), new TamOptionMaxIncValue(high));
  if (cache != nullptr) cache->keep(kind, written, range);
  return range;
}

// Commas between the strings are optional, and one may follow the last.
void TamDeclarationParser::parseStringList(Constraints& out) {
  if (lexer_.kind() != TOKEN_STRING_LIT) raise("SE_expect_value");
  while (lexer_.kind() == TOKEN_STRING_LIT) {
    const size_t begin = lexer_.position();
    out.push_back(new TamOptionEnumValue(TamValue::createString(lexer_.stringValue())));
    lexer_.next();
    if (outline_) noteConstraint(out.back(), begin);
    if (lexer_.kind() == TOKEN_COMMA) lexer_.next();
  }
}

// A character that begins no token stays the current token (the lexer does not move past it),
// so skipping up to the end would never get there: the skip stops at it and reports it as
// leftover input.
void TamDeclarationParser::skipToEnd() {
  while (lexer_.kind() != TOKEN_END) {
    if (lexer_.kind() == TOKEN_INVALID) raise("SE_extrainput");
    lexer_.next();
  }
}

ref_count_ptr<TamWindow> TamDeclarationParser::lookupWindow() const {
  return window_ != nullptr ? ref_count_ptr<TamWindow>(window_) : module_->window();
}

void TamDeclarationParser::attach(const Constraints& constraints,
                                  const ref_count_ptr<TamValue>& defaultValue) {
  // Options of one module text with the same constraints share one list of them, taken whole
  // when the option holds none of its own yet.
  if (sharing() != nullptr && !constraints.empty() && !option_->hasOwnValues()) {
    option_->addValues(constraints, sharing()->shareList(constraints));
    if (defaultValue) option_->setDefaultValue(defaultValue);
    return;
  }
  for (const ref_count_ptr<TamOptionValue>& constraint : constraints) option_->addValue(constraint);
  if (defaultValue) option_->setDefaultValue(defaultValue);
  // Options of one module text with the same constraints share one list of them.
  if (sharing() != nullptr && option_->ownValues_) {
    option_->ownValues_ = sharing()->shareList(*option_->ownValues_);
  }
}

ref_count_ptr<TamOptionValue> TamDeclarationParser::unrestricted(char kind,
                                                                 TamOptionValue* (*make)()) {
  tam::detail::ConstraintCache* cache = sharing();
  if (cache == nullptr) return make();
  if (ref_count_ptr<TamOptionValue> kept = cache->find(kind, std::string_view())) return kept;
  ref_count_ptr<TamOptionValue> made = make();
  cache->keep(kind, std::string_view(), made);
  return made;
}

void TamDeclarationParser::raise(const char* code) {
  tam::detail::raiseSyntaxError(lexer_, code);
}

TamDeclarationOutline::Part TamDeclarationParser::here(const std::string& value) const {
  return outline_->part(value, lexer_.position(), lexer_.tokenEnd());
}

// Called with the constraint's last token moved past.
void TamDeclarationParser::noteConstraint(const ref_count_ptr<TamOptionValue>& constraint,
                                          size_t begin) {
  const TamLineIndex& lines = outline_->lines_;
  outline_->constraints_.push_back(
      {constraint, lines.position(begin), lines.position(lexer_.previousEnd())});
}

// Noted before the value is judged, so that a default refused by the constraints is in the
// outline too.
void TamDeclarationParser::noteDefault(const ref_count_ptr<TamValue>& value, size_t keyword,
                                       size_t begin, size_t end) {
  const TamLineIndex& lines = outline_->lines_;
  outline_->default_ = {value, lines.position(keyword), lines.position(begin), lines.position(end)};
}
