// CatalogAdapter is the host's side of libtam's callbacks: it hands the library the RIX text of a
// module when the library first needs that module, and collects the messages that message rules
// send while a product is evaluated. A real host would read the texts from its database or from
// files; this one keeps them in memory.
#ifndef TAM_HOST_EXAMPLE_CATALOGADAPTER_H
#define TAM_HOST_EXAMPLE_CATALOGADAPTER_H

#include <tam/libtam.h>

#include <map>
#include <string>
#include <vector>

// One message of a message rule, with the node whose rules sent it.
struct RuleMessage {
  Tam::MsgSeverity severity;
  std::string nodePath;
  std::string text;
};

class CatalogAdapter : public Tam::AdapterInterface {
 public:
  // The module texts the adapter can supply, by module id.
  explicit CatalogAdapter(std::map<std::string, std::string> moduleTexts);

  // Creates the module in the window and gives it its text; false when the catalog has no such
  // module (the library then raises TamException 302 naming it).
  bool loadModule(TamWindow* window, const std::string& moduleId) override;
  // Reads a module's text again after TamWindow::moduleNeedsRefresh.
  bool refreshModule(TamWindow* window, ref_count_ptr<TamModule> module) override;
  // Keeps the message and lets the evaluation go on (false would stop it with code 500).
  bool userMsg(TamWindow* window, Tam::MsgSeverity severity, const std::string& message,
               TamNode* node) override;

  const std::vector<RuleMessage>& messages() const { return messages_; }
  void clearMessages() { messages_.clear(); }

 private:
  std::map<std::string, std::string> moduleTexts_;
  std::vector<RuleMessage> messages_;
};

#endif  // TAM_HOST_EXAMPLE_CATALOGADAPTER_H
