#include "ModuleChecker.h"

#include <tam/libtam.h>

#include <algorithm>
#include <map>
#include <set>

#include "FileAdapter.h"
#include "RuleChecker.h"
#include "Suggest.h"
#include "SyntaxWording.h"
#include "ValueText.h"

namespace {

using Part = TamDeclarationOutline::Part;

const std::vector<std::string> kTypeWords = {"logical",  "integer",    "real", "string",
                                             "presents", "implements", "uses"};

// Lenient loading for as long as a file is checked; the adapter's mode is restored afterwards.
class LenientLoading {
 public:
  explicit LenientLoading(FileAdapter& adapter) : adapter_(adapter), was_(adapter.lenient()) {
    adapter_.setLenient(true);
  }
  ~LenientLoading() { adapter_.setLenient(was_); }
  LenientLoading(const LenientLoading&) = delete;
  LenientLoading& operator=(const LenientLoading&) = delete;

 private:
  FileAdapter& adapter_;
  bool was_;
};

bool isCommentOrBlank(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  return first == std::string::npos || line[first] == '#';
}

// The checks of one file, with the state they share.
class FileCheck {
 public:
  FileCheck(FileAdapter& adapter, const ModuleFile& file, bool legacyHint,
            SuggestionBudget& budget, std::vector<Diagnostic>& out)
      : adapter_(adapter), file_(file), legacyHint_(legacyHint), budget_(budget), out_(out) {}

  void run() {
    if (!checkLayout()) return;
    window_ = Tam::createWindow();
    module_ = window_->createModule(file_.id());
    adapter_.declareLegacyOptions(module_);
    checkDeclarations();
    if (file_.hasInterfaceEnd()) checkRules();
  }

 private:
  SourcePlace placeOf(const ModuleLine& line, const Part& part) const {
    return file_.placeInLine(line, part.begin.offset, part.end.offset);
  }
  SourcePlace placeOf(const ModuleLine& line, const TamSourcePos& pos) const {
    return file_.placeInLine(line, pos.offset);
  }

  bool checkLayout() {
    if (!file_.hasModuleLine() || file_.id().empty()) {
      SourcePlace place = file_.source().placeOfLine(file_.moduleLine());
      place.column = 1;
      out_.push_back(
          Diagnostic::error(place, "expected the module line 'module <id>' as the first line"));
      return false;
    }
    if (!file_.hasInterfaceStart()) {
      const ModuleLine& second = file_.secondLine();
      SourcePlace place;
      if (second.length == 0) {
        place = file_.source().placeOfLine(file_.moduleLine());
        place.column = static_cast<int>(place.sourceLine.size()) + 1;
      } else {
        place = file_.placeInLine(second, 0, second.length);
      }
      out_.push_back(
          Diagnostic::error(place, "expected 'interface start' after the module line"));
      return false;
    }
    return true;
  }

  // Without "interface end" every later line, rules too, is read as a declaration: that is one
  // mistake, shown once, with a note at the first line that is no declaration.
  void checkDeclarations() {
    Diagnostic unclosed;
    bool noted = false;
    if (!file_.hasInterfaceEnd()) {
      const int line = file_.interfaceStartLine();
      SourcePlace place = file_.source().placeOfLine(line);
      place.column = 1;
      place.length = static_cast<int>(place.sourceLine.size());
      unclosed = Diagnostic::error(place, "the interface is never closed: 'interface end' is missing");
    }
    for (const ModuleLine& declaration : file_.declarations()) {
      Diagnostic problem;
      if (!checkDeclaration(declaration, problem)) continue;
      if (file_.hasInterfaceEnd()) {
        out_.push_back(problem);
      } else if (!noted) {
        SourcePlace place = file_.placeInLine(declaration, 0, declaration.length);
        unclosed.note(place, "the interface probably ends before this line, which is no declaration");
        noted = true;
      }
    }
    if (!file_.hasInterfaceEnd()) out_.push_back(unclosed);
  }

