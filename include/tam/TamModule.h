// A TamModule is one unit of configuration knowledge in a window: its id, the options it declares,
// presents, implements or uses (each with the declaration text it was read from), the legacy
// options the host attaches to it, and its parsed rules. The host fills it with a whole RIX module
// text (setRixData) or piece by piece (addOptionString, setRix) and reads it back (getRixData).
// The module owns its options and rules through handles and borrows its window. Reading the same
// declaration again keeps the option object and its id. Walks over options run in name order.
#ifndef TAM_TAMMODULE_H
#define TAM_TAMMODULE_H

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamOption.h"
#include "tam/TamPath.h"
#include "tam/ref_count.h"

class TamExpRoot;
class TamWindow;
namespace tam {
namespace detail {
class ConstraintCache;
}  // namespace detail
}  // namespace tam
class TamDeclarationParser;

class TAM_API TamModule : public ref_count {
 public:
  ~TamModule() override;

  const std::string& id() const { return *id_; }
  ref_count_ptr<TamWindow> window() const;
  bool operator==(const TamModule& other) const { return *id_ == *other.id_; }

  // True once the module has declared, presented, implemented or used an option outside test
  // mode (legacy options do not count); stays true.
  bool isModuleBoundary() const { return moduleBoundary_; }
  void setExternal(bool external) { external_ = external; }
  bool isExternal() const { return external_; }
  // In test mode declarations are checked and built but not stored in the module.
  void setTestOptions(bool testOptions) { testOptions_ = testOptions; }

  const std::vector<ref_count_ptr<TamOption>>& usingOptions() const { return usingOptions_; }
  // The non-legacy options in name order.
  std::vector<ref_count_ptr<TamOption>> options() const;
  // The same list, shared rather than copied: kept until the options change. A walk holds its
  // own handle on the list, so the module may change meanwhile without pulling the list away.
  using OptionList = std::vector<ref_count_ptr<TamOption>>;
  std::shared_ptr<const OptionList> optionList() const;
  // Adds the options the rules refer to and the base of every based option.
  void referencedOptions(std::set<ref_count_ptr<TamOption>>& out) const;

  // The option of this name (declared first, then legacy); raises 102 when there is none.
  ref_count_ptr<TamOption> getOption(const std::string& name) const;
  // Parses one declaration line and returns the option it declares (see the RIX declaration
  // syntax). Raises TamSyntaxError for malformed text, 101 for a change of kind or scope.
  ref_count_ptr<TamOption> addOptionString(const std::string& declaration);
  // Renames an option across this module's declarations and rules and redeclares it.
  ref_count_ptr<TamOption> changeOptionString(ref_count_ptr<TamOption> option, std::string newName,
                                              const std::string& newDeclaration);
  // Raises 102 for an unknown name and 109 when another option is based on it.
  void deleteOption(const std::string& name);
  // The declaration text of an option; raises 102 when there is none.
  std::string askOptionRix(const std::string& name) const;
  // Raises 101 when a legacy option of this name exists.
  ref_count_ptr<TamOption> declareLegacyOption(const std::string& name);

  // Parses the rules now; a syntax error leaves the old rules in place.
  void setRix(const std::string& rules);
  // The rules, or a fresh empty root (not kept) when there are none.
  ref_count_ptr<TamExpRoot> getRix() const;
  // Reads a whole module text: the line "module <id>", the line "interface start", one
  // declaration per line up to "interface end", then the rules. Options declared again are updated
  // in place (same object, same id); options the text no longer declares are removed; legacy
  // options are untouched. An empty text changes nothing. Blank lines and CR LF line ends are
  // skipped; lines are not trimmed. Raises TamSyntaxError (empty context, line 0) for a first line
  // that does not begin with "module ", an id that differs from this module's, a second line that
  // is not exactly "interface start" (also when the text has only the module line) -- the same
  // refusal as the translater's, so both read the same texts -- and an interface without its
  // "interface end" line. Failures part-way keep what was done: declarations read before a
  // failing line stay applied and nothing is removed; a rules failure keeps the new interface
  // and the old rules.
  void setRixData(const std::string& text);
  // The same, sharing the host's text instead of copying the parts the module keeps (its
  // declaration lines and rules): for a host that keeps the text anyway. A null text changes
  // nothing.
  void setRixData(std::shared_ptr<const std::string> text);
  // The module text in the layout setRixData reads; empty for a module without options and
  // rules. No line break is added after the rules.
  std::string getRixData() const;

 private:
  friend class TamWindow;
  friend class TamDeclarationParser;

  TamModule(TamWindow* window, const std::string& id);

  // addOptionString and setRix over text read in place. The option keeps its declaration as the
  // stretch of `text` from `at` when a text is given (the interface section it was read from,
  // shared by the options declared with it), as a copy of its own otherwise.
  ref_count_ptr<TamOption> declare(std::string_view declaration,
                                   const std::shared_ptr<const std::string>& text = nullptr,
                                   std::size_t at = 0);
  void replaceRules(std::string rules);
  // The same for rules that are the part `rules` of a text the host shares.
  void replaceRules(std::shared_ptr<const std::string> text, std::string_view rules);
  // setRixData over `text`; the declarations keep stretches of `shared` when it holds the text,
  // else of a copy of the interface section.
  void readRixData(const std::string& text, std::shared_ptr<const std::string> shared);

  ref_count_ptr<TamOption> createOption(const std::string& name, TamOption::Scope scope);
  ref_count_ptr<TamOption> presentOption(const std::string& name,
                                         const ref_count_ptr<TamOption>& base, const TamPath& path);
  ref_count_ptr<TamOption> implementOrUseOption(const std::string& name,
                                                const ref_count_ptr<TamOption>& base,
                                                TamOption::Scope scope, bool uses);
  // Removes an option from the option map and the used options, and drops its declaration text.
  void forgetOption(const std::string& name);

  // Names in byte order, as std::string_view orders them, compared in place: names are short,
  // and a call to compare them cost more than the comparison at every step of a lookup.
  struct NameOrder {
    bool operator()(std::string_view a, std::string_view b) const noexcept {
      const std::size_t common = a.size() < b.size() ? a.size() : b.size();
      for (std::size_t i = 0; i < common; ++i) {
        if (a[i] != b[i]) {
          return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
        }
      }
      return a.size() < b.size();
    }
  };
  // Options by name. A key is a view of the name of the option it maps to, which the map keeps
  // alive and which never changes.
  using OptionMap = std::map<std::string_view, ref_count_ptr<TamOption>, NameOrder>;
  // Enters a new option in the option map (outside test mode) at `at`, the place its name
  // belongs.
  void enterOption(const ref_count_ptr<TamOption>& option, OptionMap::iterator at);
  OptionMap optionMap_;
  mutable std::shared_ptr<const OptionList> optionList_;  // null until asked for after a change
  OptionMap legacyOptionMap_;
  // While setRixData reads a text: the ranges its declarations share. Null otherwise.
  tam::detail::ConstraintCache* readingCache_ = nullptr;
  std::vector<ref_count_ptr<TamOption>> usingOptions_;
  bool moduleBoundary_ = false;
  TamWindow* window_;
  ref_count_ptr<TamExpRoot> rixRoot_;
  // Shared with the module's options, which name it.
  std::shared_ptr<const std::string> id_;
  bool external_ = false;
  bool testOptions_ = false;
};

#endif  // TAM_TAMMODULE_H
