// Tam holds the library's entry points. A host installs its adapter with Tam::initialize and then
// creates windows with Tam::createWindow. The adapter is the library's only way back to the host:
// it supplies modules on demand, decides on conflicting settings, receives the messages of message
// rules, keeps the values of legacy options and localises syntax error texts. The library never
// owns or deletes the adapter; the host keeps it alive while any window exists.
//
// A callback may throw: the exception reaches the host's call into the library unchanged (a
// TamException thrown while a node's load-if or rules run gets that node, and the rule's line
// when it has none, stamped into it like the library's own). A callback may call back into the
// library; what would never end is refused with TamException 2 (see TamWindow.h and TamNode.h).
//
// Threads. The library starts no thread; every call runs on the caller's thread.
// - A window and everything reached from it (its modules, options and parsed rules, selected
//   option sets bound to it, the host's nodes of its tree, validators and translaters working on
//   it) is used by one thread at a time. Different windows may be used from different threads at
//   the same time, and a window may move from one thread to another between calls.
// - Values a host makes (createInt, createString, ...) are counted without locks: give one value
//   object to windows of one thread only, or make one per window. The Unset and Bool values are
//   shared by the whole process and may go anywhere.
// - Process-wide and safe to share: the option id counter and id map, the shared Unset and Bool
//   values, the built-in message and keyword tables (built once, then only read), the count of
//   live objects, and the throw callback (installed atomically, called on the thread that makes
//   the exception, so it must allow concurrent calls). Paths may be parsed and identifiers quoted
//   on any thread.
// - The adapter is one for the whole process: install it with initialize() before other threads
//   use the library, and replace it only while none does. Its operations are called from every
//   thread that works on a window, at the same time for different windows, so they must allow
//   that: keep per-window state per window (the window is always the first argument, or reached
//   through the node), and guard what the windows share.
// - TamOption::optionForId is safe only for options of windows the calling thread works on.
// docs/threading.md says the same at more length, for host authors.
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
    // While it runs, asking the window for the same module again is refused (TamException 2).
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
    // Legacy option values the host keeps. Defaults: Unset, one-element vector, ignore. A null
    // value handed back stands for Unset.
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

  // Installs the adapter, replacing any earlier one. Call before anything else, and before any
  // other thread uses the library (the pointer is read without a lock).
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
  // keyword; the empty name is written as two quotes. The translater writes renamed references
  // this way.
  static std::string rixQuoteOptionName(const std::string& name);

 private:
  static AdapterInterface*& adptInterface();
};

#endif  // TAM_TAM_H
