// The tam command's host classes for Python: products read from their files and evaluated with
// host values (and explained, when asked, as `tam explain` explains), and what sweeps use
// (variants, their sources and the runner that evaluates them).
#include <memory>

#include "Bindings.h"
#include "Diagnostics.h"
#include "EvalDocument.h"
#include "EvalReport.h"
#include "Explanation.h"
#include "ExplanationOutput.h"
#include "Session.h"
#include "VariantGenerators.h"
#include "VariantRunner.h"
#include "Variants.h"

namespace {

PyObject* evaluationErrorType = nullptr;

using Json = nlohmann::json;

// A text, or None when it is empty.
py::object textOrNone(const std::string& text) {
  return text.empty() ? py::object(py::none()) : py::object(py::str(text));
}

Json jsonOf(py::handle value) {
  if (PyBool_Check(value.ptr())) return value.ptr() == Py_True;
  if (PyFloat_Check(value.ptr())) return value.cast<double>();
  if (PyUnicode_Check(value.ptr())) return value.cast<std::string>();
  if (PyIndex_Check(value.ptr()))
    return py::int_(py::reinterpret_borrow<py::object>(value)).cast<long long>();
  throw py::type_error("a choice is a bool, int, float or str, or a list of them, not " +
                       py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>());
}

py::object pythonOf(const Json& json) {
  if (json.is_boolean()) return py::bool_(json.get<bool>());
  if (json.is_number_integer()) return py::int_(json.get<long long>());
  if (json.is_number()) return py::float_(json.get<double>());
  if (json.is_string()) return py::str(json.get<std::string>());
  return py::none();
}

// A choice from a key and a Python value or list of values; false for None (no choice).
bool choiceOf(const std::string& key, py::handle value, Choice& choice) {
  if (!parseChoiceKey(key, choice)) {
    throw py::value_error("choice '" + key + "': expected NODEPATH:module:option");
  }
  if (value.is_none()) return false;
  if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
    for (py::handle item : value) choice.values.push_back(jsonOf(item));
    if (choice.values.empty()) throw py::value_error("choice '" + key + "': no values");
    choice.several = true;
  } else {
    choice.values.push_back(jsonOf(value));
  }
  return true;
}

Variant variantOf(std::int64_t index, py::handle choices, const std::string& source) {
  Variant variant;
  variant.index = index;
  variant.source = source;
  if (choices.is_none()) return variant;
  // As for a row of a file, a choice that cannot be read makes the variant fail, not the sweep.
  try {
    for (auto item : py::reinterpret_borrow<py::dict>(choices)) {
      Choice choice;
      if (choiceOf(py::str(item.first).cast<std::string>(), item.second, choice)) {
        variant.choices.push_back(choice);
      }
    }
  } catch (const py::builtin_exception& e) {
    variant.choices.clear();
    variant.problem = (source.empty() ? "" : source + ": ") + e.what();
  }
  return variant;
}

py::dict choicesOf(const Variant& variant) {
  py::dict choices;
  for (const Choice& choice : variant.choices) {
    if (choice.several) {
      py::list values;
      for (const Json& value : choice.values) values.append(pythonOf(value));
      choices[py::str(choice.key)] = values;
    } else {
      choices[py::str(choice.key)] = pythonOf(choice.values.front());
    }
  }
  return choices;
}

std::vector<Choice> choicesFromDict(py::handle set) {
  std::vector<Choice> choices;
  if (set.is_none()) return choices;
  for (auto item : py::reinterpret_borrow<py::dict>(set)) {
    Choice choice;
    if (choiceOf(item.first.cast<std::string>(), item.second, choice)) choices.push_back(choice);
  }
  return choices;
}

// A `tam explain --json` document as JSON text, for the Python side to decode.
std::string explanationText(const OutputJson& document) {
  return document.dump(-1, ' ', false, OutputJson::error_handler_t::replace);
}

// With an explainer, each option's tuple ends in its explanation and each node's in its own;
// without one, in None.
py::tuple optionTuple(const OptionReport& option, const std::string* explanation) {
  return py::make_tuple(option.option, fromValues(option.values), py::cast(option.how),
                        explanation != nullptr ? py::object(py::str(*explanation))
                                               : py::object(py::none()));
}

