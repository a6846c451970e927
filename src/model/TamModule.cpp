#include "tam/TamModule.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "model/LookupEpoch.h"
#include "rix/TamDeclarationParser.h"
#include "rix/TamRuleParser.h"
#include "tam/TamException.h"
#include "tam/TamExpRoot.h"
#include "tam/TamTranslater.h"
#include "tam/TamWindow.h"

namespace {

constexpr int kOptionExistsCode = 101;
constexpr int kNoSuchOptionCode = 102;
constexpr int kOptionReferencedCode = 109;
constexpr int kPresentsNonPublicCode = 303;
constexpr int kUsesNonPublicCode = 305;
constexpr int kImplementsNonPublicCode = 306;

[[noreturn]] void fail(int code, const std::string& info = std::string()) {
  throw TamException(code, info, std::string(), std::string());
}

}  // namespace

TamModule::TamModule(TamWindow* window, const std::string& id)
    : window_(window), id_(std::make_shared<const std::string>(id)) {}

// Options may outlive their module in the sets that hold them: they no longer name it.
TamModule::~TamModule() {
  for (const auto& entry : optionMap_) entry.second->listedBy_ = nullptr;
  for (const auto& entry : legacyOptionMap_) entry.second->listedBy_ = nullptr;
}

ref_count_ptr<TamWindow> TamModule::window() const { return ref_count_ptr<TamWindow>(window_); }

std::vector<ref_count_ptr<TamOption>> TamModule::options() const {
  std::vector<ref_count_ptr<TamOption>> all;
  all.reserve(optionMap_.size());
  for (const auto& entry : optionMap_) all.push_back(entry.second);
  return all;
}

std::shared_ptr<const TamModule::OptionList> TamModule::optionList() const {
  if (!optionList_) optionList_ = std::make_shared<const OptionList>(options());
  return optionList_;
}

// Resolving a base may call the host, which may read this module's text again: the walk is over
// a copy of the options, not over the map the host may change.
void TamModule::referencedOptions(std::set<ref_count_ptr<TamOption>>& out) const {
  const ref_count_ptr<TamWindow> keep = window();
  getRix()->referencedOptions(keep, out);
  for (const ref_count_ptr<TamOption>& option : options()) {
    if (option->type() != TamOption::TYPE_DECLARED) out.insert(option->basedOn());
  }
}

ref_count_ptr<TamOption> TamModule::getOption(const std::string& name) const {
  auto it = optionMap_.find(name);
  if (it != optionMap_.end()) return it->second;
  it = legacyOptionMap_.find(name);
  if (it != legacyOptionMap_.end()) return it->second;
  fail(kNoSuchOptionCode, name);
}

// Calls that can reach the host (a base module to load) hold the window while they run, so a
// host that drops its last handle in a callback does not free it under them.
ref_count_ptr<TamOption> TamModule::addOptionString(const std::string& declaration) {
  return declare(declaration);
}

ref_count_ptr<TamOption> TamModule::declare(std::string_view declaration,
                                            const std::shared_ptr<const std::string>& text,
                                            std::size_t at) {
  const ref_count_ptr<TamWindow> keep = window();
  TamDeclarationParser parser(declaration, this);
  parser.parse();
  ref_count_ptr<TamOption> option = parser.option();
  if (testOptions_ || !option) return option;
  // Stretches are kept as 32-bit offsets: a larger shared text is not shared.
  if (text && text->size() <= std::numeric_limits<std::uint32_t>::max()) {
    option->setDeclaration(text, at, declaration.size());
  } else {
    option->setDeclaration(std::make_shared<const std::string>(declaration), 0, declaration.size());
  }
  return option;
}

ref_count_ptr<TamOption> TamModule::changeOptionString(ref_count_ptr<TamOption> option,
                                                       std::string newName,
                                                       const std::string& newDeclaration) {
  if (option->scope() == TamOption::SCOPE_LEGACY) return option;
  const ref_count_ptr<TamWindow> keep = window();
  const std::string oldName = option->name();
  // Rewrite every reference to the option in this module's own text; the option's declaration
  // line keeps the old name, so reading the text back keeps the old option in place.
  TamTranslater translater;
  translater.addOptionMapping(*id_, oldName, newName);
  setRixData(translater.translateRixData(option->moduleId(), getRixData()));
  forgetOption(oldName);
  return addOptionString(newDeclaration);
}

void TamModule::deleteOption(const std::string& name) {
  ref_count_ptr<TamOption> option = getOption(name);
  if (option->scope() == TamOption::SCOPE_LEGACY) {
    option->listedBy_ = nullptr;
    legacyOptionMap_.erase(name);
    tam::detail::foundLookupsChanged();
    return;
  }
  if (option->isReferenced()) fail(kOptionReferencedCode, name);
  forgetOption(name);
}

std::string TamModule::askOptionRix(const std::string& name) const {
  auto it = optionMap_.find(name);
  if (it == optionMap_.end() || !it->second->hasDeclaration()) fail(kNoSuchOptionCode, name);
  return it->second->declaration();
}

ref_count_ptr<TamOption> TamModule::declareLegacyOption(const std::string& name) {
  if (legacyOptionMap_.count(name) != 0) fail(kOptionExistsCode, name);
  ref_count_ptr<TamOption> option(new TamOption(window_, id_, name, TamOption::SCOPE_LEGACY));
  legacyOptionMap_.emplace(option->name(), option);
  option->listedBy_ = this;
  tam::detail::lookupsChanged();
  return option;
}

