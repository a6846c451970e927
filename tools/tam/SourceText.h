// A SourceText is the whole text of one file tam reads, with the library's line index built over
// it once, on the first place asked for, so that any byte offset becomes a place for a diagnostic
// (line, column, the source line) in O(log n) however many problems the file has, and a file that
// has none never pays for it. Like the library, not for use from two threads at once. Lines end at line feeds; a carriage
// return before a line feed belongs to no shown line.
#ifndef TAM_TOOL_SOURCETEXT_H
#define TAM_TOOL_SOURCETEXT_H

#include <tam/libtam.h>

#include <cstddef>
#include <memory>
#include <string>

#include "Diagnostics.h"

class SourceText {
 public:
  SourceText() : SourceText(std::string(), std::string()) {}
  SourceText(const std::string& path, std::string text);

  const std::string& path() const { return path_; }
  const std::string& text() const { return *text_; }
  // The text itself, to share with what keeps it as long as it needs it (the library's modules).
  const std::shared_ptr<const std::string>& sharedText() const { return text_; }
  const TamLineIndex& lines() const;

  // The text of a 1-based line without its line end; empty for a line out of range.
  std::string line(int number) const;
  // The place of a byte offset, underlining up to `end` (an offset past it) when it is on the
  // same line. An offset past the text gives the file alone.
  SourcePlace place(std::size_t offset, std::size_t end = 0) const;
  // A whole line, without a column.
  SourcePlace placeOfLine(int number) const;

 private:
  std::string path_;
  std::shared_ptr<const std::string> text_;  // never null, never changed
  mutable std::shared_ptr<const TamLineIndex> lines_;  // null until lines() is first called
};

#endif  // TAM_TOOL_SOURCETEXT_H
