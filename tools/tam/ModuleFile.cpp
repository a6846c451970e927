#include "ModuleFile.h"

#include <algorithm>

#include "Diagnostics.h"
#include "Files.h"

namespace {

const char kModulePrefix[] = "module ";
const std::size_t kModulePrefixLength = sizeof(kModulePrefix) - 1;

bool isLineBreak(char c) { return c == '\n' || c == '\r'; }

bool isModuleLine(const std::string& line) {
  return line.size() >= kModulePrefixLength &&
         line.compare(0, kModulePrefixLength, kModulePrefix) == 0;
}

// Reads lines as the library's tokenizer does, counting line feeds for the file line numbers.
class LineReader {
 public:
  explicit LineReader(const std::string& text) : text_(text) {}

  // The next non-empty line; an empty text at the end.
  ModuleLine next() {
    skipBreaks();
    ModuleLine result;
    result.line = line_;
    result.offset = pos_;
    std::size_t start = pos_;
    while (pos_ < text_.size() && !isLineBreak(text_[pos_])) ++pos_;
    result.text = text_.substr(start, pos_ - start);
    return result;
  }

  // Everything after the line breaks that follow the last line taken.
  std::string remainder(int& line, std::size_t& offset) {
    skipBreaks();
    line = line_;
    offset = pos_;
    return text_.substr(pos_);
  }

 private:
  void skipBreaks() {
    while (pos_ < text_.size() && isLineBreak(text_[pos_])) {
      if (text_[pos_] == '\n') ++line_;
      ++pos_;
    }
  }

  const std::string& text_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

ModuleFile ModuleFile::read(const std::string& path) {
  return fromText(path, readTextFile(path, TextFileKind::kModule));
}

ModuleFile ModuleFile::fromText(const std::string& path, const std::string& text) {
  ModuleFile file;
  file.source_ = SourceText(path, text);
  LineReader reader(file.source_.text());

  ModuleLine first = reader.next();
  file.moduleLine_ = first.line;
  if (!isModuleLine(first.text)) {
    for (ModuleLine line = reader.next(); !line.text.empty(); line = reader.next()) {
      if (isModuleLine(line.text)) {
        file.laterModuleLine_ = line.line;
        file.laterId_ = line.text.substr(kModulePrefixLength);
        break;
      }
    }
    return file;
  }
  file.hasModuleLine_ = true;
  file.id_ = first.text.substr(kModulePrefixLength);

  file.secondLine_ = reader.next();
  if (file.secondLine_.text != "interface start") return file;
  file.interfaceStartLine_ = file.secondLine_.line;
  for (ModuleLine line = reader.next(); !line.text.empty(); line = reader.next()) {
    if (line.text == "interface end") {
      file.interfaceEndLine_ = line.line;
      break;
    }
    file.declarations_.push_back(line);
  }
  if (file.interfaceEndLine_ > 0) file.rules_ = reader.remainder(file.rulesLine_, file.rulesOffset_);
  return file;
}

SourcePlace ModuleFile::placeInLine(const ModuleLine& line, std::size_t offset,
                                    std::size_t end) const {
  // A part the line does not hold (an unknown place) is shown at the start of the line.
  if (offset > line.text.size()) offset = 0;
  end = std::min(end, line.text.size());
  return source_.place(line.offset + offset, end > offset ? line.offset + end : 0);
}

SourcePlace ModuleFile::placeInRules(std::size_t offset, std::size_t end) const {
  return source_.place(rulesOffset_ + offset, end > offset ? rulesOffset_ + end : 0);
}
