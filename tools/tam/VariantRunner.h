// A VariantRunner evaluates the variants of one product one after the other, with the product
// read and its modules loaded once. A variant's choices are host values given beside the
// product's own, as `tam eval --set` gives them. Before each variant every node gets its host
// values anew and the session starts its evaluation afresh (Session::evaluate), so a variant's
// record never depends on the variants run before it.
//
// The record of a variant is one JSON object, written on one line, keys in this order
// (schema: docs/schema/tam-sweep.schema.json):
//   "format": {"name": "tam-sweep", "version": 1}; "variant": its index; "source": "file:line" of its row, or null;
//   "choices": {NODEPATH:module:option: the value as the option reads it, or a list of values};
//   "status": "ok", "errors" (a rule emitted an error message) or "failed";
//   "states": {node path: "configured" | "not_configured" | "undecided"}, null when failed;
//   "values": {each selected NODEPATH:module:option: its value, a list for an option that takes
//     several, null at a node that was not configured}, null when failed;
//   "messages": the messages of the rules, as `tam eval --json` lists them;
//   "failure": null, or {"message", "code" (the library's, or null), "node" (path, or null)}.
// A variant whose row could not be read, whose choices do not fit the product, or whose
// evaluation raises is recorded as failed with what `tam eval` would have said about it.
#ifndef TAM_TOOL_VARIANTRUNNER_H
#define TAM_TOOL_VARIANTRUNNER_H

#include <tam/libtam.h>

#include <string>
#include <utility>
#include <vector>

#include "Session.h"
#include "ValueText.h"
#include "Variants.h"

// Why host values for `moduleId` cannot be given at the node `nodePath` (there is no such node,
// or its module is another), or the empty text when they can.
std::string hostValueProblem(const Session& session, const std::string& nodePath,
                             const std::string& moduleId);

// The option a choice names, once its node is known to take host values of its module; null with
// the reason in `problem` when there is no such node or option, the node has another module, or
// the option is a legacy one (whose values come from the product file).
ref_count_ptr<TamOption> choiceOption(Session& session, const Choice& choice, std::string& problem);

class VariantRunner {
 public:
  enum class Status { kOk = 0, kErrors = 1, kFailed = 2 };
  struct Record {
    Status status = Status::kOk;
    std::string json;  // one line, without its line feed
  };

  // Reads the product and builds its tree; `select` names the values each record reports
  // (NODEPATH:module:option). ToolError (kExitUsage) for a product that cannot be used or a
  // selected option that does not exist at its node. The session's adapter is installed, as
  // Session does.
  VariantRunner(const std::string& productPath, const std::vector<std::string>& select);
  VariantRunner(const VariantRunner&) = delete;
  VariantRunner& operator=(const VariantRunner&) = delete;

  Record run(const Variant& variant);
  // Gives every node the product file's host values and then the choices made at it. ToolError
  // (kExitUsage), naming the choice, for a choice the product does not take.
  void applyChoices(const std::vector<Choice>& choices);
  // The record of a variant that could not be run at all, failed with `message`.
  Record failedRecord(const Variant& variant, const std::string& message);

  Session& session() { return session_; }
  static const char* statusName(Status status);

 private:
  struct Selection {
    std::string key;
    ProductNode* node;
    ref_count_ptr<TamOption> option;
  };

  Selection select(const std::string& key);
  OutputJson choicesJson(const Variant& variant);
  OutputJson selectedJson();
  Record finish(OutputJson& record, Status status);
  std::string failureText(const TamException& e);

  Session session_;
  // Each node with the host values the product file gives it.
  std::vector<std::pair<ProductNode*, const NodeEntry*>> nodes_;
  std::vector<Selection> selections_;
};

#endif  // TAM_TOOL_VARIANTRUNNER_H