// The explanation of every option of the node's set, in the order of the node's report. The
// options are taken first: explaining one reads the set again, which binds it anew.
std::vector<std::string> optionExplanations(Explainer& explainer, ProductNode& node) {
  std::vector<std::string> explanations;
  if (!node.wasEvaluated() || !node.hasModule()) return explanations;
  std::vector<ref_count_ptr<TamOption>> options;
  for (const auto& item : node.getSos().contents()) options.push_back(item.first);
  for (const ref_count_ptr<TamOption>& option : options) {
    explanations.push_back(
        explanationText(optionExplanationJson(explainer.explainOption(node, option))));
  }
  return explanations;
}

// The document tam eval --json prints for an evaluation, written when Python first asks for it
// (writing it costs about twice the evaluation of the e-bike example); the outcome it is written
// from holds its own copies, so later evaluations do not change it. Its options are read from the
// product's window, which `owner` (the product) keeps alive.
class EvalDocumentHandle {
 public:
  EvalDocumentHandle(EvalOutcome outcome, py::object owner)
      : outcome_(std::make_shared<const EvalOutcome>(std::move(outcome))), owner_(std::move(owner)) {}

  const std::string& text() {
    if (text_.empty()) {
      text_ = evalDocument(*outcome_).dump(-1, ' ', false, OutputJson::error_handler_t::replace);
    }
    return text_;
  }

 private:
  std::shared_ptr<const EvalOutcome> outcome_;
  py::object owner_;
  std::string text_;
};

// The evaluation as Python reads it, its status, and the document tam eval --json prints for it
// (one builder for both, so that Evaluation.to_json() is that document). With an explainer, each
// option and node is explained too (`nodes`: the session's nodes, in the outcome's order).
py::tuple reportTuple(EvalOutcome outcome, const std::vector<ProductNode*>& all,
                      Explainer* explainer, py::object owner) {
  py::list nodes;
  for (std::size_t n = 0; n < outcome.nodes.size(); ++n) {
    const NodeReport& report = outcome.nodes[n];
    ProductNode* node = n < all.size() ? all[n] : nullptr;
    std::vector<std::string> explained;
    if (explainer != nullptr && node != nullptr) explained = optionExplanations(*explainer, *node);
    py::list options;
    for (std::size_t k = 0; k < report.options.size(); ++k) {
      options.append(
          optionTuple(report.options[k], k < explained.size() ? &explained[k] : nullptr));
    }
    py::object nodeExplanation = py::none();
    if (explainer != nullptr && node != nullptr) {
      nodeExplanation =
          py::str(explanationText(nodeExplanationJson(explainer->explainNode(*node))));
    }
    nodes.append(py::make_tuple(report.path, report.id, textOrNone(report.module),
                                stateName(report.state),
                                textOrNone(report.forced ? report.forced : ""), options,
                                nodeExplanation));
  }
  py::list messages;
  for (const EmittedMessage& message : outcome.messages) {
    messages.append(py::make_tuple(
        message.severity, message.nodePath, message.moduleId, textOrNone(message.file),
        message.line > 0 ? py::object(py::int_(message.line)) : py::object(py::none()),
        message.text));
  }
  py::list legacy;
  for (const auto& entry : outcome.legacy) {
    legacy.append(py::make_tuple(entry.first.first + ":" + entry.first.second,
                                 fromValues(entry.second.values), entry.second.changed));
  }
  py::object name = textOrNone(outcome.product);
  py::str file(outcome.file);
  py::str mode(outcome.variantsMode);
  py::str status(evalStatus(outcome));
  py::object document = py::cast(EvalDocumentHandle(std::move(outcome), std::move(owner)));
  return py::make_tuple(name, file, mode, nodes, messages, legacy, status, document);
}

