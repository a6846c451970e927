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
#include "rix/TamDeclarationParser.h"

#include "rix/ReferenceRewrite.h"
#include "rix/SyntaxError.h"
#include "tam/Tam.h"
#include "tam/TamModule.h"
#include "tam/TamOptionValue.h"
#include "tam/TamTranslater.h"
#include "tam/TamWindow.h"

namespace {

bool anyAccepts(const std::vector<ref_count_ptr<TamOptionValue>>& constraints,
                const ref_count_ptr<TamValue>& value) {
  for (const ref_count_ptr<TamOptionValue>& constraint : constraints) {
    if (constraint->accepts(value)) return true;
  }
  return false;
}

}  // namespace

TamDeclarationParser::TamDeclarationParser(const std::string& text, TamModule* module)
    : module_(module), lexer_(text) {}

void TamDeclarationParser::parse() {
  scope_ = parseVisibility();
  name_ = parseOptionName();
  TokenKind typeWord = lexer_.kind();
  lexer_.next();
  std::string description = parseDescription();
  bool mandatory = parseMandatory();
  bool exclusive = parseExclusivity();
  parseTypePart(typeWord);
  if (option_) {
    option_->setDescription(description);
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
  lexer_.next();
  return kind == TOKEN_PUBLIC ? TamOption::SCOPE_PUBLIC : TamOption::SCOPE_PRIVATE;
}

std::string TamDeclarationParser::parseOptionName() {
  if (lexer_.kind() != TOKEN_IDENT) raise("SE_expect_optname");
  std::string name = lexer_.identifierValue();
  lexer_.next();
  return name;
}

std::string TamDeclarationParser::parseDescription() {
  if (lexer_.kind() != TOKEN_STRING_LIT) return std::string();
  std::string description = lexer_.stringValue();
  lexer_.next();
  return description;
}

bool TamDeclarationParser::parseMandatory() {
  if (lexer_.kind() != TOKEN_COLON) return false;
  lexer_.next();
  if (lexer_.kind() != TOKEN_MANDATORY) raise("SE_unexpected");
  lexer_.next();
  return true;
}

bool TamDeclarationParser::parseExclusivity() {
  if (lexer_.kind() != TOKEN_NON_MUTUALLY_EXCLUSIVE) return true;
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
  TamPath path = tam::detail::readBracketedPath(lexer_);
  ref_count_ptr<TamValue> defaultValue = parseDefaultClause();
  if (!building()) return;
  ref_count_ptr<TamOption> base =
      TamOption::findOption(module_->window(), reference.first, reference.second);
  if (defaultValue && !base->validateValue(defaultValue)) raise("SE_invalid_default");
  option_ = module_->presentOption(name_, base, path);
  attach(Constraints(), defaultValue);
}

// The base's value type decides how an "=" list is read, so the base is looked up right after
// its reference. When translating, no base can be looked up: the rest of the line is copied
// token by token as written.
void TamDeclarationParser::parseImplementsOrUses(bool uses) {
  Reference reference = parseOptionReference();
  if (!building()) {
    skipToEnd();
    return;
  }
  ref_count_ptr<TamOption> base =
      TamOption::findOption(module_->window(), reference.first, reference.second, true);
  Constraints constraints;
  if (lexer_.kind() == TOKEN_EQ) {
    lexer_.next();
    parseBaseValues(base->valueType(), constraints);
  }
  ref_count_ptr<TamValue> defaultValue = parseDefaultClause();
  if (defaultValue && !base->validateValue(defaultValue)) raise("SE_invalid_default");
  option_ = module_->implementOrUseOption(name_, base, scope_, uses);
  attach(constraints, defaultValue);
}

void TamDeclarationParser::parseString() {
  Constraints constraints;
  if (lexer_.kind() == TOKEN_EQ) {
    lexer_.next();
    parseStringList(constraints);
  }
  ref_count_ptr<TamValue> defaultValue;
  if (lexer_.kind() == TOKEN_DEFAULT) {
    lexer_.next();
    if (lexer_.kind() != TOKEN_STRING_LIT) raise("SE_expect_defvalue");
    defaultValue = TamValue::createString(lexer_.stringValue());
    if (!constraints.empty() && !anyAccepts(constraints, defaultValue)) {
      raise("SE_invalid_default");
    }
    lexer_.next();
  }
  if (!building()) return;
  // Without a list any string is allowed.
  if (constraints.empty()) constraints.push_back(new TamOptionAnyStringValue());
  option_ = module_->createOption(name_, scope_);
  attach(constraints, defaultValue);
}

void TamDeclarationParser::parseNumeric(bool real) {
  Constraints constraints;
  if (lexer_.kind() == TOKEN_EQ) {
    lexer_.next();
    parseConstraintList(real, constraints);
  } else if (real) {
    constraints.push_back(new TamOptionAnyRealValue());
  } else {
    constraints.push_back(new TamOptionAnyIntValue());
  }
  ref_count_ptr<TamValue> defaultValue;
  if (lexer_.kind() == TOKEN_DEFAULT) {
    lexer_.next();
    defaultValue = parseSignedNumber(real);
    if (!anyAccepts(constraints, defaultValue)) raise("SE_invalid_default");
  }
  if (!building()) return;
  option_ = module_->createOption(name_, scope_);
  attach(constraints, defaultValue);
}

void TamDeclarationParser::parseLogical() {
  ref_count_ptr<TamValue> defaultValue;
  if (lexer_.kind() == TOKEN_DEFAULT) {
    lexer_.next();
    TokenKind kind = lexer_.kind();
    if (kind != TOKEN_TRUE && kind != TOKEN_FALSE) raise("SE_invalid_default");
    defaultValue = TamValue::createBool(kind == TOKEN_TRUE);
    lexer_.next();
  }
  if (!building()) return;
  option_ = module_->createOption(name_, scope_);
  attach(Constraints{new TamOptionBooleanValue()}, defaultValue);
}

TamDeclarationParser::Reference TamDeclarationParser::parseOptionReference() {
  if (translater_) lexer_.beginReplace();
  if (lexer_.kind() != TOKEN_IDENT) raise("SE_expect_modid");
  Reference reference;
  reference.first = lexer_.identifierValue();
  lexer_.next();
  if (lexer_.kind() != TOKEN_COLON) raise("SE_expect_colon");
  lexer_.next();
  if (lexer_.kind() != TOKEN_IDENT) raise("SE_expect_optname");
  reference.second = lexer_.identifierValue();
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
      parseConstraintList(false, out);
      break;
    case TamValue::VT_REAL:
      parseConstraintList(true, out);
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
  lexer_.next();
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
  lexer_.next();
  return value;
}

// Integer literals saturate at the largest int, so negating one cannot overflow.
ref_count_ptr<TamValue> TamDeclarationParser::parseSignedNumber(bool real) {
  bool negative = lexer_.kind() == TOKEN_MINUS;
  if (negative) lexer_.next();
  ref_count_ptr<TamValue> value;
  if (real) {
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
    value = TamValue::createInt(negative ? -number : number);
  }
  lexer_.next();
  return value;
}

void TamDeclarationParser::parseConstraintList(bool real, Constraints& out) {
  out.push_back(parseConstraint(real));
  while (lexer_.kind() == TOKEN_COMMA) {
    lexer_.next();
    out.push_back(parseConstraint(real));
  }
}

ref_count_ptr<TamOptionValue> TamDeclarationParser::parseConstraint(bool real) {
  switch (lexer_.kind()) {
    case TOKEN_LT:
      lexer_.next();
      return new TamOptionMaxValue(parseSignedNumber(real));
    case TOKEN_GT:
      lexer_.next();
      return new TamOptionMinValue(parseSignedNumber(real));
    case TOKEN_LE:
      lexer_.next();
      return new TamOptionMaxIncValue(parseSignedNumber(real));
    case TOKEN_GE:
      lexer_.next();
      return new TamOptionMinIncValue(parseSignedNumber(real));
    default:
      break;
  }
  ref_count_ptr<TamValue> low = parseSignedNumber(real);
  if (lexer_.kind() != TOKEN_TO) return new TamOptionEnumValue(low);
  lexer_.next();
  ref_count_ptr<TamValue> high = parseSignedNumber(real);
  if (low >= high) raise("SE_max_min");
  return new TamOptionRangeValue(new TamOptionMinIncValue(low), new TamOptionMaxIncValue(high));
}

// Commas between the strings are optional, and one may follow the last.
void TamDeclarationParser::parseStringList(Constraints& out) {
  if (lexer_.kind() != TOKEN_STRING_LIT) raise("SE_expect_value");
  while (lexer_.kind() == TOKEN_STRING_LIT) {
    out.push_back(new TamOptionEnumValue(TamValue::createString(lexer_.stringValue())));
    lexer_.next();
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

void TamDeclarationParser::attach(const Constraints& constraints,
                                  const ref_count_ptr<TamValue>& defaultValue) {
  for (const ref_count_ptr<TamOptionValue>& constraint : constraints) option_->addValue(constraint);
  if (defaultValue) option_->setDefaultValue(defaultValue);
}

void TamDeclarationParser::raise(const char* code) {
  tam::detail::raiseSyntaxError(lexer_, code);
}
