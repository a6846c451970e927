// TamTokenizer splits a text at a set of delimiter characters. Module texts are read line by line
// with it (line feed and carriage return as delimiters), so runs of line breaks and blank lines
// separate lines and no line returned is empty. Lines are not trimmed.
#ifndef TAM_SRC_MODEL_TAMTOKENIZER_H
#define TAM_SRC_MODEL_TAMTOKENIZER_H

#include <string>

class TamTokenizer {
 public:
  // The delimiters that end a line of module text.
  static const char* const kLineBreaks;

  TamTokenizer(const std::string& text, const std::string& delimiters)
      : text_(text), delimiters_(delimiters) {}

  // The next run of non-delimiters; the empty string at the end of the text.
  std::string nextToken();
  // Everything after the delimiters that follow the read position; the position does not move.
  std::string remainder();

 private:
  size_t skipDelimiters(size_t from) const;

  std::string text_;
  std::string delimiters_;
  size_t pos_ = 0;
};

#endif  // TAM_SRC_MODEL_TAMTOKENIZER_H
