#include "Diagnostics.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <map>
#include <new>
#include <sstream>

#include "SyntaxWording.h"

namespace {

// Colours and weights, as Clang uses them.
const char kBold[] = "\033[1m";
const char kErrorStyle[] = "\033[1;31m";
const char kWarningStyle[] = "\033[1;35m";
const char kNoteStyle[] = "\033[1;36m";
const char kCaretStyle[] = "\033[1;32m";
const char kReset[] = "\033[0m";

// A source line wider than this is shown as a window around the caret, with this much of the line
// before the caret, so that a megabyte-long line prints a bounded excerpt.
constexpr int kMaxShownWidth = 160;
constexpr int kContextBeforeCaret = 60;
const char kCut[] = "...";
constexpr int kCutWidth = 3;

// An error limit is a count a person can read; longer digit strings would not fit its type.
constexpr std::size_t kMaxLimitDigits = 9;

// Names longer than this are cut short in messages.
constexpr std::size_t kMaxQuotedName = 80;

// One shown character of a source line: what is printed for it, and how wide that is.
struct Glyph {
  std::string text;
  int width;
  std::size_t byte;  // offset of its first byte in the line
  bool tab;
};

std::string hexByte(unsigned char byte) {
  const char digits[] = "0123456789ABCDEF";
  return std::string(1, digits[byte >> 4]) + digits[byte & 0xF];
}

// The length of the UTF-8 sequence at `at` and its code point, or 0 when the bytes there are not
// well-formed UTF-8 (a stray continuation byte, a truncated or overlong sequence, a surrogate).
std::size_t decodeUtf8(const std::string& text, std::size_t at, unsigned long& codePoint) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length;
  unsigned long minimum;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    minimum = 0x80;
    codePoint = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    minimum = 0x800;
    codePoint = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    minimum = 0x10000;
    codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(at + i) & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF) return 0;
  if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
  return length;
}

std::string codePointName(unsigned long codePoint) {
  std::string digits;
  for (int shift = 12; shift >= 0; shift -= 4) {
    digits += "0123456789ABCDEF"[(codePoint >> shift) & 0xF];
  }
  return "<U+" + digits + ">";
}

std::vector<Glyph> glyphsOf(const std::string& line) {
  std::vector<Glyph> glyphs;
  std::size_t at = 0;
  while (at < line.size()) {
    unsigned long codePoint = 0;
    const std::size_t length = decodeUtf8(line, at, codePoint);
    if (length == 0) {
      const std::string text = "<" + hexByte(static_cast<unsigned char>(line[at])) + ">";
      glyphs.push_back({text, static_cast<int>(text.size()), at, false});
      ++at;
      continue;
    }
    if (codePoint == '\t') {
      glyphs.push_back({"\t", 1, at, true});
    } else if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0)) {
      const std::string text = codePointName(codePoint);
      glyphs.push_back({text, static_cast<int>(text.size()), at, false});
    } else {
      glyphs.push_back({line.substr(at, length), 1, at, false});
    }
    at += length;
  }
  return glyphs;
}

// Text safe to print: control characters and malformed UTF-8 spelled out.
std::string printable(const std::string& text) {
  std::string out;
  for (const Glyph& glyph : glyphsOf(text)) out += glyph.text;
  return out;
}

// The source line and the caret line under it. Both may be cut to a window around the caret.
void excerpt(const SourcePlace& place, std::string& source, std::string& caret) {
  const std::vector<Glyph> glyphs = glyphsOf(place.sourceLine);
  const std::size_t caretByte = static_cast<std::size_t>(place.column - 1);
  const std::size_t endByte = caretByte + static_cast<std::size_t>(std::max(place.length, 1));
  // The glyph holding the caret's byte (a column inside a character points at the character),
  // or one past the last glyph for a column past the end of the line.
  std::size_t caretGlyph = glyphs.size();
  int caretX = 0;
  int totalWidth = 0;
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    const std::size_t next = i + 1 < glyphs.size() ? glyphs[i + 1].byte : place.sourceLine.size();
    if (caretGlyph == glyphs.size() && caretByte < next) {
      caretGlyph = i;
      caretX = totalWidth;
    }
    totalWidth += glyphs[i].width;
  }
  if (caretGlyph == glyphs.size()) caretX = totalWidth;

  std::size_t first = 0;
  if (totalWidth > kMaxShownWidth && caretX > kContextBeforeCaret) {
    int skipped = 0;
    while (first < caretGlyph && caretX - skipped > kContextBeforeCaret) {
      skipped += glyphs[first].width;
      ++first;
    }
  }
  source.clear();
  caret.clear();
  if (first > 0) {
    source += kCut;
    caret.append(kCutWidth, ' ');
  }
  int width = first > 0 ? kCutWidth : 0;
  std::size_t i = first;
  bool caretPlaced = false;
  for (; i < glyphs.size(); ++i) {
    if (width + glyphs[i].width > kMaxShownWidth && i > caretGlyph) break;
    const Glyph& glyph = glyphs[i];
    source += glyph.text;
    width += glyph.width;
    if (i < caretGlyph) {
      caret += glyph.tab ? std::string("\t") : std::string(static_cast<std::size_t>(glyph.width), ' ');
    } else if (glyph.byte < endByte) {
      caret += caretPlaced ? "~" : "^";
      caret.append(static_cast<std::size_t>(glyph.width - 1), '~');
      caretPlaced = true;
    }
  }
  if (i < glyphs.size()) source += kCut;
  if (!caretPlaced) caret += "^";
}

