// Tam holds the library's entry points. A host installs its adapter with Tam::initialize and then
// creates windows with Tam::createWindow. The adapter is the library's only way back to the host:
// it supplies modules on demand, decides on conflicting settings, receives the messages of message
// rules, keeps the values of legacy options and localises syntax error texts. The library never
// owns or deletes the adapter; the host keeps it alive while any window exists.
#ifndef TAM_TAM_H
#define TAM_TAM_H

#include <string>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamSelOptionSet.h"
#include "tam/TamValue.h"
#include "tam/ref_count.h"

class TamModule;
class TamNode;
class TamOption;
class TamWindow;

class TAM_API Tam {
 public:
  enum MsgSeverity { MSG_INFORM = 0, MSG_WARN = 1, MSG_ERROR = 2 };

  class TAM_API AdapterInterface {
   public:
    AdapterInterface() = default;
    AdapterInterface(const AdapterInterface&) = default;
    AdapterInterface& operator=(const AdapterInterface&) = default;
    virtual ~AdapterInterface();

    // Asked for a module the window does not hold; true means the host created it in `window`.
    virtual bool loadModule(TamWindow* window, const std::string& moduleId) = 0;
    // Asked to bring a queued module up to date (the handle may be null); false deletes it.
    virtual bool refreshModule(TamWindow* window, ref_count_ptr<TamModule> module) = 0;
    // A message rule's text; false stops the rules with code 500. Default: accept.
    virtual bool userMsg(TamWindow* window, MsgSeverity severity, const std::string& message,
                         TamNode* node);
    // Whether a new value set `howSet` may replace the existing entry's different value.
    // Default: the override table by how the existing value was first set; raises
    // TamException 2 for a default replacing a default, or for an entry whose first HowSet is
    // missing or not one of the seven.
    virtual bool allowOptionOverride(const TamSelOptionSet::TamSosEntry& existing,
                                     const TamNode* node, TamSelOptionSet::HowSet howSet);
    // Legacy option values the host keeps. Defaults: Unset, one-element vector, ignore.
    virtual ref_count_ptr<TamValue> getLegacyOptionValue(TamWindow* window,
                                                         const ref_count_ptr<TamOption>& option);
    virtual std::vector<ref_count_ptr<TamValue>> getLegacyOptionValues(
        TamWindow* window, const ref_count_ptr<TamOption>& option);
    virtual void setLegacyOptionValue(TamWindow* window, const ref_count_ptr<TamOption>& option,
                                      const ref_count_ptr<TamValue>& value);
    virtual void setLegacyOptionValues(TamWindow* window, const ref_count_ptr<TamOption>& option,
                                       std::vector<ref_count_ptr<TamValue>> values);
    // The message for a syntax error code. Default: the built-in English text, or the text
    // itself when it is no known code.
    virtual std::string localizeString(const std::string& text);
  };

  // Installs the adapter, replacing any earlier one. Call before anything else.
  static void initialize(AdapterInterface* adapter);
  static AdapterInterface* adapterInterface();
  // Raises TamException 3 when no adapter is installed.
  static ref_count_ptr<TamWindow> createWindow();

  // The identifier as it must be written in RIX: plain identifiers unchanged, anything else in
  // single quotes with backslashes and quotes escaped. Module ids may start with a digit.
  static std::string rixQuoteId(const std::string& id);
  static std::string rixQuoteModuleId(const std::string& id);
  // An option name as it must be written where RIX text names an option (the name of a
  // declaration, the option of a reference): as rixQuoteId, and in single quotes also when it is
  // spelled like a keyword ("if", "set", "integer"), which written bare would read back as that
  // keyword. The translater writes renamed references this way.
  static std::string rixQuoteOptionName(const std::string& name);

 private:
  static AdapterInterface*& adptInterface();
};

#endif  // TAM_TAM_H
