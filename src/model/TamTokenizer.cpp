#include "model/TamTokenizer.h"

#include <algorithm>
#include <cstring>
#include <iterator>

const char* const TamTokenizer::kLineBreaks = "\n\r";

TamTokenizer::TamTokenizer(std::string_view text, std::string_view delimiters) : text_(text) {
  for (const char delimiter : delimiters) {
    const auto c = static_cast<unsigned char>(delimiter);
    delimiters_[c / kWordBits] |= std::uint64_t{1} << (c % kWordBits);
  }
  std::uint64_t lineBreaks[kWords] = {};
  lineBreaks['\n' / kWordBits] |= std::uint64_t{1} << ('\n' % kWordBits);
  lineBreaks['\r' / kWordBits] |= std::uint64_t{1} << ('\r' % kWordBits);
  lineBreaks_ = std::equal(std::begin(lineBreaks), std::end(lineBreaks), std::begin(delimiters_));
}

size_t TamTokenizer::skipDelimiters(size_t from) const {
  size_t pos = from;
  while (pos < text_.size() && isDelimiter(static_cast<unsigned char>(text_[pos]))) ++pos;
  return pos;
}

// Splitting at line breaks, the common case, searches for each of the two instead of judging
// every byte.
std::string_view TamTokenizer::nextView() {
  const size_t start = skipDelimiters(pos_);
  size_t end = start;
  if (lineBreaks_ && start < text_.size()) {
    const char* const first = text_.data() + start;
    const void* lineFeed = std::memchr(first, '\n', text_.size() - start);
    end = lineFeed != nullptr
              ? static_cast<size_t>(static_cast<const char*>(lineFeed) - first) + start
              : text_.size();
    const void* carriageReturn = std::memchr(first, '\r', end - start);
    if (carriageReturn != nullptr) {
      end = static_cast<size_t>(static_cast<const char*>(carriageReturn) - first) + start;
    }
  }
  while (end < text_.size() && !isDelimiter(static_cast<unsigned char>(text_[end]))) ++end;
  pos_ = end;
  return text_.substr(start, end - start);
}
