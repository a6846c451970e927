#include "model/TamTokenizer.h"

const char* const TamTokenizer::kLineBreaks = "\n\r";

TamTokenizer::TamTokenizer(std::string_view text, std::string_view delimiters) : text_(text) {
  for (const char delimiter : delimiters) {
    const auto c = static_cast<unsigned char>(delimiter);
    delimiters_[c / kWordBits] |= std::uint64_t{1} << (c % kWordBits);
  }
}

size_t TamTokenizer::skipDelimiters(size_t from) const {
  size_t pos = from;
  while (pos < text_.size() && isDelimiter(static_cast<unsigned char>(text_[pos]))) ++pos;
  return pos;
}

std::string_view TamTokenizer::nextView() {
  const size_t start = skipDelimiters(pos_);
  size_t end = start;
  while (end < text_.size() && !isDelimiter(static_cast<unsigned char>(text_[end]))) ++end;
  pos_ = end;
  return text_.substr(start, end - start);
}
