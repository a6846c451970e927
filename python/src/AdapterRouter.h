// The library calls back to its host through one adapter for the whole process (Tam::initialize).
// The Python module lets every window have an adapter of its own: it installs an AdapterRouter
// once, at import, and the router hands each call on to the adapter of the window it concerns.
//
// A call names its window (loadModule, refreshModule, userMsg, the legacy values) or a node whose
// window it is (allowOptionOverride). Calls that name neither (localizeString, an override decided
// for a set not yet bound to a node) and calls for windows no adapter is routed to (windows the
// library or a host class creates for their own checks) go to the adapter of the innermost Scope:
// every entry point of the module opens one for the window it works on. Without a scope they get
// the library's default answers, and no module can be loaded.
//
// Routes and scopes hold plain pointers: whoever routes a window removes the route before the
// adapter goes. Used with the interpreter's lock held, like the rest of the module.
#ifndef TAM_PYTHON_ADAPTERROUTER_H
#define TAM_PYTHON_ADAPTERROUTER_H

#include <tam/libtam.h>

#include <map>
#include <string>
#include <vector>

class AdapterRouter : public Tam::AdapterInterface {
 public:
  // The one router; installed with Tam::initialize by install().
  static AdapterRouter& instance();
  void install() { Tam::initialize(this); }

  void route(TamWindow* window, Tam::AdapterInterface* adapter) { routes_[window] = adapter; }
  void unroute(TamWindow* window) { routes_.erase(window); }

  // Makes `adapter` the one for calls that name no routed window, until the scope ends.
  class Scope {
   public:
    explicit Scope(Tam::AdapterInterface* adapter);
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    ~Scope();

   private:
    Tam::AdapterInterface* previous_;
  };

  bool loadModule(TamWindow* window, const std::string& moduleId) override;
  bool refreshModule(TamWindow* window, ref_count_ptr<TamModule> module) override;
  bool userMsg(TamWindow* window, Tam::MsgSeverity severity, const std::string& message,
               TamNode* node) override;
  bool allowOptionOverride(const TamSelOptionSet::TamSosEntry& existing, const TamNode* node,
                           TamSelOptionSet::HowSet howSet) override;
  ref_count_ptr<TamValue> getLegacyOptionValue(TamWindow* window,
                                               const ref_count_ptr<TamOption>& option) override;
  std::vector<ref_count_ptr<TamValue>> getLegacyOptionValues(
      TamWindow* window, const ref_count_ptr<TamOption>& option) override;
  void setLegacyOptionValue(TamWindow* window, const ref_count_ptr<TamOption>& option,
                            const ref_count_ptr<TamValue>& value) override;
  void setLegacyOptionValues(TamWindow* window, const ref_count_ptr<TamOption>& option,
                             std::vector<ref_count_ptr<TamValue>> values) override;
  std::string localizeString(const std::string& text) override;

 private:
  // The answers of the library's defaults; it supplies no modules.
  class Defaults : public Tam::AdapterInterface {
   public:
    bool loadModule(TamWindow*, const std::string&) override { return false; }
    bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return false; }
  };

  AdapterRouter() = default;
  Tam::AdapterInterface& adapterFor(TamWindow* window);

  std::map<TamWindow*, Tam::AdapterInterface*> routes_;
  Tam::AdapterInterface* current_ = nullptr;
  Defaults defaults_;
};

#endif  // TAM_PYTHON_ADAPTERROUTER_H
