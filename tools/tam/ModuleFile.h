// A ModuleFile is one RIX module file split into the parts the library reads, each with the line
// of the file it stands on: the module line, the interface lines and the rules text. It splits the
// text the way the library does (lines end at line feeds or carriage returns, empty lines carry
// nothing, the rules are everything after "interface end" less the line breaks before it), so that
// a problem the library reports inside one part can be placed in the file.
#ifndef TAM_TOOL_MODULEFILE_H
#define TAM_TOOL_MODULEFILE_H

#include <string>
#include <vector>

struct ModuleLine {
  int line = 0;  // 1-based line of the file
  std::string text;
};

class ModuleFile {
 public:
  // Reads the file; throws ToolError (kExitUsage) naming the file when it cannot be read.
  static ModuleFile read(const std::string& path);
  static ModuleFile fromText(const std::string& path, const std::string& text);

  const std::string& path() const { return path_; }
  const std::string& text() const { return text_; }

  // The module line: false when the first line does not start with "module ".
  bool hasModuleLine() const { return hasModuleLine_; }
  const std::string& id() const { return id_; }
  int moduleLine() const { return moduleLine_; }

  // "interface start" as the second line, the declaration lines, and "interface end".
  bool hasInterfaceStart() const { return interfaceStartLine_ > 0; }
  int interfaceStartLine() const { return interfaceStartLine_; }
  // The line the library reads as the second one (0 when the text ends after the module line).
  const ModuleLine& secondLine() const { return secondLine_; }
  const std::vector<ModuleLine>& declarations() const { return declarations_; }
  bool hasInterfaceEnd() const { return interfaceEndLine_ > 0; }

  // The rules text exactly as the library receives it, and the file line it starts on.
  const std::string& rules() const { return rules_; }
  int rulesLine() const { return rulesLine_; }

  // The file line of a byte offset within the rules text.
  int rulesFileLine(std::size_t offset) const;
  // The text of a file line, without its line end.
  std::string sourceLine(int line) const;

 private:
  std::string path_;
  std::string text_;
  bool hasModuleLine_ = false;
  std::string id_;
  int moduleLine_ = 0;
  int interfaceStartLine_ = 0;
  ModuleLine secondLine_;
  std::vector<ModuleLine> declarations_;
  int interfaceEndLine_ = 0;
  std::string rules_;
  int rulesLine_ = 0;
};

#endif  // TAM_TOOL_MODULEFILE_H
