// How the tam command reports problems. A Diagnostic is one located problem in a file, printed in
// the layout GCC and Clang use (`file:line:column: error: message`, the source line, a caret line)
// so that editors can jump to it. A ToolError is a failure that ends a command: its message
// already names the file and, where there is one, the line, and it carries the exit status.
// describeException() turns a library exception into a sentence a product engineer can act on.
#ifndef TAM_TOOL_DIAGNOSTICS_H
#define TAM_TOOL_DIAGNOSTICS_H

#include <tam/libtam.h>

#include <stdexcept>
#include <string>

// Exit statuses shared by all commands.
constexpr int kExitOk = 0;
// Something was reported: an error message, a finding, a problem in a module file, or a failure
// while evaluating.
constexpr int kExitReported = 1;
// The command line or the product file cannot be used.
constexpr int kExitUsage = 2;

class ToolError : public std::runtime_error {
 public:
  ToolError(const std::string& message, int status)
      : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

struct Diagnostic {
  std::string file;
  int line = 0;    // 1-based; 0 when the problem has no line
  int column = 0;  // 1-based; 0 when the problem has no column
  std::string severity = "error";
  std::string message;
  std::string sourceLine;  // shown with a caret under `column` when not empty

  // file:line:column: severity: message, then the source line and the caret line.
  std::string format() const;
};

// A source line (without its line end) and under it a caret at the 1-based column, tabs kept so
// that the caret lines up; each line begins with `indent` and ends with a line feed.
std::string sourceWithCaret(const std::string& sourceLine, int column, const std::string& indent);

// The message of a library exception, without location.
std::string describeException(const TamException& e);

// 1-based line and column of a byte offset in a text (lines end at line feeds).
void lineAndColumn(const std::string& text, std::size_t offset, int& line, int& column);

// The line `line` (1-based) of a text, without its line end; empty when there is no such line.
std::string lineOf(const std::string& text, int line);

#endif  // TAM_TOOL_DIAGNOSTICS_H
