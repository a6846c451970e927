// TamTokenizer splits a text at a set of delimiter characters. Module texts are read line by line
// with it (line feed and carriage return as delimiters), so runs of line breaks and blank lines
// separate lines and no line returned is empty. Lines are not trimmed.
// The tokenizer reads the text in place: the text and the delimiters are borrowed and must
// outlive it and every view it returns.
#ifndef TAM_SRC_MODEL_TAMTOKENIZER_H
#define TAM_SRC_MODEL_TAMTOKENIZER_H

#include <cstdint>
#include <string>
#include <string_view>

class TamTokenizer {
 public:
  // The delimiters that end a line of module text.
  static const char* const kLineBreaks;

  TamTokenizer(std::string_view text, std::string_view delimiters);
  // A temporary text would be gone before it is read.
  TamTokenizer(std::string&& text, std::string_view delimiters) = delete;

  // The next run of non-delimiters; empty at the end of the text.
  std::string_view nextView();
  // Everything after the delimiters that follow the read position; the position does not move.
  std::string_view remainderView() const { return text_.substr(skipDelimiters(pos_)); }
  // The same as copies.
  std::string nextToken() { return std::string(nextView()); }
  std::string remainder() const { return std::string(remainderView()); }

 private:
  size_t skipDelimiters(size_t from) const;
  bool isDelimiter(unsigned char c) const {
    return ((delimiters_[c / kWordBits] >> (c % kWordBits)) & 1u) != 0;
  }

  // The delimiters as one bit per byte value, so that each byte of the text is judged by one
  // lookup rather than by a search through the delimiters.
  static constexpr unsigned kWordBits = 64;
  static constexpr unsigned kWords = 256 / kWordBits;
  std::string_view text_;
  std::uint64_t delimiters_[kWords] = {};
  bool lineBreaks_ = false;  // the delimiters are the line breaks, no more and no fewer
  size_t pos_ = 0;
};

#endif  // TAM_SRC_MODEL_TAMTOKENIZER_H
