// A TamLineIndex turns byte offsets of one text into lines and columns (see TamSourcePos). It is
// built once per text, in one pass, and keeps only where each line starts: it does not keep or
// borrow the text, so it stays valid after the text is gone, and answers for that text only.
// Every line feed ends a line; a text of n line feeds has n + 1 lines, so the empty text has one
// empty line and a text ending in a line feed has an empty last line. A query costs O(log n) in
// the number of lines. Texts of 4 GiB - 1 bytes or more are indexed up to that size.
#ifndef TAM_TAMLINEINDEX_H
#define TAM_TAMLINEINDEX_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamSourcePos.h"

class TAM_API TamLineIndex {
 public:
  // Indexes the lines of text.
  explicit TamLineIndex(const std::string& text);

  // The place of a byte offset. The end of the text (offset == size) is a place, just past the
  // last byte; an offset beyond it, or kNoOffset, gives the unknown place.
  TamSourcePos position(std::size_t offset) const;

  // The number of lines, at least 1.
  int lineCount() const { return static_cast<int>(starts_.size()); }
  // The offset of the first byte of a 1-based line. A line out of range gives the text size.
  std::size_t lineStart(int line) const;
  // The offset just past the last byte of a line, its line feed excluded (a CR before the line
  // feed is part of the line). A line out of range gives the text size.
  std::size_t lineEnd(int line) const;
  // The size of the text indexed.
  std::size_t size() const { return size_; }

 private:
  std::vector<std::uint32_t> starts_;  // offset of the first byte of each line, ascending
  std::uint32_t size_ = 0;
};

#endif  // TAM_TAMLINEINDEX_H