  // Returns true with the problem when the declaration fails (or repeats a name).
  bool checkDeclaration(const ModuleLine& declaration, Diagnostic& problem) {
    try {
      ref_count_ptr<TamOption> option = module_->addOptionString(file_.lineText(declaration));
      const Part name = TamDeclarationOutline::read(file_.lineText(declaration)).name();
      auto first = declaredAt_.find(option->name());
      if (first == declaredAt_.end()) {
        declaredAt_.emplace(option->name(), &declaration);
        return false;
      }
      problem = Diagnostic::warning(
          placeOf(declaration, name),
          "option " + quote(option->name()) + " is declared again; this declaration replaces " +
              "the one on line " + std::to_string(first->second->line));
      problem.note(placeOf(*first->second,
                           TamDeclarationOutline::read(file_.lineText(*first->second)).name()),
                   "first declared here");
      return true;
    } catch (const TamException& e) {
      const TamDeclarationOutline plain = TamDeclarationOutline::read(file_.lineText(declaration));
      if (plain.name().isPresent()) failedOwn_.insert(plain.name().text);
      return describeFailure(declaration, plain, e, problem);
    }
  }

  ref_count_ptr<TamOption> baseOf(const TamDeclarationOutline& outline) const {
    try {
      return TamOption::findOption(window_, outline.base().moduleId.text,
                                   outline.base().optionName.text);
    } catch (const TamException&) {
      return ref_count_ptr<TamOption>();
    }
  }

  const std::vector<std::string>& optionNamesOf(const std::string& moduleId) {
    auto known = optionNames_.find(moduleId);
    if (known != optionNames_.end()) return known->second;
    std::vector<std::string>& names = optionNames_[moduleId];
    try {
      for (const ref_count_ptr<TamOption>& option : window_->getModule(moduleId)->options()) {
        names.push_back(option->name());
      }
    } catch (const TamException&) {
      names.clear();
    }
    return names;
  }

  bool describeFailure(const ModuleLine& line, const TamDeclarationOutline& plain,
                       const TamException& e, Diagnostic& problem) {
    const TamDeclarationOutline::Reference& base = plain.base();
    const Part& baseModule = base.moduleId;
    const Part& baseOption = base.optionName;
    const Part& anchor = baseModule.isPresent() ? baseModule : plain.scope();
    switch (e.code()) {
      case TamSyntaxError::kCode:
        problem = describeSyntax(line, plain);
        return true;
      case 302:
        if (adapter_.isBrokenModule(baseModule.text)) return false;
        problem = Diagnostic::error(
            placeOf(line, baseModule),
            "unknown module " + quote(baseModule.text) +
                didYouMean(baseModule.text, adapter_.moduleIds(), budget_));
        return true;
      case 102:
        if (baseOption.isPresent() && baseOption.text == e.info()) {
          if (adapter_.isFailedDeclaration(baseModule.text, baseOption.text)) return false;
          problem = Diagnostic::error(
              placeOf(line, baseOption),
              "module " + quote(baseModule.text) + " has no option " + quote(baseOption.text) +
                  didYouMean(baseOption.text, optionNamesOf(baseModule.text), budget_));
          return true;
        }
        break;
      case 101: {
        problem = Diagnostic::error(placeOf(line, plain.name()),
                                    "option " + quote(plain.name().text) +
                                        " is already declared with another kind or scope");
        auto first = declaredAt_.find(plain.name().text);
        if (first != declaredAt_.end()) {
          problem.note(placeOf(*first->second,
                               TamDeclarationOutline::read(file_.lineText(*first->second))
                                   .name()),
                       "first declared here");
        }
        return true;
      }
      case 303:
      case 305:
      case 306:
        problem = privateBase(line, plain, e.code());
        return true;
      case 204:
        problem = narrowing(line, plain, e.info());
        return true;
      case 112: {
        const ref_count_ptr<TamOption> based = baseOf(plain);
        std::string type;
        try {
          type = based ? typeWord(based->valueType()) : std::string("?");
        } catch (const TamException&) {
          type = "?";
        }
        const TamSourcePos at =
            plain.constraints().empty() ? anchor.begin : plain.constraints().front().begin;
        problem = Diagnostic::error(placeOf(line, at),
                                    "the allowed values must be " + type +
                                        " values, like those of the base option");
        return true;
      }
      default:
        break;
    }
    problem = Diagnostic::error(placeOf(line, anchor), describeException(e));
    return true;
  }