void TamModule::setRix(const std::string& rules) { replaceRules(rules); }

void TamModule::replaceRules(std::string rules) {
  TamRuleParser parser(std::move(rules));
  ref_count_ptr<TamExpRoot> root = parser.parseRules();
  rixRoot_ = root;
}

void TamModule::replaceRules(std::shared_ptr<const std::string> text, std::string_view rules) {
  TamRuleParser parser(std::move(text), rules);
  ref_count_ptr<TamExpRoot> root = parser.parseRules();
  rixRoot_ = root;
}

ref_count_ptr<TamExpRoot> TamModule::getRix() const {
  if (rixRoot_) return rixRoot_;
  return ref_count_ptr<TamExpRoot>(new TamExpRoot());
}

// Declaring. Outside test mode an option that exists under the name is reused when the
// declaration keeps its kind and scope (so its object and id survive), and refused with 101
// otherwise. In test mode nothing is compared with or stored in the module.

ref_count_ptr<TamOption> TamModule::createOption(const std::string& name, TamOption::Scope scope) {
  OptionMap::iterator at = optionMap_.end();  // where a new option enters the map
  if (!testOptions_) {
    auto it = optionMap_.lower_bound(name);
    if (it != optionMap_.end() && it->first == name) {
      ref_count_ptr<TamOption> existing = it->second;
      if (existing->type() != TamOption::TYPE_DECLARED || existing->scope() != scope) {
        fail(kOptionExistsCode, name);
      }
      existing->clearValues();
      return existing;
    }
    at = it;
  }
  ref_count_ptr<TamOption> option(new TamOption(window_, id_, name, scope));
  if (!testOptions_) {
    if (scope != TamOption::SCOPE_LEGACY) moduleBoundary_ = true;
    enterOption(option, at);
  }
  return option;
}

ref_count_ptr<TamOption> TamModule::presentOption(const std::string& name,
                                                  const ref_count_ptr<TamOption>& base,
                                                  const TamPath& path) {
  OptionMap::iterator at = optionMap_.end();  // where a new option enters the map
  if (!testOptions_) {
    if (base->scope() != TamOption::SCOPE_PUBLIC) fail(kPresentsNonPublicCode);
    auto it = optionMap_.lower_bound(name);
    if (it != optionMap_.end() && it->first == name) {
      ref_count_ptr<TamOption> existing = it->second;
      if (existing->type() != TamOption::TYPE_PRESENTS) fail(kOptionExistsCode, name);
      existing->rebase(base, path);
      existing->clearValues();
      return existing;
    }
    at = it;
  }
  ref_count_ptr<TamOption> option(new TamOption(base, id_, name, path));
  if (!testOptions_) {
    moduleBoundary_ = true;
    enterOption(option, at);
  }
  return option;
}

ref_count_ptr<TamOption> TamModule::implementOrUseOption(const std::string& name,
                                                         const ref_count_ptr<TamOption>& base,
                                                         TamOption::Scope scope, bool uses) {
  const TamOption::Type type = uses ? TamOption::TYPE_USES : TamOption::TYPE_IMPLEMENTS;
  OptionMap::iterator at = optionMap_.end();  // where a new option enters the map
  if (!testOptions_) {
    if (base->scope() != TamOption::SCOPE_PUBLIC) {
      fail(uses ? kUsesNonPublicCode : kImplementsNonPublicCode);
    }
    auto it = optionMap_.lower_bound(name);
    if (it != optionMap_.end() && it->first == name) {
      ref_count_ptr<TamOption> existing = it->second;
      if (existing->type() != type || existing->scope() != scope) fail(kOptionExistsCode, name);
      existing->rebase(base, TamPath());
      existing->clearValues();
      return existing;
    }
    at = it;
  }
  ref_count_ptr<TamOption> option(new TamOption(base, id_, name, scope, type));
  if (!testOptions_) {
    moduleBoundary_ = true;
    enterOption(option, at);
    if (uses) usingOptions_.push_back(option);
  }
  return option;
}

// `at` is where looking the name up found its place in the map: the option is entered there
// without a second search. A new option hides a legacy option of its name from getOption: a
// lookup that found the legacy one now finds another.
void TamModule::enterOption(const ref_count_ptr<TamOption>& option, OptionMap::iterator at) {
  optionMap_.emplace_hint(at, option->name(), option);
  option->listedBy_ = this;
  optionList_.reset();
  if (legacyOptionMap_.count(option->name()) != 0) {
    tam::detail::foundLookupsChanged();
  } else {
    tam::detail::lookupsChanged();
  }
}

void TamModule::forgetOption(const std::string& name) {
  auto it = optionMap_.find(name);
  if (it != optionMap_.end()) {
    const int id = it->second->id();
    usingOptions_.erase(
        std::remove_if(usingOptions_.begin(), usingOptions_.end(),
                       [id](const ref_count_ptr<TamOption>& option) { return option->id() == id; }),
        usingOptions_.end());
    // Keep the option alive until the map no longer holds it.
    ref_count_ptr<TamOption> leaving = it->second;
    leaving->listedBy_ = nullptr;
    leaving->setDeclaration(nullptr, 0, 0);
    optionMap_.erase(it);
    optionList_.reset();
    tam::detail::foundLookupsChanged();
  }
}
