// A TamSourcePos is one place in a text the library has read: the byte offset, the line and the
// column. Lines count every line feed of the text (also those inside quoted strings), both line
// and column start at 1, and the column counts bytes, so a tab is one column and a CR of a CR LF
// line end is the last byte of its line. A plain value; the unknown place has offset kNoOffset
// and line and column 0.
//
// Offsets are 32-bit, the width parsed trees keep them in: a place at or beyond 4 GiB - 1 in a
// text is unknown.
#ifndef TAM_TAMSOURCEPOS_H
#define TAM_TAMSOURCEPOS_H

#include <cstddef>
#include <cstdint>

struct TamSourcePos {
  // The offset kept for a place that was not recorded.
  static constexpr std::uint32_t kNoOffset = 0xFFFFFFFFu;

  std::uint32_t offset = kNoOffset;
  int line = 0;
  int column = 0;

  bool isKnown() const { return offset != kNoOffset; }

  // A byte offset narrowed to the kept width; kNoOffset when it does not fit.
  static std::uint32_t narrow(std::size_t offset) {
    return offset < kNoOffset ? static_cast<std::uint32_t>(offset) : kNoOffset;
  }

  bool operator==(const TamSourcePos& other) const {
    return offset == other.offset && line == other.line && column == other.column;
  }
  bool operator!=(const TamSourcePos& other) const { return !(*this == other); }
};

#endif  // TAM_TAMSOURCEPOS_H
