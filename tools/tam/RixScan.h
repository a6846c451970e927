// A light scan of RIX text that finds where things stand, so that diagnostics can point at them:
// the option references (module:option), the message statements with the literal text they begin
// with, and the option names of mutually exclusive rules. It follows the library's token rules
// (comments, quoted strings and identifiers, keywords only when a blank or the end follows) but
// judges no syntax: the library's parsers stay the judge, this scan only places what they accept.
#ifndef TAM_TOOL_RIXSCAN_H
#define TAM_TOOL_RIXSCAN_H

#include <tam/libtam.h>

#include <string>
#include <vector>

struct RixReference {
  std::string moduleId;
  std::string optionName;
  std::size_t offset = 0;        // where the module id begins
  std::size_t optionOffset = 0;  // where the option name begins
};

struct RixMessage {
  Tam::MsgSeverity severity = Tam::MSG_INFORM;
  bool hasLiteral = false;  // the message value begins with a string literal
  std::string literal;      // that literal, unescaped
  std::size_t offset = 0;   // where the keyword begins
};

struct RixExclusiveName {
  std::string name;
  std::size_t offset = 0;
  std::size_t ruleOffset = 0;  // where its "mutually_exclusive" keyword begins
};

struct RixScan {
  std::vector<RixReference> references;
  std::vector<RixMessage> messages;
  std::vector<RixExclusiveName> exclusiveNames;
};

RixScan scanRix(const std::string& text);

// The line (1-based within the rules text, as RixScan offsets count) of the message statement that
// most likely emitted `message` with this severity: the one whose leading literal is the longest
// prefix of the message. 0 when no statement or more than one fits.
int messageLine(const std::string& rules, const RixScan& scan, Tam::MsgSeverity severity,
                const std::string& message);

// The statement that a line number reported by the library stands for. A statement carries the
// line of the token that follows it (for an if statement, the token after its "endif"; for an
// if with "elif" branches, also the "elif"), counted as the library counts lines (line feeds
// inside quoted tokens do not count). Returns the offset where that statement begins.
bool statementForLine(const std::string& rules, int reportedLine, std::size_t& offset);

// The mutually exclusive rule that names both options. Returns where its keyword begins.
bool exclusiveRuleNaming(const RixScan& scan, const std::string& first, const std::string& second,
                         std::size_t& offset);

#endif  // TAM_TOOL_RIXSCAN_H
