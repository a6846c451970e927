// The host side in Python: adapters and nodes subclassed from tam.Adapter and tam.Node.
#include "Bindings.h"

namespace {

// The method a Python subclass defines in place of the base's; null when it keeps the base's.
// Unlike pybind11's get_override, it also finds the method while that very method is running
// (an adapter's load_module that loads another module), which the library's callbacks need; the
// bases' methods never call back into an override, so this cannot recurse by itself. Types that
// keep a base method are remembered, as pybind11 does, to spare the look-up next time.
template <class Base>
py::function override(const Base* self, const char* name) {
  static const py::detail::type_info* base = py::detail::get_type_info(typeid(Base));
  py::handle object = py::detail::get_object_handle(self, base);
  if (!object) return py::function();
  auto key = std::make_pair(reinterpret_cast<const PyObject*>(Py_TYPE(object.ptr())), name);
  auto& inactive = py::detail::get_internals().inactive_override_cache;
  if (inactive.find(key) != inactive.end()) return py::function();
  py::function method = py::getattr(object, name, py::function());
  if (!method || method.is_cpp_function()) {
    inactive.insert(key);
    return py::function();
  }
  return method;
}

[[noreturn]] void notImplemented(const char* cls, const char* name) {
  throw py::type_error(std::string(cls) + "." + name + "() must be defined by the subclass");
}

class PyAdapter : public Tam::AdapterInterface {
 public:
  bool loadModule(TamWindow* window, const std::string& moduleId) override {
    py::gil_scoped_acquire gil;
    py::function method = override<Tam::AdapterInterface>(this, "load_module");
    if (!method) notImplemented("Adapter", "load_module");
    return callBack<bool>(method, windowObject(window), moduleId);
  }

  bool refreshModule(TamWindow* window, ref_count_ptr<TamModule> module) override {
    py::gil_scoped_acquire gil;
    py::function method = override<Tam::AdapterInterface>(this, "refresh_module");
    if (!method) notImplemented("Adapter", "refresh_module");
    py::object moduleObject = module ? py::cast(moduleRef(module)) : py::none();
    return callBack<bool>(method, windowObject(window), moduleObject);
  }

  bool userMsg(TamWindow* window, Tam::MsgSeverity severity, const std::string& message,
               TamNode* node) override {
    py::gil_scoped_acquire gil;
    py::function method = override<Tam::AdapterInterface>(this, "user_msg");
    if (!method) return Tam::AdapterInterface::userMsg(window, severity, message, node);
    return callBack<bool>(method, windowObject(window), severity, message, nodeObject(node));
  }

  bool allowOptionOverride(const TamSelOptionSet::TamSosEntry& existing, const TamNode* node,
                           TamSelOptionSet::HowSet howSet) override {
    py::gil_scoped_acquire gil;
    py::function method = override<Tam::AdapterInterface>(this, "allow_option_override");
    if (!method) return Tam::AdapterInterface::allowOptionOverride(existing, node, howSet);
    return callBack<bool>(method, entryRef(existing), nodeObject(const_cast<TamNode*>(node)),
                          howSet);
  }

  ref_count_ptr<TamValue> getLegacyOptionValue(TamWindow* window,
                                               const ref_count_ptr<TamOption>& option) override {
    py::gil_scoped_acquire gil;
    py::function method = override<Tam::AdapterInterface>(this, "get_legacy_option_value");
    if (!method) return Tam::AdapterInterface::getLegacyOptionValue(window, option);
    return toValue(callBack<py::object>(method, windowObject(window), optionRef(option)));
  }

  std::vector<ref_count_ptr<TamValue>> getLegacyOptionValues(
      TamWindow* window, const ref_count_ptr<TamOption>& option) override {
    py::gil_scoped_acquire gil;
    py::function method = override<Tam::AdapterInterface>(this, "get_legacy_option_values");
    if (!method) return Tam::AdapterInterface::getLegacyOptionValues(window, option);
    std::vector<ref_count_ptr<TamValue>> values;
    for (py::handle value : callBack<py::object>(method, windowObject(window), optionRef(option))) {
      values.push_back(toValue(value));
    }
    return values;
  }