// The severity in a line of text laid out as "PLACE: severity: message", and where it begins.
bool findSeverity(const std::string& line, std::size_t& at, Severity& severity) {
  const struct {
    const char* text;
    Severity severity;
  } kMarks[] = {{": error: ", Severity::kError},
                {": warning: ", Severity::kWarning},
                {": note: ", Severity::kNote}};
  at = std::string::npos;
  for (const auto& mark : kMarks) {
    const std::size_t found = line.find(mark.text);
    if (found != std::string::npos && found < at) {
      at = found;
      severity = mark.severity;
    }
  }
  return at != std::string::npos;
}

bool isCaretLine(const std::string& line) {
  const std::size_t caret = line.find_first_not_of(" \t");
  return caret != std::string::npos && line[caret] == '^' &&
         line.find_first_not_of('~', caret + 1) == std::string::npos;
}

const char* styleOf(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return kErrorStyle;
    case Severity::kWarning:
      return kWarningStyle;
    case Severity::kNote:
      break;
  }
  return kNoteStyle;
}

}  // namespace

const char* severityName(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    case Severity::kNote:
      break;
  }
  return "note";
}

SourcePlace SourcePlace::fileOnly(const std::string& file) {
  SourcePlace place;
  place.file = file;
  return place;
}

SourcePlace SourcePlace::fileLine(const std::string& file, int line,
                                  const std::string& sourceLine) {
  SourcePlace place;
  place.file = file;
  place.line = line;
  place.sourceLine = sourceLine;
  return place;
}

Diagnostic Diagnostic::error(const SourcePlace& place, const std::string& message) {
  Diagnostic diagnostic;
  diagnostic.severity = Severity::kError;
  diagnostic.place = place;
  diagnostic.message = message;
  return diagnostic;
}

Diagnostic Diagnostic::warning(const SourcePlace& place, const std::string& message) {
  Diagnostic diagnostic = error(place, message);
  diagnostic.severity = Severity::kWarning;
  return diagnostic;
}

Diagnostic Diagnostic::general(const std::string& message) {
  return error(SourcePlace(), message);
}

Diagnostic& Diagnostic::note(const SourcePlace& place, const std::string& message) {
  Diagnostic added = error(place, message);
  added.severity = Severity::kNote;
  notes.push_back(added);
  return *this;
}

DiagnosticOptions& diagnosticOptions() {
  static DiagnosticOptions options;
  return options;
}

void addDiagnosticOptions(CLI::App* command) {
  static const std::map<std::string, ColorMode> kModes = {
      {"auto", ColorMode::kAuto}, {"always", ColorMode::kAlways}, {"never", ColorMode::kNever}};
  command
      ->add_option("--color", diagnosticOptions().color,
                   "Colour diagnostics: auto (on a terminal, unless NO_COLOR is set), always or "
                   "never")
      ->transform(CLI::Validator(
          [](std::string& value) {
            auto mode = kModes.find(value);
            if (mode == kModes.end()) return "expected auto, always or never, not '" + value + "'";
            value = std::to_string(static_cast<int>(mode->second));
            return std::string();
          },
          "", "WHEN"))
      ->option_text("WHEN");
}

void addWarningOptions(CLI::App* command) {
  command->add_flag("--werror", diagnosticOptions().warningsAsErrors,
                    "Treat warnings as errors: any warning makes the exit status 1");
}

void addErrorLimitOption(CLI::App* command) {
  command
      ->add_option("--error-limit", diagnosticOptions().errorLimit,
                   "Stop showing problems after this many errors (the rest are counted); 0 "
                   "shows all (default 50)")
      ->check(CLI::Validator(
          [](std::string& value) {
            const bool digits = !value.empty() && value.size() <= kMaxLimitDigits &&
                                value.find_first_not_of("0123456789") == std::string::npos;
            return digits ? std::string() : "expected a number of errors, not '" + value + "'";
          },
          "", "N"))
      ->option_text("N");
}

