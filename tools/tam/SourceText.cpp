#include "SourceText.h"

#include <utility>

SourceText::SourceText(const std::string& path, std::string text)
    : path_(path),
      text_(std::make_shared<const std::string>(std::move(text))) {}

const TamLineIndex& SourceText::lines() const {
  if (!lines_) lines_ = std::make_shared<const TamLineIndex>(*text_);
  return *lines_;
}

std::string SourceText::line(int number) const {
  const TamLineIndex& lines = this->lines();
  if (number < 1 || number > lines.lineCount()) return "";
  const std::size_t start = lines.lineStart(number);
  std::size_t end = lines.lineEnd(number);
  if (end > start && (*text_)[end - 1] == '\r') --end;
  return text_->substr(start, end - start);
}

SourcePlace SourceText::place(std::size_t offset, std::size_t end) const {
  const TamLineIndex& lines = this->lines();
  const TamSourcePos pos = lines.position(offset);
  if (!pos.isKnown()) return SourcePlace::fileOnly(path_);
  SourcePlace place = SourcePlace::fileLine(path_, pos.line, line(pos.line));
  place.column = pos.column;
  const std::size_t lineEnd = lines.lineStart(pos.line) + place.sourceLine.size();
  if (end > offset) {
    place.length = static_cast<int>(std::min(end, lineEnd) - std::min(offset, lineEnd));
  }
  return place;
}

SourcePlace SourceText::placeOfLine(int number) const {
  return SourcePlace::fileLine(path_, number, line(number));
}
