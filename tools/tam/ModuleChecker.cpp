#include "ModuleChecker.h"

#include <tam/libtam.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "FileAdapter.h"
#include "RixScan.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Column of the option name in a declaration: the word after "public" or "private".
int nameColumn(const std::string& declaration) {
  std::size_t pos = 0;
  while (pos < declaration.size() && isBlank(declaration[pos])) ++pos;
  while (pos < declaration.size() && !isBlank(declaration[pos])) ++pos;
  while (pos < declaration.size() && isBlank(declaration[pos])) ++pos;
  return pos < declaration.size() ? static_cast<int>(pos) + 1 : 1;
}

// Column of the first character that is not blank.
int firstColumn(const std::string& text) {
  std::size_t pos = 0;
  while (pos < text.size() && isBlank(text[pos])) ++pos;
  return static_cast<int>(pos) + 1;
}

// Column of the word `word` standing alone in a declaration, or 0.
int wordColumn(const std::string& text, const std::string& word) {
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    bool startOk = at == 0 || isBlank(text[at - 1]);
    std::size_t end = at + word.size();
    bool endOk = end == text.size() || isBlank(text[end]);
    if (startOk && endOk) return static_cast<int>(at) + 1;
  }
  return 0;
}

// The checks of one file, with the state they share.
class FileCheck {
 public:
  FileCheck(FileAdapter& adapter, const ModuleFile& file, bool legacyHint,
            std::vector<Diagnostic>& out)
      : adapter_(adapter), file_(file), legacyHint_(legacyHint), out_(out) {}

  void run() {
    if (!checkLayout()) return;
    window_ = Tam::createWindow();
    ref_count_ptr<TamModule> module = window_->createModule(file_.id());
    adapter_.declareLegacyOptions(module);
    for (const ModuleLine& declaration : file_.declarations())
      checkDeclaration(module, declaration);
    if (file_.hasInterfaceEnd()) checkRules(module);
  }

 private:
  void report(int line, int column, const std::string& message,
              const std::string& severity = "error") {
    out_.push_back({file_.path(), line, column, severity, message, file_.sourceLine(line)});
  }

  bool checkLayout() {
    if (!file_.hasModuleLine() || file_.id().empty()) {
      report(file_.moduleLine(), 1, "expected \"module <id>\" as the first line");
      return false;
    }
    if (!file_.hasInterfaceStart()) {
      const ModuleLine& second = file_.secondLine();
      if (second.text.empty()) {
        report(file_.moduleLine(), 0, "expected \"interface start\" after the module line");
      } else {
        report(second.line, 1, "expected \"interface start\" after the module line");
      }
      return false;
    }
    if (!file_.hasInterfaceEnd()) {
      report(file_.interfaceStartLine(), 1, "the interface is never closed by \"interface end\"");
    }
    return true;
  }

  // When loading a module the piece refers to failed, reports it at the reference and returns
  // true.
  bool reportFailedLoad(std::size_t failedBefore, const RixScan& scan, int line,
                        std::size_t lineStart) {
    const std::vector<std::string>& failed = adapter_.failedLoads();
    if (failed.size() <= failedBefore) return false;
    const std::string& innermost = failed[failedBefore];
    const std::string& direct = failed.back();
    int column = 1;
    for (const RixReference& reference : scan.references) {
      if (reference.moduleId == direct) {
        int refLine = 0;
        lineAndColumn(pieceText_, reference.offset, refLine, column);
        line = lineStart > 0 ? static_cast<int>(lineStart) + refLine - 1 : line;
        break;
      }
    }
    const ModuleFile* broken = adapter_.moduleFile(innermost);
    std::string where = broken != nullptr ? broken->path() : innermost;
    report(line, column, "module '" + direct + "' cannot be loaded: " + where + " has errors");
    failedModules_.insert(direct);
    return true;
  }

  void checkDeclaration(const ref_count_ptr<TamModule>& module, const ModuleLine& declaration) {
    std::size_t failedBefore = adapter_.failedLoads().size();
    pieceText_ = declaration.text;
    try {
      ref_count_ptr<TamOption> option = module->addOptionString(declaration.text);
      auto first = declaredAt_.find(option->name());
      if (first != declaredAt_.end()) {
        report(declaration.line, nameColumn(declaration.text),
               "option '" + option->name() + "' is declared again (first on line " +
                   std::to_string(first->second) + "); this declaration replaces that one",
               "warning");
      } else {
        declaredAt_[option->name()] = declaration.line;
      }
    } catch (const TamException& e) {
      RixScan scan = scanRix(declaration.text);
      if (reportFailedLoad(failedBefore, scan, declaration.line, 0)) return;
      report(declaration.line, declarationColumn(declaration.text, scan, e),
             declarationMessage(scan, e));
    }
  }