bool colourWanted(ColorMode mode, int fileDescriptor) {
  switch (mode) {
    case ColorMode::kAlways:
      return true;
    case ColorMode::kNever:
      return false;
    case ColorMode::kAuto:
      break;
  }
  const char* noColor = std::getenv("NO_COLOR");
  if (noColor != nullptr && noColor[0] != '\0') return false;
  const char* term = std::getenv("TERM");
  if (term != nullptr && std::strcmp(term, "dumb") == 0) return false;
  return fileDescriptor >= 0 && ::isatty(fileDescriptor) == 1;
}

namespace {

int descriptorOf(const std::ostream& out) {
  if (&out == &std::cout) return STDOUT_FILENO;
  if (&out == &std::cerr) return STDERR_FILENO;
  return -1;
}

}  // namespace

DiagnosticPrinter::DiagnosticPrinter(std::ostream& out)
    : DiagnosticPrinter(out, colourWanted(diagnosticOptions().color, descriptorOf(out)),
                        diagnosticOptions().errorLimit, diagnosticOptions().warningsAsErrors) {}

DiagnosticPrinter::DiagnosticPrinter(std::ostream& out, bool colour, std::size_t errorLimit,
                                     bool werror)
    : out_(out), colour_(colour), errorLimit_(errorLimit), werror_(werror) {}

std::string DiagnosticPrinter::paint(const char* style, const std::string& text) const {
  return colour_ ? style + text + kReset : text;
}

std::string DiagnosticPrinter::renderOne(const Diagnostic& diagnostic) const {
  const SourcePlace& place = diagnostic.place;
  std::string where = place.file.empty() ? "tam" : printable(place.file);
  if (!place.file.empty() && place.line > 0) {
    where += ":" + std::to_string(place.line);
    if (place.column > 0) where += ":" + std::to_string(place.column);
  }
  std::string message = printable(diagnostic.message);
  if (!diagnostic.code.empty()) message += " [" + diagnostic.code + "]";
  std::string text = paint(kBold, where + ":") + " " +
                     paint(styleOf(diagnostic.severity),
                           std::string(severityName(diagnostic.severity)) + ":") +
                     " " + (diagnostic.severity == Severity::kNote ? message : paint(kBold, message)) +
                     "\n";
  if (!place.file.empty() && place.line > 0 && place.column > 0) {
    std::string source;
    std::string caret;
    excerpt(place, source, caret);
    text += source + "\n" + paint(kCaretStyle, caret) + "\n";
  }
  return text;
}

std::string DiagnosticPrinter::render(const Diagnostic& diagnostic) const {
  std::string text = renderOne(diagnostic);
  for (const Diagnostic& note : diagnostic.notes) text += renderOne(note);
  return text;
}

void DiagnosticPrinter::report(const Diagnostic& diagnostic) {
  const bool isError = diagnostic.severity == Severity::kError;
  ++(isError ? errors_ : warnings_);
  if (limitReached_) {
    ++hidden_;
    return;
  }
  out_ << render(diagnostic);
  if (isError && errorLimit_ > 0 && errors_ >= errorLimit_) limitReached_ = true;
}

void DiagnosticPrinter::reportText(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    std::size_t at = 0;
    Severity severity = Severity::kError;
    if (findSeverity(line, at, severity)) {
      if (severity != Severity::kNote) ++(severity == Severity::kError ? errors_ : warnings_);
      const std::size_t messageAt = at + 2 + std::strlen(severityName(severity)) + 2;
      out_ << paint(kBold, printable(line.substr(0, at + 1))) << " "
           << paint(styleOf(severity), std::string(severityName(severity)) + ":") << " "
           << paint(kBold, printable(line.substr(std::min(messageAt, line.size())))) << "\n";
    } else if (isCaretLine(line)) {
      out_ << paint(kCaretStyle, line) << "\n";
    } else {
      out_ << printable(line) << "\n";
    }
    start = end + 1;
  }
}

void DiagnosticPrinter::reportHidden() {
  if (hidden_ == 0) return;
  const std::string count = std::to_string(hidden_);
  Diagnostic note = Diagnostic::general(
      count + (hidden_ == 1 ? " more problem is" : " more problems are") +
      " not shown after the first " + std::to_string(errorLimit_) +
      (errorLimit_ == 1 ? " error" : " errors") + " (--error-limit=0 shows all)");
  note.severity = Severity::kNote;
  out_ << renderOne(note);
}

ToolError::ToolError(const Diagnostic& diagnostic, int status)
    : std::runtime_error(diagnostic.message), diagnostics_{diagnostic}, status_(status) {}