  void setLegacyOptionValue(TamWindow* window, const ref_count_ptr<TamOption>& option,
                            const ref_count_ptr<TamValue>& value) override {
    py::gil_scoped_acquire gil;
    py::function method = override<Tam::AdapterInterface>(this, "set_legacy_option_value");
    if (!method) return Tam::AdapterInterface::setLegacyOptionValue(window, option, value);
    callBackVoid(method, windowObject(window), optionRef(option), fromValue(value));
  }

  void setLegacyOptionValues(TamWindow* window, const ref_count_ptr<TamOption>& option,
                             std::vector<ref_count_ptr<TamValue>> values) override {
    py::gil_scoped_acquire gil;
    py::function method = override<Tam::AdapterInterface>(this, "set_legacy_option_values");
    if (!method) return Tam::AdapterInterface::setLegacyOptionValues(window, option, values);
    callBackVoid(method, windowObject(window), optionRef(option), fromValues(values));
  }

  std::string localizeString(const std::string& text) override {
    py::gil_scoped_acquire gil;
    py::function method = override<Tam::AdapterInterface>(this, "localize_string");
    if (!method) return Tam::AdapterInterface::localizeString(text);
    return callBack<std::string>(method, text);
  }
};

// The library's walk over the children a Python node returns; it deletes the walk when done.
class PyChildren : public TamNodeIterator {
 public:
  explicit PyChildren(std::vector<py::object> children) : children_(std::move(children)) {}
  bool more() override { return index_ < children_.size(); }
  TamNode* current() override { return nodeOf(children_[index_]); }
  void next() override { ++index_; }

 private:
  std::vector<py::object> children_;
  std::size_t index_ = 0;
};

class PyNode : public TamNode {
 public:
  explicit PyNode(py::object window)
      : TamNode(windowState(window).window), window(std::move(window)) {}
  PyNode(const PyNode&) = delete;
  PyNode& operator=(const PyNode&) = delete;
  // A node that goes stops being its window's root or current node.
  ~PyNode() override {
    try {
      if (window.is_none()) return;
      TamWindow* library = windowState(window).window.get();
      if (library->askRoot() == this) library->setRoot(nullptr);
      if (library->currentlyEvaluating() == this) library->setCurrentlyEvaluating(nullptr);
    } catch (...) {
      // A window cleared by the collector has no root to forget.
    }
  }

  TamNode* parent() override {
    py::gil_scoped_acquire gil;
    py::function method = override<TamNode>(this, "parent");
    if (!method) notImplemented("Node", "parent");
    return nodeOf(callBack<py::object>(method));
  }

  TamNodeIterator* children() override {
    py::gil_scoped_acquire gil;
    py::function method = override<TamNode>(this, "children");
    if (!method) notImplemented("Node", "children");
    std::vector<py::object> children;
    try {
      for (py::handle child : method())
        children.push_back(py::reinterpret_borrow<py::object>(child));
    } catch (py::error_already_set& error) {
      rethrowFromPython(error);
    }
    return new PyChildren(std::move(children));
  }

  bool hasModule() override {
    py::gil_scoped_acquire gil;
    py::function method = override<TamNode>(this, "has_module");
    if (!method) notImplemented("Node", "has_module");
    return callBack<bool>(method);
  }

  std::string moduleId() override {
    py::gil_scoped_acquire gil;
    py::function method = override<TamNode>(this, "module_id");
    if (!method) notImplemented("Node", "module_id");
    return callBack<std::string>(method);
  }

  std::string pathId() override {
    py::gil_scoped_acquire gil;
    py::function method = override<TamNode>(this, "path_id");
    if (!method) notImplemented("Node", "path_id");
    return callBack<std::string>(method);
  }

  void stateChanged(ConfigState state) override {
    py::gil_scoped_acquire gil;
    if (py::function method = override<TamNode>(this, "state_changed")) callBackVoid(method, state);
  }

