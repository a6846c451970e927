#include "model/TamTokenizer.h"

const char* const TamTokenizer::kLineBreaks = "\n\r";

size_t TamTokenizer::skipDelimiters(size_t from) const {
  size_t pos = text_.find_first_not_of(delimiters_, from);
  return pos == std::string_view::npos ? text_.size() : pos;
}

std::string_view TamTokenizer::nextView() {
  size_t start = skipDelimiters(pos_);
  size_t end = text_.find_first_of(delimiters_, start);
  if (end == std::string_view::npos) end = text_.size();
  pos_ = end;
  return text_.substr(start, end - start);
}