// The host classes install their session's adapter for the whole process when they read a
// product; the module's router takes its place again when they are done, whether they succeeded
// or not, and routes their window to their adapter.
class RouterReinstall {
 public:
  RouterReinstall() = default;
  RouterReinstall(const RouterReinstall&) = delete;
  RouterReinstall& operator=(const RouterReinstall&) = delete;
  ~RouterReinstall() { AdapterRouter::instance().install(); }
};

// The error carries what was evaluated before it (`report`, read into Evaluation by
// tam.Product.evaluate), as tam eval prints it; None when the failure cannot be placed.
[[noreturn]] void raiseEvaluationError(Session& session, const TamException& e,
                                       const std::vector<Diagnostic>& scopes, py::object owner) {
  std::string text;
  py::object report = py::none();
  try {
    const Diagnostic failure = session.describeFailure(e);
    text = plainText(failure);
    report = reportTuple(outcomeOf(session, false, &failure, &scopes), {}, nullptr, std::move(owner));
  } catch (const TamException&) {
    if (text.empty()) text = describeException(e) + "\n";
  }
  if (!text.empty() && text.back() == '\n') text.pop_back();
  auto* node = dynamic_cast<ProductNode*>(e.node());
  py::object error = py::reinterpret_borrow<py::object>(evaluationErrorType)(text);
  error.attr("code") = e.code();
  error.attr("line") = e.line();
  error.attr("node") = textOrNone(node == nullptr ? "" : node->path());
  error.attr("report") = report;
  PyErr_SetObject(evaluationErrorType, error.ptr());
  throw py::error_already_set();
}

// Turns a record's history on for one evaluation, and off again however it ends.
class HistoryScope {
 public:
  HistoryScope(EvaluationRecord& record, bool history) : record_(record) {
    record_.setHistory(history);
  }
  HistoryScope(const HistoryScope&) = delete;
  HistoryScope& operator=(const HistoryScope&) = delete;
  ~HistoryScope() { record_.setHistory(false); }

 private:
  EvaluationRecord& record_;
};

// A product read from its files, its tree built once and evaluated again for each call (through
// a VariantRunner, which gives the nodes their host values).
class ProductHandle {
 public:
  explicit ProductHandle(const std::string& path) {
    {
      RouterReinstall reinstall;
      runner_ = std::make_unique<VariantRunner>(path, std::vector<std::string>());
      scopes_ = findScopeProblems(path);
    }
    AdapterRouter::instance().route(session().window().get(), &session().adapter());
  }
  ProductHandle(const ProductHandle&) = delete;
  ProductHandle& operator=(const ProductHandle&) = delete;
  ~ProductHandle() { AdapterRouter::instance().unroute(session().window().get()); }

  // `self` is this product as Python holds it: what the evaluation gives keeps it alive. With
  // `explain` the session's record keeps the evaluation's history, from which each option and
  // node is explained; without it the record keeps only what it always keeps.
  py::tuple evaluate(py::handle set, bool explain, py::object self) {
    std::vector<Choice> choices = choicesFromDict(set);
    const std::vector<Diagnostic>& scopes = scopes_;
    AdapterRouter::Scope scope(&session().adapter());
    runner_->applyChoices(choices);
    HistoryScope history(session().record(), explain);
    try {
      session().evaluate();
    } catch (const TamException& e) {
      raiseEvaluationError(session(), e, scopes, self);
    }
    EvalOutcome outcome = outcomeOf(session(), explain, nullptr, &scopes);
    if (!explain) return reportTuple(std::move(outcome), {}, nullptr, self);
    Explainer explainer(session());
    return reportTuple(std::move(outcome), session().nodes(), &explainer, self);
  }

  const Product& product() { return session().product(); }
  py::list nodePaths() {
    py::list paths;
    for (ProductNode* node : session().nodes()) paths.append(node->path());
    return paths;
  }

 private:
  Session& session() { return runner_->session(); }

  // The product's scope problems, found on a session of its own: the check leaves the window it
  // runs on fit only for validation, and the product's window is evaluated again and again.
  static std::vector<Diagnostic> findScopeProblems(const std::string& path) {
    Session checked(path);
    checked.buildTree({});
    return scopeProblems(checked);
  }

