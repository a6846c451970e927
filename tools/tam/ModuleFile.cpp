#include "ModuleFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include "Diagnostics.h"
#include "Files.h"

namespace {

const char kModulePrefix[] = "module ";
const std::size_t kModulePrefixLength = sizeof(kModulePrefix) - 1;

bool isLineBreak(char c) { return c == '\n' || c == '\r'; }

bool isModuleLine(std::string_view line) {
  return line.substr(0, kModulePrefixLength) == kModulePrefix;
}

// Reads lines as the library's tokenizer does, counting line feeds for the file line numbers.
class LineReader {
 public:
  explicit LineReader(const std::string& text) : text_(text) {}

  // The next non-empty line; an empty one at the end.
  ModuleLine next() {
    skipBreaks();
    ModuleLine result;
    result.line = line_;
    result.offset = pos_;
    pos_ = lineEnd(pos_);
    result.length = pos_ - result.offset;
    return result;
  }
  std::string_view textOf(const ModuleLine& line) const {
    return std::string_view(text_).substr(line.offset, line.length);
  }

  // Where everything after the line breaks that follow the last line taken starts.
  void remainder(int& line, std::size_t& offset) {
    skipBreaks();
    line = line_;
    offset = pos_;
  }

 private:
  // Where the line starting at `from` ends: at the first line feed or carriage return, found
  // with two byte searches rather than a test per byte.
  std::size_t lineEnd(std::size_t from) const {
    const char* begin = text_.data() + from;
    const std::size_t left = text_.size() - from;
    const void* feed = std::memchr(begin, '\n', left);
    const std::size_t toFeed = feed != nullptr ? static_cast<const char*>(feed) - begin : left;
    const void* ret = std::memchr(begin, '\r', toFeed);
    return from + (ret != nullptr ? static_cast<const char*>(ret) - begin : toFeed);
  }

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

ModuleFile ModuleFile::fromText(const std::string& path, std::string text) {
  static_assert(kMaxModuleFileBytes <= std::numeric_limits<std::uint32_t>::max(),
                "a module file's offsets fit a line's 32-bit fields");
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw ToolError(Diagnostic::general(path + ": the module text is too large to place lines in"),
                    kExitUsage);
  }
  ModuleFile file;
  file.source_ = SourceText(path, std::move(text));
  LineReader reader(file.source_.text());

  ModuleLine first = reader.next();
  file.moduleLine_ = first.line;
  if (!isModuleLine(reader.textOf(first))) {
    for (ModuleLine line = reader.next(); line.length > 0; line = reader.next()) {
      if (isModuleLine(reader.textOf(line))) {
        file.laterModuleLine_ = line.line;
        file.laterId_ = std::string(reader.textOf(line).substr(kModulePrefixLength));
        break;
      }
    }
    return file;
  }
  file.hasModuleLine_ = true;
  file.id_ = std::string(reader.textOf(first).substr(kModulePrefixLength));

  file.secondLine_ = reader.next();
  if (reader.textOf(file.secondLine_) != "interface start") return file;
  file.interfaceStartLine_ = file.secondLine_.line;
  for (ModuleLine line = reader.next(); line.length > 0; line = reader.next()) {
    if (reader.textOf(line) == "interface end") {
      file.interfaceEndLine_ = line.line;
      break;
    }
    file.declarations_.push_back(line);
  }
  if (file.interfaceEndLine_ > 0) reader.remainder(file.rulesLine_, file.rulesOffset_);
  file.declarations_.shrink_to_fit();
  return file;
}

SourcePlace ModuleFile::placeInLine(const ModuleLine& line, std::size_t offset,
                                    std::size_t end) const {
  // A part the line does not hold (an unknown place) is shown at the start of the line.
  if (offset > line.length) offset = 0;
  end = std::min<std::size_t>(end, line.length);
  return source_.place(line.offset + offset, end > offset ? line.offset + end : 0);
}

SourcePlace ModuleFile::placeInRules(std::size_t offset, std::size_t end) const {
  return source_.place(rulesOffset_ + offset, end > offset ? rulesOffset_ + end : 0);
}
