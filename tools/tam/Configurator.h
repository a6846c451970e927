// A Configurator is one product being configured interactively, as `tam serve` offers it: the
// product file's session (one window, one node tree), the host values a person chooses with their
// undo and redo steps, and the result of the last evaluation that succeeded. Each operation
// answers a JSON document of the serve API (docs/serve-api.md) or throws ApiError.
//
// Every operation holds one lock from start to end, so evaluations never overlap; answers are
// built from the results of the last evaluation that succeeded, never from the tree itself. A
// change whose evaluation fails is taken back, and the product stays as it was before it; only when
// no evaluation has succeeded yet (the file's own host values fail) are changes kept while they
// fail, so that a person can repair the product.
#ifndef TAM_TOOL_CONFIGURATOR_H
#define TAM_TOOL_CONFIGURATOR_H

#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "EvalReport.h"
#include "HostChoices.h"
#include "Session.h"
#include "ValueText.h"

class Explainer;

// The version of the API's documents, sent in every answer as "version".
constexpr int kServeApiVersion = 1;

// A request the configurator refuses: the HTTP status, a short code a program can test
// ("unknown_node"), a sentence a person can act on, and details (the placed failure of an
// evaluation) when there are any.
class ApiError : public std::runtime_error {
 public:
  ApiError(int status, std::string code, const std::string& message,
           OutputJson detail = OutputJson())
      : std::runtime_error(message),
        status_(status),
        code_(std::move(code)),
        detail_(std::move(detail)) {}
  int status() const { return status_; }
  const std::string& code() const { return code_; }
  const OutputJson& detail() const { return detail_; }

 private:
  int status_;
  std::string code_;
  OutputJson detail_;
};

// HTTP statuses the configurator answers with.
constexpr int kStatusBadRequest = 400;
constexpr int kStatusNotFound = 404;
constexpr int kStatusConflict = 409;
constexpr int kStatusServerError = 500;

class Configurator {
 public:
  // Lines of a file shown around the line asked for by source().
  static constexpr int kSourceContext = 3;

  // Reads the product file and its modules and evaluates it. Throws ToolError when the product
  // cannot be used (as `tam eval` reports it); a failing evaluation is kept and shown instead.
  explicit Configurator(const std::string& productPath);
  Configurator(const Configurator&) = delete;
  Configurator& operator=(const Configurator&) = delete;
  ~Configurator();

  // GET /api/product: the product, its modules' options, the tree with each node's state,
  // the messages, the legacy values, the summary, undo and redo, and whether anything is unsaved.
  OutputJson product();
  // GET /api/node: one node with its options, values and host values.
  OutputJson node(const std::string& path);
  // POST /api/set, /api/clear, /api/undo, /api/redo: the changes since the last evaluation, and
  // the node the request names as "focus" as GET /api/node shows it, so that a page shows the
  // outcome of a change after one request.
  OutputJson set(const nlohmann::json& request);
  OutputJson clear(const nlohmann::json& request);
  OutputJson undo(const nlohmann::json& request);
  OutputJson redo(const nlohmann::json& request);
  // POST /api/save: writes the host values into the product file.
  OutputJson save();
  // GET /api/why: why a node has its state, or an option at a node its values: the facts the
  // results and files tell, and the trail of steps that led there. The trail comes from an
  // evaluation with the record's history on, made when a why is first asked after a change, so
  // that changes pay nothing for it.
  OutputJson why(const std::string& path, const std::string& option);
  // GET /api/source: lines of the product file or of a module file around a line.
  OutputJson source(const std::string& file, int line);

  // The product file as it was given on the command line.
  const std::string& productPath() const { return productPath_; }

 private:
  struct NodeResult {
    NodeReport report;
    std::string cause;   // load_if_true, load_if_false, ... (see docs/serve-api.md)
    std::string reason;  // the cause in a sentence
  };
  struct Results {
    std::vector<NodeResult> nodes;  // by node index
    std::vector<EmittedMessage> messages;
    std::map<FileAdapter::LegacyKey, LegacyValue> legacy;
    ReportCounts counts;
  };

  // A step to make (kNew), to take back or make again, or none (a change to what already is).
  enum class StepKind { kNew, kUndo, kRedo, kNone };

  // Reads the product file and its module files into a new session.
  void open();
  // After a save: reads the file again; says in `answer` when that failed.
  bool reopen(OutputJson& answer);
  // Evaluates with the current choices. Returns null, with the failure placed in `failure`, when
  // the evaluation raises.
  std::unique_ptr<Results> evaluateResults(OutputJson& failure);
  // Applies a step, evaluates, and answers with what changed; a failing step is taken back.
  OutputJson change(const HostStep& step, StepKind kind, const std::string& focus);
  // The node at the index with its options, as GET /api/node answers.
  OutputJson nodeJson(std::size_t index);
  // The "focus" of a change request: a node path, or empty.
  std::string focusOf(const nlohmann::json& request) const;
  HostValueEntry checkedEntry(ProductNode& node, const nlohmann::json& request);

  ProductNode& nodeAt(const std::string& path);
  std::size_t indexOf(const std::string& path) const;
  NodeResult resultOf(ProductNode& node) const;
  // module:option of each option a node of the module shows, in declaration order.
  std::vector<std::string> moduleOptionNames(const std::string& moduleId);
  OutputJson resultsJson(const std::vector<std::size_t>& changed, bool everything) const;
  OutputJson treeNodeJson(std::size_t index) const;
  OutputJson modulesJson();
  OutputJson historyJson() const;
  OutputJson failureJson(const TamException& e);
  // Evaluates the current choices again with the record's history on, unless the tree holds
  // such an evaluation of them already. False when it fails (or no evaluation succeeds now).
  bool explainTree();
  // `explainer` is null when the tree could not be explained.
  OutputJson whyNode(std::size_t index, Explainer* explainer);
  OutputJson whyOption(std::size_t index, const std::string& option, Explainer* explainer);

  std::mutex mutex_;
  std::string productPath_;
  std::unique_ptr<Session> session_;
  std::vector<ProductNode*> nodes_;  // depth first, as Session::nodes()
  std::map<std::string, std::size_t> indexByPath_;
  HostChoices choices_;
  std::string loadedText_;             // the product file as last read or written
  std::unique_ptr<Results> results_;   // of the last evaluation that succeeded; null before one
  std::unique_ptr<Results> previous_;  // the results before, while a change is answered
  OutputJson failure_;                 // of the current choices, while none has succeeded
  bool explained_ = false;  // the tree holds the results' evaluation with the record's history
  long revision_ = 0;
};

#endif  // TAM_TOOL_CONFIGURATOR_H
