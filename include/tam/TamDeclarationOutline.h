// A TamDeclarationOutline is a read-only picture of one option declaration line, such as
//   public size integer "Engine size" : mandatory = 1 to 4, 8 default 2
// with every part as the library's declaration parser read it and its exact place in the line.
// Reading never creates or changes an option. Read alone, a line never asks the host for a module
// either: base options are not looked up, so the "=" list of an implements or uses declaration,
// whose meaning depends on the base's value type, is read by what is written (strings as strings,
// numbers as integers or reals by their spelling), and everything else exactly as
// TamModule::addOptionString reads it, with the same syntax errors, except the checks that need
// the base option. Read for a window, base options are looked up as addOptionString looks them up,
// so that every syntax error is addOptionString's.
//
// It is a plain value that owns a copy of the line. A line that does not parse keeps the parts
// read before the error, and failure() says what the thrown TamSyntaxError would have said and
// exactly where. (The TamSyntaxError is still constructed, so a throw callback hears of it.)
#ifndef TAM_TAMDECLARATIONOUTLINE_H
#define TAM_TAMDECLARATIONOUTLINE_H

#include <cstddef>
#include <string>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamLineIndex.h"
#include "tam/TamOptionValue.h"
#include "tam/TamParseFailure.h"
#include "tam/TamPath.h"
#include "tam/TamSourcePos.h"
#include "tam/TamValue.h"
#include "tam/ref_count.h"

class TamDeclarationParser;
class TamWindow;

class TAM_API TamDeclarationOutline {
 public:
  // One part of the line: its value (identifiers and strings unquoted and unescaped, keywords as
  // written) and its place, begin at its first byte and end just past its last. A part the line
  // does not hold has an empty text and unknown places.
  struct Part {
    std::string text;
    TamSourcePos begin;
    TamSourcePos end;
    bool isPresent() const { return begin.isKnown(); }
  };

  // A value constraint as written after "=", as the parser built it (kind(), value(), range()).
  struct Constraint {
    ref_count_ptr<TamOptionValue> constraint;
    TamSourcePos begin;
    TamSourcePos end;
  };

  // The option a presents, implements or uses declaration is based on.
  struct Reference {
    Part moduleId;
    Part optionName;
    TamPath path;          // presents only
    TamSourcePos pathBegin;  // the "[", unknown when no path was written
    TamSourcePos pathEnd;    // just past the "]"
  };

  // The default clause: the "default" keyword and the value (with its sign, if one is written).
  struct Default {
    ref_count_ptr<TamValue> value;  // null when the line has no default
    TamSourcePos keyword;
    TamSourcePos begin;
    TamSourcePos end;
  };

  // Reads one declaration line without looking any base option up.
  static TamDeclarationOutline read(const std::string& declaration);
  // Reads it as a module of this window would: the base option is looked up (the host may be asked
  // to load its module), the "=" list read by its value type and the default judged against it.
  // A base that cannot be looked up raises what TamOption::findOption raises (302, 102, ...).
  static TamDeclarationOutline read(const std::string& declaration,
                                    const ref_count_ptr<TamWindow>& window);

  const std::string& text() const { return text_; }
  const TamLineIndex& lines() const { return lines_; }
  bool failed() const { return failed_; }
  // The syntax error; meaningful only when failed().
  const TamParseFailure& failure() const { return failure_; }

  // "public" or "private".
  const Part& scope() const { return scope_; }
  const Part& name() const { return name_; }
  // The word after the name as written: "string", "integer", "real", "logical", "presents",
  // "implements" or "uses" in a valid line.
  const Part& type() const { return type_; }
  const Part& description() const { return description_; }
  // The "mandatory" keyword of ": mandatory".
  const Part& mandatory() const { return mandatory_; }
  // The "non_mutually_exclusive" keyword.
  const Part& nonMutuallyExclusive() const { return nonMutuallyExclusive_; }
  // Presents, implements and uses only.
  const Reference& base() const { return base_; }
  // The constraints written after "=", in order (none for a line without "=": the library then
  // allows any value of the type).
  const std::vector<Constraint>& constraints() const { return constraints_; }
  const Default& defaultValue() const { return default_; }

  // Every part with its places ("line:column"), one per line, then the failure: the form tests
  // compare.
  std::string print() const;

 private:
  friend class TamDeclarationParser;
  explicit TamDeclarationOutline(const std::string& text);
  // A part of the line between two byte offsets.
  Part part(const std::string& value, std::size_t begin, std::size_t end) const;

  std::string text_;
  TamLineIndex lines_;
  bool failed_ = false;
  TamParseFailure failure_;
  Part scope_;
  Part name_;
  Part type_;
  Part description_;
  Part mandatory_;
  Part nonMutuallyExclusive_;
  Reference base_;
  std::vector<Constraint> constraints_;
  Default default_;
};

#endif  // TAM_TAMDECLARATIONOUTLINE_H
