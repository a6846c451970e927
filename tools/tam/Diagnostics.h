// How every tam command reports problems: one style for all of them, the one GCC and Clang use.
//
//   modules/cpu.rix:7:18: error: cannot set integer option 'cpu:cores' to a string
//   set cpu:cores to "many"
//                    ^~~~~~
//   modules/cpu.rix:3:32: note: 'cpu:cores' allows 1 to 64
//   public cores integer "Cores" = 1 to 64 default 4
//                                  ^~~~~~~
//
// A Diagnostic is one problem: a severity, a place (file, line, byte column, the run of bytes to
// underline, the source line to show), a message in lower case, an optional code shown as
// " [CODE]", and notes at related places. A DiagnosticPrinter writes diagnostics to a stream,
// counts them, colours them on a terminal (error red, warning magenta, note cyan, caret green)
// and stops showing them after the error limit, still counting the rest. Source lines are shown
// safely: control characters and bytes that are not UTF-8 as <U+0000> and <FF>, very long lines
// as a window around the caret.
//
// The options every command shares (--color, and --werror and --error-limit where they apply)
// are process-wide, filled once from the command line: a command registers them on its
// subcommand with addDiagnosticOptions() and then simply makes a DiagnosticPrinter for std::cout
// or std::cerr. A failure that ends a command is thrown as a ToolError carrying its diagnostic
// and exit status; main prints it.
#ifndef TAM_TOOL_DIAGNOSTICS_H
#define TAM_TOOL_DIAGNOSTICS_H

#include <tam/libtam.h>

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace CLI {
class App;
}  // namespace CLI

// Exit statuses shared by all commands (tam --help lists them).
constexpr int kExitOk = 0;
// Errors were reported (or warnings, with --werror).
constexpr int kExitReported = 1;
// The command line or the input cannot be used.
constexpr int kExitUsage = 2;

enum class Severity { kError, kWarning, kNote };

// "error", "warning", "note".
const char* severityName(Severity severity);

// Where a diagnostic points. Without a file the diagnostic is about tam itself ("tam: error:").
// A line of 0 names the file only; a column of 0 the line only. The source line is shown, with a
// caret under the column and '~' under the rest of the underlined run, when line, column and
// source line are all there.
struct SourcePlace {
  std::string file;
  int line = 0;
  int column = 0;          // 1-based, in bytes
  int length = 0;          // bytes underlined from the column on (within the line); 0: caret only
  std::string sourceLine;  // as read, without its line end

  static SourcePlace fileOnly(const std::string& file);
  static SourcePlace fileLine(const std::string& file, int line, const std::string& sourceLine);
};

struct Diagnostic {
  Severity severity = Severity::kError;
  SourcePlace place;
  std::string message;
  std::string code;  // a stable name for the kind of problem, such as VE_RULE_OPTION_NOT_IN_SCOPE
  std::vector<Diagnostic> notes;

  static Diagnostic error(const SourcePlace& place, const std::string& message);
  static Diagnostic warning(const SourcePlace& place, const std::string& message);
  // A problem of tam itself or of its command line: "tam: error: message".
  static Diagnostic general(const std::string& message);
  // Adds a note at a related place; returns this diagnostic, so that notes chain.
  Diagnostic& note(const SourcePlace& place, const std::string& message);
};

enum class ColorMode { kAuto, kAlways, kNever };

// Compilers show this many errors by default before they stop showing them.
constexpr std::size_t kDefaultErrorLimit = 50;

struct DiagnosticOptions {
  ColorMode color = ColorMode::kAuto;
  std::size_t errorLimit = kDefaultErrorLimit;  // 0: show every error
  bool warningsAsErrors = false;
};

// The options of this run of tam.
DiagnosticOptions& diagnosticOptions();

// Registers --color=auto|always|never on a command.
void addDiagnosticOptions(CLI::App* command);
// Registers --werror (warnings make the exit status 1) on a command that reports warnings.
void addWarningOptions(CLI::App* command);
// Registers --error-limit N on a command that may report many errors.
void addErrorLimitOption(CLI::App* command);

// Whether output to this file descriptor is coloured under this mode: always, never, or (auto)
// when it is a terminal, the environment variable NO_COLOR is unset or empty, and TERM is not
// "dumb".
bool colourWanted(ColorMode mode, int fileDescriptor);

class DiagnosticPrinter {
 public:
  // Prints to std::cout or std::cerr as the process-wide options say.
  explicit DiagnosticPrinter(std::ostream& out);
  DiagnosticPrinter(std::ostream& out, bool colour, std::size_t errorLimit, bool werror);
  DiagnosticPrinter(const DiagnosticPrinter&) = delete;
  DiagnosticPrinter& operator=(const DiagnosticPrinter&) = delete;

  // Counts the diagnostic and prints it with its notes, unless the error limit was reached.
  void report(const Diagnostic& diagnostic);
  // Prints text whose lines may begin "PLACE: error: ", "PLACE: warning: " or "PLACE: note: ",
  // colouring those parts. For messages built as text.
  void reportText(const std::string& text);
  // After the last report: one note saying how many diagnostics the limit kept back, if any.
  void reportHidden();

  std::size_t errors() const { return errors_; }
  std::size_t warnings() const { return warnings_; }
  std::size_t hidden() const { return hidden_; }
  // Errors were reported, or warnings under --werror.
  bool failed() const { return errors_ > 0 || (werror_ && warnings_ > 0); }
  int exitStatus() const { return failed() ? kExitReported : kExitOk; }

  // The text of one diagnostic with its notes, as report() prints it.
  std::string render(const Diagnostic& diagnostic) const;

 private:
  std::string renderOne(const Diagnostic& diagnostic) const;
  std::string paint(const char* style, const std::string& text) const;

  std::ostream& out_;
  bool colour_;
  std::size_t errorLimit_;
  bool werror_;
  std::size_t errors_ = 0;
  std::size_t warnings_ = 0;
  std::size_t hidden_ = 0;
  bool limitReached_ = false;
};

// A failure that ends a command: what to print and the exit status.
class ToolError : public std::runtime_error {
 public:
  ToolError(const Diagnostic& diagnostic, int status);
  ToolError(const std::vector<Diagnostic>& diagnostics, int status);
  // Text already laid out as "PLACE: error: message" lines.
  ToolError(const std::string& text, int status);
  int status() const { return status_; }
  // Empty for an error given as text.
  const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }

 private:
  std::vector<Diagnostic> diagnostics_;
  int status_;
};

// The text of a diagnostic with its notes, without colour, as it would be printed.
std::string plainText(const Diagnostic& diagnostic);
// The text of a ToolError as it would be printed, without colour: its diagnostics, or its text
// followed by a line end.
std::string plainText(const ToolError& error);

// Throws ToolError "tam: error: message" with kExitUsage.
[[noreturn]] void failUsage(const std::string& message);

// A source line (without its line end) and under it a caret at the 1-based column, shown as
// diagnostics show them (tabs kept, control characters spelled out, long lines cut to a window);
// each line begins with `indent` and ends with a line feed.
std::string sourceWithCaret(const std::string& sourceLine, int column, const std::string& indent);

// The message of a library exception in tam's words, without location.
std::string describeException(const TamException& e);

// Runs a chosen command and returns its exit status; whatever it throws is printed as a
// diagnostic on std::cerr and becomes kExitReported (a ToolError: its own status).
int runReported(const std::function<int()>& command);

// A name as diagnostics quote it: in single quotes, cut short when very long.
std::string quote(const std::string& name);

#endif  // TAM_TOOL_DIAGNOSTICS_H
