#include "ModuleFile.h"

#include "Diagnostics.h"
#include "Files.h"

namespace {

const char kModulePrefix[] = "module ";
const std::size_t kModulePrefixLength = sizeof(kModulePrefix) - 1;

bool isLineBreak(char c) { return c == '\n' || c == '\r'; }

// Reads lines as the library's tokenizer does, counting line feeds for the file line numbers.
class LineReader {
 public:
  explicit LineReader(const std::string& text) : text_(text) {}

  // The next non-empty line; an empty text at the end.
  ModuleLine next() {
    skipBreaks();
    ModuleLine result;
    result.line = line_;
    std::size_t start = pos_;
    while (pos_ < text_.size() && !isLineBreak(text_[pos_])) ++pos_;
    result.text = text_.substr(start, pos_ - start);
    return result;
  }

  // Everything after the line breaks that follow the last line taken.
  std::string remainder(int& line) {
    skipBreaks();
    line = line_;
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
  file.path_ = path;
  file.text_ = text;
  LineReader reader(file.text_);

  ModuleLine first = reader.next();
  file.moduleLine_ = first.line;
  if (first.text.compare(0, kModulePrefixLength, kModulePrefix) != 0 ||
      first.text.size() < kModulePrefixLength) {
    return file;
  }
  file.hasModuleLine_ = true;
  file.id_ = first.text.substr(kModulePrefixLength);

  file.secondLine_ = reader.next();
  if (file.secondLine_.text != "interface start") {
    // The library then takes the rules from the line after the second one.
    file.rules_ = reader.remainder(file.rulesLine_);
    return file;
  }
  file.interfaceStartLine_ = file.secondLine_.line;
  for (ModuleLine line = reader.next(); !line.text.empty(); line = reader.next()) {
    if (line.text == "interface end") {
      file.interfaceEndLine_ = line.line;
      break;
    }
    file.declarations_.push_back(line);
  }
  if (file.interfaceEndLine_ > 0) file.rules_ = reader.remainder(file.rulesLine_);
  return file;
}

int ModuleFile::rulesFileLine(std::size_t offset) const {
  int line = rulesLine_;
  for (std::size_t i = 0; i < offset && i < rules_.size(); ++i) {
    if (rules_[i] == '\n') ++line;
  }
  return line;
}

std::string ModuleFile::sourceLine(int line) const { return lineOf(text_, line); }
