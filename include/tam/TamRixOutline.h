// A TamRixOutline is a read-only picture of parsed RIX rules or of a parsed condition, for hosts
// that show, check or explain rules: every statement, option reference and value expression of
// the tree the library's own parser built, with exact places in the text. It is a plain value:
// it owns a copy of the text and its nodes, and stays valid and unchanged when the tree or the
// root it was taken from is gone. Building one never changes a module, an option or a window.
//
// The nodes form a flat vector in text order (a node comes before its children, children in the
// order they are written); top() is the index of the statement list or condition. Places are
// TamSourcePos values in the outline's text: begin is the first byte of the construct and end
// the place just past its last byte. Lines count every line feed, also those in quoted strings.
//
// A text that does not parse gives an outline without nodes whose failure() says what the thrown
// TamSyntaxError would have said, and exactly where. Reading rules stops silently at a stray
// top-level "endif", "else" or "elif", as the library does; stoppedEarly() and stopPosition()
// tell where. (Reading text parses it as the library always does: a failed parse constructs its
// TamSyntaxError, so a throw callback installed with TamException::setThrowCallback hears of it,
// and its message is asked of the adapter's localizeString.)
#ifndef TAM_TAMRIXOUTLINE_H
#define TAM_TAMRIXOUTLINE_H

#include <cstddef>
#include <string>
#include <vector>

#include "tam/Tam.h"
#include "tam/TamExport.h"
#include "tam/TamLineIndex.h"
#include "tam/TamParseFailure.h"
#include "tam/TamPath.h"
#include "tam/TamSourcePos.h"
#include "tam/TamValue.h"
#include "tam/ref_count.h"

class TamConditionExp;
class TamExpRoot;

class TAM_API TamRixOutline {
 public:
  enum Kind {
    KIND_STATEMENTS = 0,       // a statement list; children: the statements
    KIND_IF = 1,               // children: condition, then part, else part (-1 when absent)
    KIND_SET = 2,              // children: option reference, value
    KIND_FIX = 3,              // children: option reference, value
    KIND_MESSAGE = 4,          // inform, warn or error (severity); children: the text value
    KIND_EXCLUSIVE_OPTIONS = 5,  // mutually_exclusive : [a, b]; children: option references
    KIND_EXCLUSIVE_VALUES = 6,   // mutually_exclusive : {a.x, b.y}; children: reference, literal, ...
    KIND_LITERAL = 7,          // value
    KIND_OPTION_VALUE = 8,     // the value of an option; children: its option reference
    KIND_OPTION_REFERENCE = 9,  // moduleId, optionName, path and their places
    KIND_PLUS = 10,            // children of the operators: left, right
    KIND_MINUS = 11,
    KIND_MULTIPLY = 12,
    KIND_DIVIDE = 13,
    KIND_EQ = 14,
    KIND_NE = 15,
    KIND_LT = 16,
    KIND_GT = 17,
    KIND_LE = 18,
    KIND_GE = 19,
    KIND_AND = 20,
    KIND_OR = 21,
    KIND_NOT = 22              // children: the operand
  };

  struct Node {
    Kind kind = KIND_STATEMENTS;
    int parent = -1;            // -1 for the top node
    std::vector<int> children;  // indices into nodes(), as listed with each kind
    TamSourcePos begin;
    TamSourcePos end;
    // Statements: the line the library stamps into an exception the statement raises (the
    // lexer's line of the token after it); 0 for lists, mutually exclusive rules and values.
    int exceptionLine = 0;
    // KIND_MESSAGE.
    Tam::MsgSeverity severity = Tam::MSG_INFORM;
    // KIND_LITERAL. A parenthesised value's range takes in its parentheses; the 0 the parser
    // puts before a prefix "-" (minus(0, x)) has the empty range at the "-".
    ref_count_ptr<TamValue> value;
    // KIND_OPTION_REFERENCE. The names of mutually exclusive rules have no module id (empty,
    // moduleIdPos unknown). pathBegin is the "[" and pathEnd just past the "]", both unknown when
    // no path was written.
    std::string moduleId;
    std::string optionName;
    TamPath path;
    TamSourcePos moduleIdPos;
    TamSourcePos optionNamePos;
    TamSourcePos pathBegin;
    TamSourcePos pathEnd;
    // KIND_IF: begin is its "if" (or the "elif" that opened it, for a link of an elif chain).
    // elsePos is the "elif" or "else" that ends the then part (unknown when neither does),
    // endifPos the "endif" that closes the whole chain.
    TamSourcePos elsePos;
    TamSourcePos endifPos;
  };

  // The outline of a rule body, parsed as TamModule::setRix parses it.
  static TamRixOutline fromRules(const std::string& rules);
  // The outline of a condition, parsed as TamNode::setLoadIf parses it.
  static TamRixOutline fromCondition(const std::string& condition);
  // The outline of a root the library has parsed already (TamModule::getRix()).
  static TamRixOutline fromRoot(const TamExpRoot& root);
  static TamRixOutline fromRoot(const TamConditionExp& condition);

  TamRixOutline(const TamRixOutline&) = default;
  TamRixOutline& operator=(const TamRixOutline&) = default;
  TamRixOutline(TamRixOutline&&) = default;
  TamRixOutline& operator=(TamRixOutline&&) = default;

  const std::string& text() const { return text_; }
  const TamLineIndex& lines() const { return lines_; }
  const std::vector<Node>& nodes() const { return nodes_; }
  // The statement list or the condition; -1 when there is none (no statement, or a failure).
  int top() const { return top_; }

  bool failed() const { return failed_; }
  // The syntax error; meaningful only when failed().
  const TamParseFailure& failure() const { return failure_; }

  // Rules only: reading stopped at a stray top-level "endif", "else" or "elif" before the end
  // of the text, and where that token stands (unknown otherwise).
  bool stoppedEarly() const { return stopPosition_.isKnown(); }
  TamSourcePos stopPosition() const { return stopPosition_; }

  // The name of a kind as print() shows it ("set", "reference", "plus", ...).
  static const char* kindName(Kind kind);
  // One line per node, indented by depth, with its places ("line:column"), followed by the
  // failure or the early stop: the form tests compare. Meant for tests and debugging; its size
  // grows with the square of the nesting depth.
  std::string print() const;
  // The tree in the compact form the library's parsed nodes print themselves in, such as
  // [set(m:a, plus(1, m:b))]; "null" without a top node.
  std::string dumpTree() const;

 private:
  class Builder;
  explicit TamRixOutline(const std::string& text);

  std::string text_;
  TamLineIndex lines_;
  std::vector<Node> nodes_;
  int top_ = -1;
  bool failed_ = false;
  TamParseFailure failure_;
  TamSourcePos stopPosition_;
};

#endif  // TAM_TAMRIXOUTLINE_H