ToolError::ToolError(const std::vector<Diagnostic>& diagnostics, int status)
    : std::runtime_error(diagnostics.empty() ? std::string() : diagnostics.front().message),
      diagnostics_(diagnostics),
      status_(status) {}

ToolError::ToolError(const std::string& text, int status)
    : std::runtime_error(text), status_(status) {}

std::string plainText(const Diagnostic& diagnostic) {
  std::ostringstream unused;
  return DiagnosticPrinter(unused, false, 0, false).render(diagnostic);
}

std::string plainText(const ToolError& error) {
  if (error.diagnostics().empty()) return std::string(error.what()) + "\n";
  std::string text;
  for (const Diagnostic& diagnostic : error.diagnostics()) text += plainText(diagnostic);
  return text;
}

void failUsage(const std::string& message) {
  throw ToolError(Diagnostic::general(message), kExitUsage);
}

std::string quote(const std::string& name) {
  if (name.size() <= kMaxQuotedName) return "'" + name + "'";
  return "'" + name.substr(0, kMaxQuotedName) + "...'";
}

std::string sourceWithCaret(const std::string& sourceLine, int column, const std::string& indent) {
  SourcePlace place = SourcePlace::fileLine("", 1, sourceLine);
  if (!place.sourceLine.empty() && place.sourceLine.back() == '\r') place.sourceLine.pop_back();
  place.column = column;
  std::string source;
  std::string caret;
  excerpt(place, source, caret);
  return indent + source + "\n" + indent + caret + "\n";
}

std::string describeException(const TamException& e) {
  const std::string& info = e.info();
  switch (e.code()) {
    case 1:
      return info;
    case 2:
      return "internal library error: " + info;
    case 3:
      return "internal error: no host adapter installed";
    case TamSyntaxError::kCode:
      return syntaxMessageInTamWords(info);
    case 101:
      return "option " + quote(info) + " is already declared with another kind or scope";
    case 102:
      return "no option " + quote(info);
    case 103:
      return "internal library error: a selected option set was asked for a null option";
    case 105:
      return "default value " + info + " is not allowed for this option";
    case 106:
      if (e.context() == e.extrainfo2()) {
        return "mutually exclusive rule: option " + quote(e.context()) +
               " holds more than one value";
      }
      return "mutually exclusive rule: options " + quote(e.context()) + " and " +
             quote(e.extrainfo2()) + " both hold a value";
    case 107:
      return "option value mutually exclusive rule: " + quote(e.context()) + " and " +
             quote(e.extrainfo2()) + " are both selected";
    case 109:
      return "option " + quote(info) + " is still the base of another option";
    case 110:
      return "no option with this identifier";
    case 112:
      return "the value type does not match the base option's value type";
    case 113:
      return "mandatory option " + quote(info) + " has no value";
    case TamOption::kBaseChainLoopCode: {
      // The library's whole sentence naming the option and whether the chain loops, begun in
      // lower case as every message of tam is.
      std::string sentence = info;
      if (!sentence.empty() && sentence[0] >= 'A' && sentence[0] <= 'Z') {
        sentence[0] = static_cast<char>(sentence[0] - 'A' + 'a');
      }
      return sentence;
    }
    case 202:
      return "values of these kinds cannot be compared or combined";
    case 203:
      return "division by zero";
    case 204:
      return "value " + info + " is not allowed for option " + quote(e.context());
    case 301:
      return "module " + quote(info) + " exists already";
    case 302:
      return "no module " + quote(info);
    case 303:
      return "a presented option must be based on a public option";
    case 305:
      return "a used option must be based on a public option";
    case 306:
      return "an implemented option must be based on a public option";
    case 309:
      return "the node has no module";
    case 500:
      return "the host refused a message rule";
    default:
      break;
  }
  std::string text = "library error " + std::to_string(e.code());
  if (!info.empty()) text += ": " + info;
  return text;
}

int runReported(const std::function<int()>& command) {
  DiagnosticPrinter printer(std::cerr);
  try {
    return command();
  } catch (const ToolError& e) {
    std::cout.flush();
    if (e.diagnostics().empty()) {
      printer.reportText(e.what());
    } else {
      for (const Diagnostic& diagnostic : e.diagnostics()) printer.report(diagnostic);
    }
    return e.status();
  } catch (const TamException& e) {
    printer.report(Diagnostic::general(describeException(e)));
  } catch (const std::bad_alloc&) {
    printer.report(Diagnostic::general("out of memory"));
  } catch (const std::exception& e) {
    printer.report(Diagnostic::general(e.what()));
  } catch (...) {
    printer.report(Diagnostic::general("unexpected failure"));
  }
  return kExitReported;
}
