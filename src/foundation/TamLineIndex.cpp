#include "tam/TamLineIndex.h"

#include <algorithm>

namespace {

// Offsets from kNoOffset on cannot be kept: a longer text is indexed up to just below it.
std::uint32_t indexedSize(std::size_t size) {
  return static_cast<std::uint32_t>(
      std::min<std::size_t>(size, std::size_t{TamSourcePos::kNoOffset} - 1));
}

}  // namespace

TamLineIndex::TamLineIndex(const std::string& text) : size_(indexedSize(text.size())) {
  starts_.push_back(0);
  for (std::uint32_t i = 0; i < size_; ++i) {
    if (text[i] == '\n') starts_.push_back(i + 1);
  }
}

TamSourcePos TamLineIndex::position(std::size_t offset) const {
  TamSourcePos place;
  if (offset > size_) return place;
  // The last line starting at or before the offset.
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  const std::size_t line = static_cast<std::size_t>(after - starts_.begin());
  place.offset = static_cast<std::uint32_t>(offset);
  place.line = static_cast<int>(line);
  place.column = static_cast<int>(offset - starts_[line - 1]) + 1;
  return place;
}

std::size_t TamLineIndex::lineStart(int line) const {
  if (line < 1 || line > lineCount()) return size_;
  return starts_[static_cast<std::size_t>(line - 1)];
}

std::size_t TamLineIndex::lineEnd(int line) const {
  if (line < 1 || line >= lineCount()) return size_;
  return starts_[static_cast<std::size_t>(line)] - 1;
}