  std::unique_ptr<VariantRunner> runner_;
  std::vector<Diagnostic> scopes_;
};

// A VariantRunner for Python: records as (status, JSON text).
class RunnerHandle {
 public:
  RunnerHandle(const std::string& path, const std::vector<std::string>& select) {
    {
      RouterReinstall reinstall;
      runner_ = std::make_unique<VariantRunner>(path, select);
    }
    AdapterRouter::instance().route(window(), &runner_->session().adapter());
  }
  RunnerHandle(const RunnerHandle&) = delete;
  RunnerHandle& operator=(const RunnerHandle&) = delete;
  ~RunnerHandle() { AdapterRouter::instance().unroute(window()); }

  py::tuple run(const Variant& variant) {
    AdapterRouter::Scope scope(&runner_->session().adapter());
    VariantRunner::Record record = runner_->run(variant);
    return py::make_tuple(static_cast<int>(record.status), record.json);
  }

  py::list runMany(const std::vector<Variant>& variants) {
    py::list records;
    for (const Variant& variant : variants) records.append(run(variant));
    return records;
  }

  py::tuple failed(const Variant& variant, const std::string& message) {
    VariantRunner::Record record = runner_->failedRecord(variant, message);
    return py::make_tuple(static_cast<int>(record.status), record.json);
  }

  // Why the product takes no values for this NODEPATH:module:option; empty when it does.
  std::string choiceProblem(const std::string& key) {
    Choice choice;
    if (!parseChoiceKey(key, choice)) return "expected NODEPATH:module:option";
    AdapterRouter::Scope scope(&runner_->session().adapter());
    std::string problem;
    choiceOption(runner_->session(), choice, problem);
    return problem;
  }

  Session& session() { return runner_->session(); }

 private:
  TamWindow* window() { return runner_->session().window().get(); }

  std::unique_ptr<VariantRunner> runner_;
};

// A source of variants for Python's iteration.
class VariantReader {
 public:
  explicit VariantReader(std::unique_ptr<VariantSource> source) : source_(std::move(source)) {}
  Variant next() {
    Variant variant;
    if (!source_->next(variant)) throw py::stop_iteration();
    return variant;
  }
  py::object size() const {
    std::int64_t size = source_->size();
    return size < 0 ? py::object(py::none()) : py::object(py::int_(size));
  }
  std::vector<std::string> columns() const {
    std::vector<std::string> keys;
    for (const Choice& choice : source_->columns()) keys.push_back(choice.key);
    return keys;
  }

 private:
  std::unique_ptr<VariantSource> source_;
};

VariantReader generatedVariants(RunnerHandle& runner, const std::vector<std::string>& vary,
                                py::object sample, std::uint64_t seed) {
  std::vector<VaryRequest> requests;
  for (const std::string& argument : vary) requests.push_back(parseVaryRequest(argument));
  AdapterRouter::Scope scope(&runner.session().adapter());
  if (sample.is_none()) return VariantReader(factorialVariants(runner.session(), requests));
  std::int64_t count = sample.cast<std::int64_t>();
  if (count < 0) throw py::value_error("sample must not be negative");
  return VariantReader(sampledVariants(runner.session(), requests, count, seed));
}

VariantFormat formatOf(const std::string& name) {
  if (name == "csv") return VariantFormat::kCsv;
  if (name == "jsonl") return VariantFormat::kJsonLines;
  if (name == "auto") return VariantFormat::kAuto;
  throw py::value_error("format is 'auto', 'csv' or 'jsonl'");
}

}  // namespace