  Diagnostic privateBase(const ModuleLine& line, const TamDeclarationOutline& plain, int code) {
    const char* kind = code == 303 ? "presented" : code == 305 ? "used" : "implemented";
    const std::string baseName = plain.base().moduleId.text + ":" + plain.base().optionName.text;
    Diagnostic problem = Diagnostic::error(
        file_.placeInLine(line, plain.base().moduleId.begin.offset,
                          plain.base().optionName.end.offset),
        std::string("a ") + kind + " option must be based on a public option, and " +
            quote(baseName) + " is private");
    // The note shows the word that makes the base private.
    const ModuleLine* declared =
        adapter_.declarationOf(plain.base().moduleId.text, plain.base().optionName.text);
    const ModuleFile* file = adapter_.moduleFile(plain.base().moduleId.text);
    if (declared != nullptr && file != nullptr) {
      const Part scope = TamDeclarationOutline::read(file->lineText(*declared)).scope();
      problem.note(file->placeInLine(*declared, scope.begin.offset, scope.end.offset),
                   quote(baseName) + " is declared private here");
    }
    return problem;
  }

  // A value of an implements or uses list that its base does not allow.
  Diagnostic narrowing(const ModuleLine& line, const TamDeclarationOutline& plain,
                       const std::string& value) {
    const ref_count_ptr<TamOption> based = baseOf(plain);
    TamSourcePos begin = plain.base().moduleId.begin;
    TamSourcePos end = plain.base().optionName.end;
    for (const TamDeclarationOutline::Constraint& constraint : plain.constraints()) {
      try {
        if (constraint.constraint->value()->displayString() == value) {
          begin = constraint.begin;
          end = constraint.end;
          break;
        }
      } catch (const TamException&) {
        // A range or an "any" constraint has no single value.
      }
    }
    std::string shown = value;
    for (const TamDeclarationOutline::Constraint& constraint : plain.constraints()) {
      if (constraint.begin == begin) {
        shown = file_.lineText(line).substr(constraint.begin.offset,
                                            constraint.end.offset - constraint.begin.offset);
      }
    }
    std::string message = "value " + shown + " is not allowed by the base option " +
                          quote(plain.base().moduleId.text + ":" + plain.base().optionName.text);
    if (based) {
      std::string allowed;
      try {
        allowed = describeConstraints(based);
      } catch (const TamException&) {
        allowed = "?";
      }
      message += " (allowed: " + allowed + ")";
    }
    Diagnostic problem =
        Diagnostic::error(file_.placeInLine(line, begin.offset, end.offset), message);
    if (based) noteAllowedValues(adapter_, based, problem);
    return problem;
  }

  // A syntax error, read again as the module read it (base option included) to place it exactly.
  Diagnostic describeSyntax(const ModuleLine& line, const TamDeclarationOutline& plain) {
    TamDeclarationOutline outline = plain;
    try {
      outline = TamDeclarationOutline::read(file_.lineText(line), window_);
    } catch (const TamException&) {
      // The base cannot be looked up again: the reading without it must do.
    }
    if (!outline.failed()) {
      return Diagnostic::error(placeOf(line, plain.scope()), "malformed declaration");
    }
    const TamParseFailure& failure = outline.failure();
    const std::string& code = failure.code;
    if (code == "SE_pubpriv" && isCommentOrBlank(file_.lineText(line))) {
      const std::size_t first = file_.lineText(line).find_first_not_of(" \t");
      return Diagnostic::error(
          file_.placeInLine(line, first, line.length),
          "a comment line is not allowed in the interface: every line there is a declaration "
          "(a comment may only end one)");
    }
    if (code == "SE_expect_opttype" && outline.type().isPresent()) {
      return Diagnostic::error(
          placeOf(line, outline.type()),
          "unknown option type " + quote(outline.type().text) +
              ": expected logical, integer, real, string, presents, implements or uses" +
              didYouMean(outline.type().text, kTypeWords));
    }
    if (code == "SE_pres_public" && outline.scope().isPresent()) {
      return Diagnostic::error(placeOf(line, outline.scope()),
                               "a presented option must be public, not " +
                                   quote(outline.scope().text));
    }
    if (code == "SE_invalid_default") return invalidDefault(line, outline);
    if (code == "SE_max_min" && failure.related.isKnown()) {
      const std::size_t begin = failure.related.offset;
      const std::size_t end = failure.afterPrevious.offset;
      return Diagnostic::error(file_.placeInLine(line, begin, end),
                               "empty range " +
                                   quote(file_.lineText(line).substr(begin, end - begin)) +
                                   ": the first number must be below the second");
    }
    const std::string text = file_.lineText(line);
    SyntaxReport report = describeSyntaxFailure(failure, RixPiece::kDeclaration, text);
    if (code == "SE_extrainput" && failure.position.offset < line.length &&
        text[failure.position.offset] == ':') {
      report.message += " (': mandatory' goes right after the type and the description)";
    }
    Diagnostic problem = Diagnostic::error(
        placeOf(line, failurePlace(failure, line.length)), report.message);
    if (!report.note.empty()) problem.note(placeOf(line, report.notePlace), report.note);
    return problem;
  }

