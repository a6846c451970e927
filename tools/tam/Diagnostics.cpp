#include "Diagnostics.h"

namespace {

std::string quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

std::string Diagnostic::format() const {
  std::string out = file;
  if (line > 0) {
    out += ":" + std::to_string(line);
    if (column > 0) out += ":" + std::to_string(column);
  }
  out += ": " + severity + ": " + message + "\n";
  if (column > 0 && line > 0) out += sourceWithCaret(sourceLine, column, "");
  return out;
}

std::string sourceWithCaret(const std::string& sourceLine, int column, const std::string& indent) {
  std::string source = sourceLine;
  if (!source.empty() && source.back() == '\r') source.pop_back();
  std::string caret;
  for (std::size_t i = 0; i + 1 < static_cast<std::size_t>(column); ++i) {
    caret += (i < source.size() && source[i] == '\t') ? '\t' : ' ';
  }
  return indent + source + "\n" + indent + caret + "^\n";
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
      return info;
    case 101:
      return "option " + quoted(info) + " is already declared with another kind or scope";
    case 102:
      return "no option " + quoted(info);
    case 103:
      return "internal library error: a selected option set was asked for a null option";
    case 105:
      return "default value " + info + " is not allowed for this option";
    case 106:
      if (e.context() == e.extrainfo2()) {
        return "mutually exclusive rule: option " + quoted(e.context()) +
               " holds more than one value";
      }
      return "mutually exclusive rule: options " + quoted(e.context()) + " and " +
             quoted(e.extrainfo2()) + " both hold a value";
    case 107:
      return "option value mutually exclusive rule: " + quoted(e.context()) + " and " +
             quoted(e.extrainfo2()) + " are both selected";
    case 109:
      return "option " + quoted(info) + " is still the base of another option";
    case 110:
      return "no option with this identifier";
    case 112:
      return "the value type does not match the base option's value type";
    case 113:
      return "mandatory option " + quoted(info) + " has no value";
    case TamOption::kBaseChainLoopCode:
      return info;  // a whole sentence naming the option and whether the chain loops
    case 202:
      return "values of these kinds cannot be compared or combined";
    case 203:
      return "division by zero";
    case 204:
      return "value " + info + " is not allowed for option " + quoted(e.context());
    case 301:
      return "module " + quoted(info) + " exists already";
    case 302:
      return "no module " + quoted(info);
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

void lineAndColumn(const std::string& text, std::size_t offset, int& line, int& column) {
  line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  column = static_cast<int>(offset - lineStart) + 1;
}

std::string lineOf(const std::string& text, int line) {
  if (line < 1) return "";
  std::size_t start = 0;
  for (int current = 1; current < line; ++current) {
    start = text.find('\n', start);
    if (start == std::string::npos) return "";
    ++start;
  }
  std::size_t end = text.find('\n', start);
  std::string result =
      text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (!result.empty() && result.back() == '\r') result.pop_back();
  return result;
}