  void evaluateLegacyExpressions() override {
    py::gil_scoped_acquire gil;
    if (py::function method = override<TamNode>(this, "evaluate_legacy_expressions")) {
      callBackVoid(method);
    }
  }

  bool legacyConditionExists() override {
    py::gil_scoped_acquire gil;
    py::function method = override<TamNode>(this, "legacy_condition_exists");
    return method ? callBack<bool>(method) : TamNode::legacyConditionExists();
  }

  ConfigState evaluateLegacyCondition() override {
    py::gil_scoped_acquire gil;
    py::function method = override<TamNode>(this, "evaluate_legacy_condition");
    return method ? callBack<ConfigState>(method) : TamNode::evaluateLegacyCondition();
  }

  void evaluateLegacyErrorChecks() override {
    py::gil_scoped_acquire gil;
    if (py::function method = override<TamNode>(this, "evaluate_legacy_error_checks")) {
      callBackVoid(method);
    }
  }

  ConfigState forcedConfigState() override {
    py::gil_scoped_acquire gil;
    py::function method = override<TamNode>(this, "forced_config_state");
    return method ? callBack<ConfigState>(method) : TamNode::forcedConfigState();
  }

  py::object window;
};

PyNode* pyNode(PyObject* self) { return dynamic_cast<PyNode*>(constructed<TamNode>(self)); }

int traverseNode(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  if (PyNode* node = pyNode(self)) Py_VISIT(node->window.ptr());
  return 0;
}

int clearNode(PyObject* self) {
  PyNode* node = pyNode(self);
  if (node == nullptr || node->window.is_none()) return 0;
  // The node must not stay the root of a window it no longer keeps alive.
  TamWindow* library = windowState(node->window).window.get();
  if (library->askRoot() == node) library->setRoot(nullptr);
  if (library->currentlyEvaluating() == node) library->setCurrentlyEvaluating(nullptr);
  node->window = py::none();
  return 0;
}

py::object nodeWindow(TamNode& node) {
  if (auto* python = dynamic_cast<PyNode*>(&node)) return python->window;
  return windowObject(node.window().get());
}

void bindAdapter(py::module_& m) {
  py::enum_<Tam::MsgSeverity>(m, "Severity", "The severity of a message rule.")
      .value("INFORM", Tam::MSG_INFORM)
      .value("WARN", Tam::MSG_WARN)
      .value("ERROR", Tam::MSG_ERROR);
  py::class_<Tam::AdapterInterface, PyAdapter>(
      m, "Adapter",
      "The host's side of a window: subclass it and give each Window one. The library asks it "
      "for modules the window does not hold (load_module must create them, normally with "
      "window.create_module(id).text = ...), to refresh queued modules, whether a value may "
      "replace one set differently before, and for the values of legacy options; it tells it "
      "the messages of message rules. Every method but load_module and refresh_module has a "
      "default, the library's own. An exception raised in a method goes back through the "
      "library to the caller unchanged.")
      .def(py::init<>())
      .def(
          "load_module",
          [](Tam::AdapterInterface&, py::object, const std::string&) -> bool {
            notImplemented("Adapter", "load_module");
          },
          py::arg("window"), py::arg("module_id"),
          "Asked for a module the window does not hold: create it in the window and return "
          "True, or return False when there is no such module.")
      .def(
          "refresh_module",
          [](Tam::AdapterInterface&, py::object, py::object) -> bool {
            notImplemented("Adapter", "refresh_module");
          },
          py::arg("window"), py::arg("module"),
          "Asked to bring a module queued for refresh up to date (module may be None). False "
          "deletes it from the window.")
      .def(
          "user_msg",
          [](Tam::AdapterInterface& self, py::object window, Tam::MsgSeverity severity,
             const std::string& message, py::object node) {
            return self.Tam::AdapterInterface::userMsg(windowState(window).window.get(), severity,
                                                       message, nodeOf(node));
          },
          py::arg("window"), py::arg("severity"), py::arg("message"), py::arg("node"),
          "The text of a message rule, with its severity and the node being evaluated. False "
          "stops the rules with TamException 500. Default: True.")
      .def(
          "allow_option_override",
          [](Tam::AdapterInterface& self, const EntryRef& existing, py::object node,
             TamSelOptionSet::HowSet how) {
            return self.Tam::AdapterInterface::allowOptionOverride(existing.entry, nodeOf(node),
                                                                   how);
          },
          py::arg("existing"), py::arg("node"), py::arg("how"),
          "Whether a value set `how` may replace the different value of the existing entry. "
          "Default: the library's table, by how the existing value was set.")
      .def(
          "get_legacy_option_value",
          [](Tam::AdapterInterface& self, py::object window, const OptionRef& option) {
            return fromValue(self.Tam::AdapterInterface::getLegacyOptionValue(
                windowState(window).window.get(), option.option));
          },
          py::arg("window"), py::arg("option"),
          "The value of a legacy option, which the host keeps. Default: None.")
      .def(
          "get_legacy_option_values",
          [](Tam::AdapterInterface& self, py::object window, const OptionRef& option) {
            return fromValues(self.Tam::AdapterInterface::getLegacyOptionValues(
                windowState(window).window.get(), option.option));
          },
          py::arg("window"), py::arg("option"),
          "The values of a legacy option. Default: [get_legacy_option_value(...)].")
      .def(
          "set_legacy_option_value",
          [](Tam::AdapterInterface&, py::object, const OptionRef&, py::object) {},
          py::arg("window"), py::arg("option"), py::arg("value"),
          "A rule set a legacy option. Default: ignore it.")
      .def(
          "set_legacy_option_values",
          [](Tam::AdapterInterface&, py::object, const OptionRef&, py::object) {},
          py::arg("window"), py::arg("option"), py::arg("values"),
          "A rule set several values of a legacy option. Default: ignore them.")
      .def(
          "localize_string",
          [](Tam::AdapterInterface& self, const std::string& text) {
            return self.Tam::AdapterInterface::localizeString(text);
          },
          py::arg("text"),
          "The message of a syntax error code such as 'SE_missing_to'. Default: the English "
          "text, or the text itself when it is no code.");
}

void bindNode(py::module_& m) {
  py::enum_<TamNode::ConfigState>(m, "ConfigState", "Whether a node is configured.")
      .value("UNDECIDED", TamNode::CS_UNDECIDED)
      .value("NOT_CONFIGURED", TamNode::CS_NOT_CONFIGURED)
      .value("CONFIGURED", TamNode::CS_CONFIGURED);
  py::class_<TamNode, PyNode>(
      m, "Node",
      "A node of the host's product tree: subclass it and define parent(), children(), "
      "has_module(), module_id() and path_id(). Hooks with defaults: state_changed(state), "
      "forced_config_state(), legacy_condition_exists(), evaluate_legacy_condition(), "
      "evaluate_legacy_expressions() and evaluate_legacy_error_checks().\n\n"
      "Evaluation decides the node's config_state from its load_if condition (a RIX "
      "condition over the parent's values), binds the values inherited from the parent to its "
      "module, runs the module's rules and hands the result to the children. After "
      "Window.evaluate(), `sos` holds the node's selected values.\n\n"
      "The host owns its nodes: keep them referenced (for example in your own tree) while the "
      "window evaluates them. A node keeps its window alive.",
      py::custom_type_setup([](PyHeapTypeObject* heapType) {
        PyTypeObject* type = &heapType->ht_type;
        type->tp_flags |= Py_TPFLAGS_HAVE_GC;
        type->tp_traverse = &traverseNode;
        type->tp_clear = &clearNode;
      }))
      .def(py::init([](py::object window) {
             if (!py::isinstance<WindowState>(window))
               throw py::type_error("expected a tam.Window");
             return new PyNode(window);
           }),
           py::arg("window"))
      .def(
          "parent", [](TamNode&) -> py::object { notImplemented("Node", "parent"); },
          "The parent node, None at the root.")
      .def(
          "children", [](TamNode&) -> py::object { notImplemented("Node", "children"); },
          "The child nodes, in evaluation order (any iterable).")
      .def("has_module", [](TamNode&) -> bool { notImplemented("Node", "has_module"); })
      .def("module_id", [](TamNode&) -> std::string { notImplemented("Node", "module_id"); })
      .def(
          "path_id", [](TamNode&) -> std::string { notImplemented("Node", "path_id"); },
          "The node's identifier as an element of paths (may be empty).")
      .def(
          "state_changed", [](TamNode&, TamNode::ConfigState) {}, py::arg("state"),
          "Told the node's new state when an evaluation with notify changes it.")
      .def(
          "forced_config_state", [](TamNode& self) { return self.TamNode::forcedConfigState(); },
          "A state the host forces (UNDECIDED: none).")
      .def("legacy_condition_exists",
           [](TamNode& self) { return self.TamNode::legacyConditionExists(); })
      .def("evaluate_legacy_condition",
           [](TamNode& self) { return self.TamNode::evaluateLegacyCondition(); })
      .def(
          "evaluate_legacy_expressions", [](TamNode&) {},
          "Runs before the module's rules, when the node was not stopped.")
      .def(
          "evaluate_legacy_error_checks", [](TamNode&) {}, "Runs after the children.")
      .def_property_readonly("window", [](TamNode& self) { return nodeWindow(self); })
      .def(
          "module",
          [](TamNode& self) {
            WindowScope scope(nodeWindow(self));
            return moduleRef(self.module());
          },
          "The node's module, loaded through the adapter when needed (TamException 309 for a "
          "node without one).")
      .def("is_module_boundary",
           [](TamNode& self) {
             WindowScope scope(nodeWindow(self));
             return self.isModuleBoundary();
           })
      .def_property_readonly("config_state", &TamNode::isNodeConfigured,
                             "The state the last evaluation with notify decided.")
      .def_property(
          "load_if", [](TamNode& self) { return self.getLoadIf()->rix(); },
          [](TamNode& self, const std::string& text) {
            WindowScope scope(nodeWindow(self));
            self.setLoadIf(text);
          },
          "The load-if condition as RIX text ('' for none). Setting it parses it; a syntax "
          "error keeps the old condition.")
      .def_property_readonly(
          "sos",
          [](TamNode& self) {
            py::object window = nodeWindow(self);
            WindowScope scope(window);
            return SetRef(window, self.getSos());
          },
          "A copy of the node's selected option set: the result of its last evaluation.")
      .def(
          "set_sos",
          [](TamNode& self, SetRef& set) {
            WindowScope scope(nodeWindow(self));
            self.setSos(set.set);
          },
          py::arg("sos"),
          "Sets the host's values at the node; they are merged in at each evaluation.")
      .def("clear_sos", &TamNode::clearSos)
      .def(
          "evaluate",
          [](TamNode& self, const SetRef& parentSos, bool notify) {
            WindowScope scope(nodeWindow(self));
            self.evaluate(parentSos.set, notify);
          },
          py::arg("parent_sos"), py::arg("notify") = true,
          "Evaluates the node and its subtree with the parent's values.")
      .def(
          "evaluate_children",
          [](TamNode& self, bool notify) {
            WindowScope scope(nodeWindow(self));
            self.evaluateChildren(notify);
          },
          py::arg("notify") = true)
      .def(
          "evaluate_child",
          [](TamNode& self, py::object child, bool notify) {
            WindowScope scope(nodeWindow(self));
            self.evaluateChild(nodeOf(child), notify);
          },
          py::arg("child"), py::arg("notify") = true);
}

}  // namespace

py::object nodeObject(TamNode* node) {
  if (node == nullptr) return py::none();
  // Only nodes made in Python have a Python object; the host classes' nodes are reported by
  // their own APIs.
  if (dynamic_cast<PyNode*>(node) == nullptr) return py::none();
  return py::cast(node, py::return_value_policy::reference);
}

TamNode* nodeOf(const py::handle& node) {
  if (node.is_none()) return nullptr;
  return &node.cast<TamNode&>();
}

void bindHost(py::module_& m) {
  bindAdapter(m);
  bindNode(m);
}
