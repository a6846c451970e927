// A ModuleFile is one RIX module file split into the parts the library reads, each with its place
// in the file: the module line, the interface lines and the rules text. It splits the text the
// way the library does (lines end at line feeds or carriage returns, empty lines carry nothing,
// the rules are everything after "interface end" less the line breaks before it), so that a
// problem the library reports inside one part can be placed in the file. The file's text is kept
// once, with its line index (SourceText), so placing costs O(log n) per problem; the parts are
// offsets into it, read out on demand, so a copied or moved ModuleFile stays whole.
#ifndef TAM_TOOL_MODULEFILE_H
#define TAM_TOOL_MODULEFILE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SourceText.h"

// One line of the file, without its line end; its text is ModuleFile::lineText(). Offsets fit 32
// bits: module files are far smaller (kMaxModuleFileBytes).
struct ModuleLine {
  int line = 0;                // 1-based line of the file
  std::uint32_t offset = 0;    // of its first byte in the file
  std::uint32_t length = 0;    // in bytes
};

class ModuleFile {
 public:
  // Reads the file; throws ToolError (kExitUsage) naming the file when it cannot be read.
  static ModuleFile read(const std::string& path);
  static ModuleFile fromText(const std::string& path, std::string text);

  const std::string& path() const { return source_.path(); }
  const std::string& text() const { return source_.text(); }
  // The text, shared with the library's module read from it rather than copied.
  const std::shared_ptr<const std::string>& sharedText() const { return source_.sharedText(); }
  const SourceText& source() const { return source_; }

  // The module line: false when the first line does not start with "module ".
  bool hasModuleLine() const { return hasModuleLine_; }
  const std::string& id() const { return id_; }
  int moduleLine() const { return moduleLine_; }
  // When the first line is no module line: the first later line that is one, with its id (for
  // example below a comment line), so that the mistake can be named once. 0 and empty otherwise.
  int laterModuleLine() const { return laterModuleLine_; }
  const std::string& laterId() const { return laterId_; }

  // "interface start" as the second line, the declaration lines, and "interface end".
  bool hasInterfaceStart() const { return interfaceStartLine_ > 0; }
  int interfaceStartLine() const { return interfaceStartLine_; }
  // The line the library reads as the second one (line 0 when the text ends after the module
  // line).
  const ModuleLine& secondLine() const { return secondLine_; }
  const std::vector<ModuleLine>& declarations() const { return declarations_; }
  // The text of one of this file's lines (the second line, a declaration line).
  std::string lineText(const ModuleLine& line) const {
    return text().substr(line.offset, line.length);
  }
  bool hasInterfaceEnd() const { return interfaceEndLine_ > 0; }

  // The rules text exactly as the library receives it (a copy: only checks read it), the file
  // line and offset it starts at.
  std::string rules() const {
    return hasInterfaceEnd() ? text().substr(rulesOffset_) : std::string();
  }
  int rulesLine() const { return rulesLine_; }
  std::size_t rulesOffset() const { return rulesOffset_; }

  // The text of a file line, without its line end.
  std::string sourceLine(int line) const { return source_.line(line); }
  // Places of offsets within a declaration line or within the rules text.
  SourcePlace placeInLine(const ModuleLine& line, std::size_t offset, std::size_t end = 0) const;
  SourcePlace placeInRules(std::size_t offset, std::size_t end = 0) const;

 private:
  SourceText source_;
  bool hasModuleLine_ = false;
  std::string id_;
  int moduleLine_ = 0;
  int laterModuleLine_ = 0;
  std::string laterId_;
  int interfaceStartLine_ = 0;
  ModuleLine secondLine_;
  std::vector<ModuleLine> declarations_;
  int interfaceEndLine_ = 0;
  int rulesLine_ = 0;
  std::size_t rulesOffset_ = 0;
};

#endif  // TAM_TOOL_MODULEFILE_H