  int declarationColumn(const std::string& text, const RixScan& scan, const TamException& e) {
    std::size_t offset = 0;
    switch (e.code()) {
      case TamSyntaxError::kCode:
        return locateSyntaxError(text, e, offset) ? static_cast<int>(offset) + 1
                                                  : firstColumn(text);
      case 101:
        return nameColumn(text);
      case 105: {
        int column = wordColumn(text, "default");
        return column > 0 ? column : firstColumn(text);
      }
      case 102:
        for (const RixReference& reference : scan.references) {
          if (reference.optionName == e.info()) return static_cast<int>(reference.optionOffset) + 1;
        }
        break;
      default:
        if (!scan.references.empty()) return static_cast<int>(scan.references.front().offset) + 1;
        break;
    }
    return firstColumn(text);
  }

  std::string declarationMessage(const RixScan& scan, const TamException& e) {
    if (e.code() == 102) {
      for (const RixReference& reference : scan.references) {
        if (reference.optionName == e.info()) {
          return "module '" + reference.moduleId + "' has no option '" + reference.optionName + "'";
        }
      }
    }
    return describeException(e);
  }

  void checkRules(const ref_count_ptr<TamModule>& module) {
    const std::string& rules = file_.rules();
    pieceText_ = rules;
    try {
      module->setRix(rules);
    } catch (const TamException& e) {
      std::size_t offset = 0;
      if (e.code() == TamSyntaxError::kCode && locateSyntaxError(rules, e, offset)) {
        int line = 0;
        int column = 0;
        lineAndColumn(rules, offset, line, column);
        report(file_.rulesLine() + line - 1, column, describeException(e));
      } else {
        int line = e.line() > 0 ? file_.rulesLine() + e.line() - 1 : file_.rulesLine();
        report(line, 0, describeException(e));
      }
      return;
    }
    RixScan scan = scanRix(rules);
    for (const RixReference& reference : scan.references) checkReference(reference, scan);
  }

  void checkReference(const RixReference& reference, const RixScan& scan) {
    if (failedModules_.count(reference.moduleId) > 0) return;
    const std::string& rules = file_.rules();
    std::size_t failedBefore = adapter_.failedLoads().size();
    int line = 0;
    int column = 0;
    lineAndColumn(rules, reference.offset, line, column);
    int fileLine = file_.rulesLine() + line - 1;
    try {
      TamOption::findOption(window_, reference.moduleId, reference.optionName);
    } catch (const TamException& e) {
      if (reportFailedLoad(failedBefore, scan, fileLine,
                           static_cast<std::size_t>(file_.rulesLine()))) {
        return;
      }
      if (e.code() == 302) {
        report(fileLine, column, "no module '" + reference.moduleId + "'");
        failedModules_.insert(reference.moduleId);
      } else if (e.code() == 102) {
        int optionLine = 0;
        int optionColumn = 0;
        lineAndColumn(rules, reference.optionOffset, optionLine, optionColumn);
        report(
            file_.rulesLine() + optionLine - 1, optionColumn,
            "module '" + reference.moduleId + "' has no option '" + reference.optionName + "'" +
                (legacyHint_ ? " (if it is a legacy option, give the product file with --product)"
                             : ""));
      } else {
        report(fileLine, column, describeException(e));
      }
    }
  }

  FileAdapter& adapter_;
  const ModuleFile& file_;
  bool legacyHint_;
  std::vector<Diagnostic>& out_;
  ref_count_ptr<TamWindow> window_;
  std::map<std::string, int> declaredAt_;
  std::set<std::string> failedModules_;
  std::string pieceText_;
};

}  // namespace

std::vector<Diagnostic> ModuleChecker::check(const ModuleFile& file) {
  std::vector<Diagnostic> problems;
  FileCheck(adapter_, file, legacyHint_, problems).run();
  std::stable_sort(problems.begin(), problems.end(),
                   [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
  return problems;
}
