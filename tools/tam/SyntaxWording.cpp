#include "SyntaxWording.h"

#include <cctype>
#include <cstring>

namespace {

// tam's wording of each SE code. `missing` marks the errors about a token that is not there: they
// are shown just after the last token read when the offending token stands on a later line.
// `open` words the note at the construct the error leaves open, when the failure names one.
struct SyntaxWord {
  const char* code;
  const char* message;
  bool missing;
  const char* open;
};

const SyntaxWord kWords[] = {
    {"SE_pubpriv", "expected 'public' or 'private' at the start of the declaration", false,
     nullptr},
    {"SE_extrainput", "unexpected text after the end of the declaration", false, nullptr},
    {"SE_expect_optname", "expected an option name", true, nullptr},
    {"SE_pres_public", "a presented option must be public", false, nullptr},
    {"SE_expect_opttype",
     "expected an option type: logical, integer, real, string, presents, implements or uses",
     false, nullptr},
    {"SE_expect_modid", "expected a module id", true, nullptr},
    {"SE_expect_colon", "expected ':' (an option is written module:option)", true, nullptr},
    {"SE_expect_value", "expected a string in double quotes", true, nullptr},
    {"SE_expect_defvalue", "expected a value after 'default'", true, nullptr},
    {"SE_invalid_default", "the default is not one of the allowed values", false, nullptr},
    {"SE_expect_int", "expected an integer", true, nullptr},
    {"SE_expect_real", "expected a number", true, nullptr},
    {"SE_max_min", "empty range: the first number must be below the second", false, nullptr},
    {"SE_unexpected", "unexpected input", false, nullptr},
    {"SE_missing_endif", "expected 'endif'", true, "to match this 'if'"},
    {"SE_missing_then", "expected 'then' after the condition", true, nullptr},
    {"SE_missing_to", "expected 'to' after the option", true, nullptr},
    {"SE_expect_closebracket", "expected ')'", true, "to match this '('"},
    {"SE_expect_optorval", "expected an option or a value", true, nullptr},
    {"SE_conditional", "malformed condition", false, nullptr},
    {"SE_extra_input", "unexpected text after the end of the condition", false, nullptr},
    {"SE_mutually_exclusive",
     "malformed mutually exclusive rule: write mutually_exclusive : [a, b] or "
     "mutually_exclusive : {a.x, b.y}",
     false, "the list begins here"},
    {"SE_path", "expected ']' to end the path", true, "to match this '['"},
    {"SE_path_internal", "expected a node name or '.' in the path", false, nullptr},
};

// The library's messages that come without an SE code.
const char kUnterminatedDouble[] = "Unterminated double quotes";
const char kUnterminatedSingle[] = "Unterminated single quotes";
const char kUnexpectedMessage[] = "Unexpected input";

const SyntaxWord* wordFor(const std::string& code) {
  for (const SyntaxWord& word : kWords) {
    if (code == word.code) return &word;
  }
  return nullptr;
}

std::string lowerFirst(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The token SE_unexpected names after its message ("Unexpected input foo"); empty at the end.
std::string unexpectedToken(const std::string& message) {
  if (!startsWith(message, kUnexpectedMessage)) return "";
  std::string token = message.substr(std::strlen(kUnexpectedMessage));
  if (!token.empty() && token[0] == ' ') token.erase(0, 1);
  return token;
}

std::string unexpectedMessage(const TamParseFailure& failure, RixPiece piece) {
  const std::string token = unexpectedToken(failure.message);
  if (piece == RixPiece::kDeclaration) return "expected 'mandatory' after ':'";
  if (failure.related.isKnown()) return "expected ',' or ']' in the list of options";
  if (token.empty()) return "expected a statement";
  std::string message = "expected a statement, found '" + token + "'";
  if (token == "public" || token == "private") {
    message += " (declarations belong between 'interface start' and 'interface end')";
  }
  return message;
}

// A local adapter gives the library's English message of each code, to recognise messages.
class EnglishMessages : public Tam::AdapterInterface {
 public:
  bool loadModule(TamWindow*, const std::string&) override { return false; }
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return false; }
};

}  // namespace

TamSourcePos failurePlace(const TamParseFailure& failure, std::size_t textSize) {
  // Only a quote never closed fails without a code and with a construct left open: show the quote.
  if (failure.code.empty() && failure.related.isKnown()) return failure.related;
  const bool tokenRead = failure.afterPrevious.offset > 0;
  if (!tokenRead) return failure.position;
  if (failure.position.offset >= textSize) return failure.afterPrevious;
  const SyntaxWord* word = wordFor(failure.code);
  if (word != nullptr && word->missing && failure.position.line > failure.afterPrevious.line) {
    return failure.afterPrevious;
  }
  return failure.position;
}

// A character no token begins with, at the offending token: the one the text itself got wrong.
std::string strayCharacter(const TamParseFailure& failure, const std::string& text) {
  const std::size_t at = failure.position.offset;
  if (failure.code.empty() || at >= text.size()) return "";
  const unsigned char byte = static_cast<unsigned char>(text[at]);
  if (byte >= 0x20 && byte < 0x7F) return "";
  std::size_t length = 1;
  while (byte >= 0xC0 && at + length < text.size() && length < 4 &&
         (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) {
    ++length;
  }
  std::string message = "unexpected character '" + text.substr(at, length) + "'";
  if (byte >= 0x80) {
    message += " (a name with characters other than ASCII letters, digits and '_' is written in "
               "single quotes)";
  }
  return message;
}

SyntaxReport describeSyntaxFailure(const TamParseFailure& failure, RixPiece piece,
                                   const std::string& text) {
  SyntaxReport report;
  report.place = failure.position;
  const std::string stray = strayCharacter(failure, text);
  if (!stray.empty()) {
    report.message = stray;
    return report;
  }
  if (failure.code.empty()) {
    if (failure.message == kUnterminatedDouble) {
      report.message = "missing terminating '\"' character";
    } else if (failure.message == kUnterminatedSingle) {
      report.message = "missing terminating ' character";
    } else {
      report.message = lowerFirst(failure.message);
    }
    if (failure.related.isKnown()) report.place = failure.related;
    return report;
  }
  const SyntaxWord* word = wordFor(failure.code);
  if (word == nullptr) {
    report.message = lowerFirst(failure.message);
  } else if (failure.code == "SE_unexpected") {
    report.message = unexpectedMessage(failure, piece);
  } else {
    report.message = word->message;
  }
  if (word != nullptr && word->open != nullptr && failure.related.isKnown()) {
    report.note = word->open;
    report.notePlace = failure.related;
  }
  if (failure.code == "SE_unexpected" && failure.related.isKnown()) {
    report.note = "to match this '['";
    report.notePlace = failure.related;
  }
  return report;
}

std::string syntaxMessageInTamWords(const std::string& libraryMessage) {
  if (libraryMessage == kUnterminatedDouble) return "missing terminating '\"' character";
  if (libraryMessage == kUnterminatedSingle) return "missing terminating ' character";
  EnglishMessages english;
  for (const SyntaxWord& word : kWords) {
    const std::string known = english.localizeString(word.code);
    if (known == word.code) continue;
    if (libraryMessage == known) return word.message;
    if (std::strcmp(word.code, "SE_unexpected") == 0 && startsWith(libraryMessage, known.c_str())) {
      const std::string token = unexpectedToken(libraryMessage);
      return token.empty() ? "unexpected input" : "unexpected '" + token + "'";
    }
  }
  return lowerFirst(libraryMessage);
}
