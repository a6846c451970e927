#include "ModuleChecker.h"

#include <tam/libtam.h>

#include <algorithm>
#include <map>
#include <set>

#include "FileAdapter.h"
#include "OutlineQueries.h"

namespace {

// A module a piece of the file names, and where: the base of a declaration or a rule's reference.
struct NamedModule {
  std::string moduleId;
  TamSourcePos place;  // within the piece
};

// The column of a place, or of the first character when the place is unknown.
int columnOf(const TamSourcePos& place) { return place.isKnown() ? place.column : 1; }

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

  // When loading a module the piece refers to failed, reports it where the piece names that
  // module (the piece starting on file line firstLine), else at fallbackLine, and returns true.
  bool reportFailedLoad(std::size_t failedBefore, const std::vector<NamedModule>& named,
                        int firstLine, int fallbackLine) {
    const std::vector<std::string>& failed = adapter_.failedLoads();
    if (failed.size() <= failedBefore) return false;
    const std::string& innermost = failed[failedBefore];
    const std::string& direct = failed.back();
    int line = fallbackLine;
    int column = 1;
    for (const NamedModule& name : named) {
      if (name.moduleId == direct) {
        line = firstLine + name.place.line - 1;
        column = name.place.column;
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
    try {
      ref_count_ptr<TamOption> option = module->addOptionString(declaration.text);
      auto first = declaredAt_.find(option->name());
      if (first != declaredAt_.end()) {
        const TamDeclarationOutline outline = TamDeclarationOutline::read(declaration.text);
        report(declaration.line, columnOf(outline.name().begin),
               "option '" + option->name() + "' is declared again (first on line " +
                   std::to_string(first->second) + "); this declaration replaces that one",
               "warning");
      } else {
        declaredAt_[option->name()] = declaration.line;
      }
    } catch (const TamException& e) {
      const TamDeclarationOutline outline = outlineOf(declaration.text, e);
      const TamDeclarationOutline::Part& base = outline.base().moduleId;
      std::vector<NamedModule> named;
      if (base.isPresent()) named.push_back({base.text, base.begin});
      if (reportFailedLoad(failedBefore, named, declaration.line, declaration.line)) return;
      report(declaration.line, declarationColumn(outline, e), declarationMessage(outline, e));
    }
  }

  // A syntax error is read again the way the module read it, base option included, to place it
  // exactly; anything else is placed by the parts of the line.
  TamDeclarationOutline outlineOf(const std::string& text, const TamException& e) {
    if (e.code() == TamSyntaxError::kCode) {
      try {
        return TamDeclarationOutline::read(text, window_);
      } catch (const TamException&) {
        // The base cannot be looked up again: the parts alone must do.
      }
    }
    return TamDeclarationOutline::read(text);
  }

  int declarationColumn(const TamDeclarationOutline& outline, const TamException& e) {
    const TamDeclarationOutline::Reference& base = outline.base();
    switch (e.code()) {
      case TamSyntaxError::kCode:
        if (outline.failed()) {
          return columnOf(failurePlace(outline.failure(), outline.text().size()));
        }
        break;
      case 101:
        return columnOf(outline.name().begin);
      case 105:
        return columnOf(outline.defaultValue().keyword);
      case 102:
        if (base.optionName.isPresent() && base.optionName.text == e.info()) {
          return base.optionName.begin.column;
        }
        break;
      default:
        if (base.moduleId.isPresent()) return base.moduleId.begin.column;
        break;
    }
    return columnOf(outline.scope().begin);
  }

  std::string declarationMessage(const TamDeclarationOutline& outline, const TamException& e) {
    const TamDeclarationOutline::Reference& base = outline.base();
    if (e.code() == 102 && base.optionName.isPresent() && base.optionName.text == e.info()) {
      return "module '" + base.moduleId.text + "' has no option '" + base.optionName.text + "'";
    }
    return describeException(e);
  }

  void checkRules(const ref_count_ptr<TamModule>& module) {
    const std::string& rules = file_.rules();
    try {
      module->setRix(rules);
    } catch (const TamException& e) {
      const TamRixOutline outline = TamRixOutline::fromRules(rules);
      if (outline.failed()) {
        const TamSourcePos place = failurePlace(outline.failure(), rules.size());
        report(file_.rulesLine() + place.line - 1, place.column, describeException(e));
      } else {
        int line = e.line() > 0 ? file_.rulesLine() + e.line() - 1 : file_.rulesLine();
        report(line, 0, describeException(e));
      }
      return;
    }
    const TamRixOutline outline = module->getRix()->outline();
    std::vector<NamedModule> named;
    for (const TamRixOutline::Node* reference : moduleReferences(outline)) {
      named.push_back({reference->moduleId, reference->moduleIdPos});
    }
    for (const TamRixOutline::Node* reference : moduleReferences(outline)) {
      checkReference(*reference, named);
    }
  }

  void checkReference(const TamRixOutline::Node& reference, const std::vector<NamedModule>& named) {
    if (failedModules_.count(reference.moduleId) > 0) return;
    std::size_t failedBefore = adapter_.failedLoads().size();
    const int fileLine = file_.rulesLine() + reference.moduleIdPos.line - 1;
    const int column = reference.moduleIdPos.column;
    try {
      TamOption::findOption(window_, reference.moduleId, reference.optionName);
    } catch (const TamException& e) {
      if (reportFailedLoad(failedBefore, named, file_.rulesLine(), fileLine)) return;
      if (e.code() == 302) {
        report(fileLine, column, "no module '" + reference.moduleId + "'");
        failedModules_.insert(reference.moduleId);
      } else if (e.code() == 102) {
        const TamSourcePos name = reference.optionNamePos;
        report(
            file_.rulesLine() + name.line - 1, name.column,
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
};

}  // namespace

std::vector<Diagnostic> ModuleChecker::check(const ModuleFile& file) {
  std::vector<Diagnostic> problems;
  FileCheck(adapter_, file, legacyHint_, problems).run();
  std::stable_sort(problems.begin(), problems.end(),
                   [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
  return problems;
}