void bindProduct(py::module_& m) {
  evaluationErrorType = PyErr_NewExceptionWithDoc(
      "tam.EvaluationError",
      "The evaluation of a product raised: the message says what, placed in the module file or "
      "the product file at fault; `code` and `line` are the library's, `node` the path of the "
      "node whose evaluation failed (or None); `evaluation` what was evaluated before it (see "
      "tam.Product.evaluate).",
      PyExc_Exception, nullptr);
  m.add_object("EvaluationError", py::handle(evaluationErrorType));

  py::class_<EvalDocumentHandle>(m, "_EvalDocument",
                                 "The document tam eval --json prints for one evaluation.")
      .def("text", &EvalDocumentHandle::text, "The document as JSON text, written when first asked.");

  py::class_<ProductHandle>(m, "_Product", "A product read from its files (see tam.Product).")
      .def(py::init<const std::string&>(), py::arg("path"))
      .def(
          "evaluate",
          [](py::object self, py::handle set, bool explain) {
            return self.cast<ProductHandle&>().evaluate(set, explain, self);
          },
          py::arg("set") = py::none(), py::arg("explain") = false)
      .def_property_readonly("name", [](ProductHandle& p) { return p.product().name(); })
      .def_property_readonly("path", [](ProductHandle& p) { return p.product().path(); })
      .def_property_readonly("variants_mode",
                             [](ProductHandle& p) { return p.product().variantsModeName(); })
      .def_property_readonly("nodes", &ProductHandle::nodePaths);

  py::class_<Variant>(m, "Variant",
                      "One variant of a sweep: its index, the choices it makes "
                      "(NODEPATH:module:option to a value or a list of values), the file and "
                      "line it was read from, and the problem that kept it from being read (a "
                      "choice that is not NODEPATH:module:option, or a value that is not a bool, "
                      "int, float or str, is such a problem: the sweep records the variant as "
                      "failed).")
      .def(py::init([](std::int64_t index, py::object choices, const std::string& source) {
             return variantOf(index, choices, source);
           }),
           py::arg("index"), py::arg("choices"), py::arg("source") = "")
      .def_readonly("index", &Variant::index)
      .def_readonly("source", &Variant::source)
      .def_readonly("problem", &Variant::problem)
      .def_property_readonly("choices", &choicesOf)
      .def(py::pickle(
          [](const Variant& v) {
            return variantToJson(v).dump(-1, ' ', false, Json::error_handler_t::replace);
          },
          [](const std::string& text) {
            return variantFromJson(Json::parse(text, nullptr, /*allow_exceptions=*/false));
          }))
      .def("__repr__", [](const Variant& v) {
        return "Variant(" + std::to_string(v.index) + ", " +
               py::repr(choicesOf(v)).cast<std::string>() + ")";
      });

  py::class_<VariantReader>(m, "VariantReader", "An iterator over the variants of a sweep.")
      .def(
          "__iter__", [](VariantReader& reader) -> VariantReader& { return reader; },
          py::return_value_policy::reference_internal)
      .def("__next__", &VariantReader::next)
      .def_property_readonly("size", &VariantReader::size,
                             "How many variants there are, None when not known beforehand.")
      .def_property_readonly("columns", &VariantReader::columns,
                             "The choices every row of a CSV file makes.");
  m.def(
      "read_variants",
      [](const std::string& path, const std::string& format) {
        return VariantReader(openVariantFile(path, formatOf(format)));
      },
      py::arg("path"), py::arg("format") = "auto",
      "The variants of a CSV or JSON Lines file, read as they are asked for.");

  py::class_<RunnerHandle>(m, "Runner",
                           "Evaluates variants of one product, loaded once, into JSON Lines "
                           "records, as `tam sweep` does.")
      .def(py::init<const std::string&, const std::vector<std::string>&>(), py::arg("product"),
           py::arg("select") = std::vector<std::string>())
      .def("run", &RunnerHandle::run, py::arg("variant"),
           "The record of one variant: (status, JSON text); status 0 ok, 1 errors, 2 failed.")
      .def("run_many", &RunnerHandle::runMany, py::arg("variants"))
      .def("failed", &RunnerHandle::failed, py::arg("variant"), py::arg("message"),
           "The record of a variant that could not be run, failed with the message.")
      .def("choice_problem", &RunnerHandle::choiceProblem, py::arg("key"))
      .def("generate", &generatedVariants, py::arg("vary"), py::arg("sample") = py::none(),
           py::arg("seed") = 1,
           "Variants from varied options: every combination, or `sample` random draws.");
}