  Diagnostic invalidDefault(const ModuleLine& line, const TamDeclarationOutline& outline) {
    const TamDeclarationOutline::Default& given = outline.defaultValue();
    if (!given.value) {
      return Diagnostic::error(placeOf(line, outline.failure().position),
                               "the default of a logical option must be true or false");
    }
    const SourcePlace place = file_.placeInLine(line, given.begin.offset, given.end.offset);
    const std::string value = valueText(given.value);
    if (outline.base().moduleId.isPresent()) {
      const std::string baseName =
          outline.base().moduleId.text + ":" + outline.base().optionName.text;
      const ref_count_ptr<TamOption> based = baseOf(outline);
      std::string allowed = "?";
      try {
        if (based) allowed = describeConstraints(based);
      } catch (const TamException&) {
        allowed = "?";
      }
      Diagnostic problem = Diagnostic::error(
          place, "default " + value + " is not allowed by the base option " + quote(baseName) +
                     " (allowed: " + allowed + ")");
      if (based) noteAllowedValues(adapter_, based, problem);
      return problem;
    }
    std::vector<ref_count_ptr<TamOptionValue>> constraints;
    for (const TamDeclarationOutline::Constraint& constraint : outline.constraints()) {
      constraints.push_back(constraint.constraint);
    }
    return Diagnostic::error(place, "default " + value + " is not one of the allowed values (" +
                                        describeConstraintList(constraints) + ")");
  }

  void checkRules() {
    const std::string& rules = file_.rules();
    try {
      module_->setRix(rules);
    } catch (const TamException& e) {
      const TamRixOutline outline = TamRixOutline::fromRules(rules);
      if (!outline.failed()) {
        out_.push_back(Diagnostic::error(file_.placeInRules(0), describeException(e)));
        return;
      }
      const SyntaxReport report = describeSyntaxFailure(outline.failure(), RixPiece::kRules, rules);
      Diagnostic problem = Diagnostic::error(
          file_.placeInRules(failurePlace(outline.failure(), rules.size()).offset),
          report.message);
      if (!report.note.empty()) {
        problem.note(file_.placeInRules(report.notePlace.offset, report.notePlace.offset + 1),
                     report.note);
      }
      out_.push_back(problem);
      return;
    }
    RuleCheckContext context;
    context.window = window_;
    context.adapter = &adapter_;
    context.ownerModule = file_.id();
    context.failedOwnOptions = failedOwn_;
    context.legacyHint = legacyHint_;
    context.budget = &budget_;
    const ModuleFile& file = file_;
    context.place = [&file](std::size_t begin, std::size_t end) {
      return file.placeInRules(begin, end);
    };
    const std::vector<Diagnostic> found = checkRuleOutline(module_->getRix()->outline(), context);
    out_.insert(out_.end(), found.begin(), found.end());
  }

  FileAdapter& adapter_;
  const ModuleFile& file_;
  bool legacyHint_;
  SuggestionBudget& budget_;
  std::vector<Diagnostic>& out_;
  ref_count_ptr<TamWindow> window_;
  ref_count_ptr<TamModule> module_;
  std::map<std::string, const ModuleLine*> declaredAt_;
  std::set<std::string> failedOwn_;
  std::map<std::string, std::vector<std::string>> optionNames_;
};

}  // namespace

std::vector<Diagnostic> ModuleChecker::check(const ModuleFile& file) {
  LenientLoading lenient(adapter_);
  std::vector<Diagnostic> problems;
  FileCheck(adapter_, file, legacyHint_, budget_, problems).run();
  std::stable_sort(problems.begin(), problems.end(), [](const Diagnostic& a, const Diagnostic& b) {
    return a.place.line != b.place.line ? a.place.line < b.place.line
                                        : a.place.column < b.place.column;
  });
  return problems;
}
