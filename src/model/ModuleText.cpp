// Reading and writing a module's whole RIX text: the module line, the interface section with one
// declaration per line, and the rules.
#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "model/ConstraintCache.h"
#include "model/ModuleTextFormat.h"
#include "model/OptionBlocks.h"
#include "model/TamTokenizer.h"
#include "tam/TamException.h"
#include "tam/TamExpRoot.h"
#include "tam/TamModule.h"
#include "tam/TamWindow.h"

namespace tam {
namespace detail {

void raiseModuleTextError(const std::string& message) {
  throw TamSyntaxError(message, std::string(), 0);
}

}  // namespace detail
}  // namespace tam

using tam::detail::kInterfaceEnd;
using tam::detail::kInterfaceStart;
using tam::detail::kModuleKeyword;
using tam::detail::raiseModuleTextError;

void TamModule::setRixData(const std::string& text) { readRixData(text, nullptr); }

void TamModule::setRixData(std::shared_ptr<const std::string> text) {
  if (text) readRixData(*text, text);
}

void TamModule::readRixData(const std::string& text, std::shared_ptr<const std::string> shared) {
  if (text.empty()) return;
  const ref_count_ptr<TamWindow> keep = window();  // the host may drop its own in a callback
  TamTokenizer lines(text, TamTokenizer::kLineBreaks);

  const std::string_view keyword(kModuleKeyword);
  const std::string_view moduleLine = lines.nextView();
  if (moduleLine.substr(0, keyword.size()) != keyword) {
    raiseModuleTextError(tam::detail::kNoModuleLine);
  }
  const std::string textId(moduleLine.substr(keyword.size()));
  if (textId != *id_) {
    raiseModuleTextError("RIX module statement \"module " + textId +
             "\" does not match this module's id of \"" + *id_ + "\".");
  }
  // The translater reads module texts the same way, so a text it refuses is refused here too.
  if (lines.nextView() != kInterfaceStart) raiseModuleTextError(tam::detail::kNoInterfaceStart);

  // The declaration lines are kept once, as the host's text when it is shared, else as one copy
  // of the section they stand in (up to the "interface end" line, or the end of the text); the
  // options declared from it share it.
  const std::string_view section = lines.remainderView();
  const std::shared_ptr<const std::string> hostText = shared;
  const char* keptStart = text.data();
  if (!shared) {
    TamTokenizer scan = lines;
    std::size_t sectionSize = 0;
    for (std::string_view line = scan.nextView(); !line.empty() && line != kInterfaceEnd;
         line = scan.nextView()) {
      sectionSize = static_cast<std::size_t>(line.data() + line.size() - section.data());
    }
    shared = std::make_shared<const std::string>(section.substr(0, sectionSize));
    keptStart = section.data();
  }
  // A first read places its options beside the window's others; a re-read keeps most of the
  // options it had, and its new ones go to the heap.
  const tam::detail::OptionBlocks::Placing placing(optionMap_.empty() ? window_->optionBlocks_.get()
                                                                       : nullptr);
  const std::shared_ptr<const std::string> kept = std::move(shared);
  tam::detail::ConstraintCache ranges;
  struct Reading {  // the module reads with `ranges` until this read ends, however it ends
    TamModule& module;
    tam::detail::ConstraintCache* previous;
    ~Reading() { module.readingCache_ = previous; }
  } reading{*this, readingCache_};
  readingCache_ = &ranges;

  // The options held before the read, in name order, and which of their names the text declares
  // again; the others are forgotten afterwards, in name order.
  std::vector<ref_count_ptr<TamOption>> held;
  held.reserve(optionMap_.size());
  for (const auto& entry : optionMap_) held.push_back(entry.second);
  std::vector<bool> declaredAgain(held.size(), false);
  for (;;) {
    const std::string_view line = lines.nextView();
    if (line.empty()) raiseModuleTextError(tam::detail::kNoInterfaceEnd);
    if (line == kInterfaceEnd) break;
    ref_count_ptr<TamOption> option =
        declare(line, kept, static_cast<std::size_t>(line.data() - keptStart));
    if (option && !held.empty()) {
      const std::string_view name = option->name();
      const auto found = std::lower_bound(
          held.begin(), held.end(), name,
          [](const ref_count_ptr<TamOption>& entry, std::string_view key) {
            return std::string_view(entry->name()) < key;
          });
      if (found != held.end() && std::string_view((*found)->name()) == name) {
        declaredAgain[static_cast<std::size_t>(found - held.begin())] = true;
      }
    }
  }
  for (std::size_t i = 0; i < held.size(); ++i) {
    if (!declaredAgain[i]) forgetOption(held[i]->name());
    held[i] = nullptr;  // a forgotten option may go now, as it would without this list
  }

  if (hostText) {
    replaceRules(hostText, lines.remainderView());
  } else {
    replaceRules(std::string(lines.remainderView()));
  }
}

std::string TamModule::getRixData() const {
  if (optionMap_.empty() && !rixRoot_) return std::string();
  std::string text = kModuleKeyword + *id_ + "\n" + kInterfaceStart + "\n";
  for (const auto& entry : optionMap_) text += askOptionRix(std::string(entry.first)) + "\n";
  text += std::string(kInterfaceEnd) + "\n";
  if (rixRoot_) text += rixRoot_->rix();
  return text;
}
