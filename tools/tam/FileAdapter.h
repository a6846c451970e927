// FileAdapter is the tam command's host adapter: it supplies modules from RIX files, keeps the
// values of legacy options, and records the messages the rules emit.
//
// Module files are indexed by the id on their module line, not by their names; two files that
// declare one id are an error naming both. A module is created and given its file's text
// (setRixData) only when the library asks for it through loadModule. When that text fails, the
// exception goes back through the library unchanged and the adapter remembers which module failed,
// so that the command can report the problem at its place in the file (describeLoadFailure).
//
// For checking, the adapter can load leniently: each declaration and the rules are given to the
// module on their own, and a piece that fails is skipped (and remembered) instead of failing the
// load. One mistake in a module then does not hide the rest of it from the modules that refer to
// it, and references to what failed can be recognised as consequences, not new mistakes.
//
// The adapter must outlive every window that uses it; it is installed with Tam::initialize.
#ifndef TAM_TOOL_FILEADAPTER_H
#define TAM_TOOL_FILEADAPTER_H

#include <tam/libtam.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Diagnostics.h"
#include "ModuleFile.h"

struct EmittedMessage {
  Tam::MsgSeverity severity = Tam::MSG_INFORM;
  std::string text;
  std::string nodePath;
  std::string moduleId;
  std::string file;  // the module's file, empty when the node has no module
  int line = 0;      // the file line of the message statement, 0 until it is placed
};

struct LegacyValue {
  std::vector<ref_count_ptr<TamValue>> values;
  bool changed = false;  // a rule has set it
};

class FileAdapter : public Tam::AdapterInterface {
 public:
  using LegacyKey = std::pair<std::string, std::string>;  // module id, option name

  FileAdapter() = default;
  FileAdapter(const FileAdapter&) = delete;
  FileAdapter& operator=(const FileAdapter&) = delete;
  ~FileAdapter() override;

  // Indexes module files. Returns the problems found (a file without a module line, an id declared
  // by two files); the files without problems are indexed. A file that cannot be read (see
  // readTextFile) is a ToolError (kExitUsage) naming it alone, since every later problem might
  // follow from it.
  std::vector<Diagnostic> addFiles(const std::vector<std::string>& paths);
  // Indexes one module file whose text is at hand, adding its problem to `problems` if it has one.
  void addText(const std::string& path, std::string text, std::vector<Diagnostic>& problems);
  const ModuleFile* moduleFile(const std::string& id) const;
  const std::map<std::string, ModuleFile>& moduleFiles() const { return files_; }
  // The ids of every indexed module, to suggest one for a misspelt id.
  std::vector<std::string> moduleIds() const;

  // The declaration line of option `name` in module `moduleId`'s file (the last one, which is the
  // one the library keeps), or null.
  const ModuleLine* declarationOf(const std::string& moduleId, const std::string& name);

  // See the header comment. Lenient loading is for checking only.
  void setLenient(bool lenient) { lenient_ = lenient; }
  bool lenient() const { return lenient_; }
  // A module whose file cannot be read as a module at all (its module line is not the first
  // line, it has no "interface start"): references to it prove nothing about the referring file.
  bool isBrokenModule(const std::string& id) const;
  // Whether the declaration of option `name` of module `id` failed in a lenient load.
  bool isFailedDeclaration(const std::string& id, const std::string& name) const;

  // A legacy option of a module with the values the host keeps; declared in the module when the
  // module is loaded.
  void addLegacyOption(const std::string& moduleId, const std::string& option,
                       const std::vector<ref_count_ptr<TamValue>>& values);
  const std::map<LegacyKey, LegacyValue>& legacyValues() const { return legacy_; }
  // Declares in a new module the legacy options the host keeps for it.
  void declareLegacyOptions(const ref_count_ptr<TamModule>& module) const;

  const std::vector<EmittedMessage>& messages() const { return messages_; }
  // Places a message at the file line of the statement that emitted it (see Session::evaluate).
  void setMessageLine(std::size_t index, int line) { messages_.at(index).line = line; }

  // Forgets the messages and the legacy values the rules set, before the tree is evaluated again.
  void startEvaluation();

  // Ids of the modules whose text failed to load, innermost first, in the order of failure.
  const std::vector<std::string>& failedLoads() const { return failedLoads_; }
  void forgetFailedLoads() {
    failedLoads_.clear();
    firstLoadError_.clear();
  }
  // The first module that failed to load, checked again piece by piece to place the problem in
  // its file.
  Diagnostic describeLoadFailure();

  bool loadModule(TamWindow* window, const std::string& moduleId) override;
  bool refreshModule(TamWindow* window, ref_count_ptr<TamModule> module) override;
  bool userMsg(TamWindow* window, Tam::MsgSeverity severity, const std::string& message,
               TamNode* node) override;
  ref_count_ptr<TamValue> getLegacyOptionValue(TamWindow* window,
                                               const ref_count_ptr<TamOption>& option) override;
  std::vector<ref_count_ptr<TamValue>> getLegacyOptionValues(
      TamWindow* window, const ref_count_ptr<TamOption>& option) override;
  void setLegacyOptionValue(TamWindow* window, const ref_count_ptr<TamOption>& option,
                            const ref_count_ptr<TamValue>& value) override;
  void setLegacyOptionValues(TamWindow* window, const ref_count_ptr<TamOption>& option,
                             std::vector<ref_count_ptr<TamValue>> values) override;

 private:
  void loadLeniently(const ref_count_ptr<TamModule>& module, const ModuleFile& file);

  std::map<std::string, ModuleFile> files_;
  std::set<std::string> brokenIds_;  // ids of files that have no module line as the first line
  std::map<LegacyKey, LegacyValue> legacy_;
  std::map<LegacyKey, LegacyValue> legacyGiven_;  // as the host gave them
  std::vector<EmittedMessage> messages_;
  std::vector<std::string> failedLoads_;
  std::string firstLoadError_;
  bool lenient_ = false;
  std::set<LegacyKey> failedDeclarations_;
  std::map<std::string, std::map<std::string, std::size_t>> declarationIndex_;
};

#endif  // TAM_TOOL_FILEADAPTER_H
