// Windows, modules, options, their value constraints, and paths.
#include <map>
#include <set>

#include "Bindings.h"
#include "ValueText.h"

namespace {

// The state of each library window that has a Python Window (borrowed: a WindowState enters
// itself when it is made and leaves when it goes). pybind11 finds the Python object of a state.
std::map<TamWindow*, WindowState*>& windowStates() {
  static auto* states = new std::map<TamWindow*, WindowState*>();
  return *states;
}

Tam::AdapterInterface* adapterOf(const py::handle& adapter) {
  if (adapter.is_none()) return nullptr;
  return adapter.cast<Tam::AdapterInterface*>();
}

std::string optionName(const ref_count_ptr<TamOption>& option) {
  return option->moduleId() + ":" + option->name();
}

// A constraint in tam's words, with its values spelt as Python writes them.
std::string pythonConstraintText(const ref_count_ptr<TamOptionValue>& constraint) {
  return constraintText(constraint, [](const ref_count_ptr<TamValue>& v) {
    return py::repr(fromValue(v)).cast<std::string>();
  });
}

py::list optionList(const std::vector<ref_count_ptr<TamOption>>& options) {
  py::list list;
  for (const ref_count_ptr<TamOption>& option : options) list.append(optionRef(option));
  return list;
}

// GC support for Window: it holds its adapter.
int traverseWindow(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  if (WindowState* state = constructed<WindowState>(self)) Py_VISIT(state->adapter.ptr());
  return 0;
}

int clearWindow(PyObject* self) {
  if (WindowState* state = constructed<WindowState>(self)) {
    AdapterRouter::instance().unroute(state->window.get());
    state->adapter = py::none();
  }
  return 0;
}

void bindPath(py::module_& m) {
  py::class_<TamPath>(m, "Path",
                      "A place in the node tree: the node identifiers from an upper node down to "
                      "the node meant. str() gives the display form (a.b.c); `parseable` the form "
                      "parse() reads back, with identifiers quoted where RIX needs it.")
      .def(py::init([](py::handle ids) { return toPath(ids); }), py::arg("ids") = py::tuple(),
           "A path of the given identifiers, outermost first.")
      .def_static("parse", &TamPath::parsePath, py::arg("text"),
                  "Reads the parseable form: identifiers separated by dots or blanks, quoted "
                  "where needed. Raises TamSyntaxError for anything else.")
      .def_property_readonly(
          "ids", [](const TamPath& path) { return py::tuple(py::cast(path.path())); },
          "The identifiers, outermost first.")
      .def_property_readonly("parseable", &TamPath::toParseableString)
      .def("compare", &TamPath::compare, py::arg("other"),
           "How well `other` matches inside this path: the weight of its leftmost occurrence "
           "(the first identifier weighs most), 0 for an empty other, -1 when it does not "
           "occur.")
      .def("__str__", &TamPath::toDisplayString)
      .def("__repr__",
           [](const TamPath& path) {
             return "Path(" + py::repr(py::cast(path.toDisplayString())).cast<std::string>() + ")";
           })
      .def("__len__", [](const TamPath& path) { return path.path().size(); })
      .def("__iter__",
           [](const TamPath& path) { return py::iter(py::tuple(py::cast(path.path()))); })
      .def("__eq__",
           [](const TamPath& a, py::handle b) {
             try {
               return a == toPath(b);
             } catch (const py::error_already_set&) {
               return false;
             } catch (const py::cast_error&) {
               return false;
             }
           })
      .def("__hash__",
           [](const TamPath& path) { return py::hash(py::tuple(py::cast(path.path()))); });
}

void bindConstraint(py::module_& m) {
  py::enum_<TamOptionValue::Kind>(m, "ConstraintKind", "The kinds of value constraints.")
      .value("ENUM", TamOptionValue::KIND_ENUM)
      .value("MAX", TamOptionValue::KIND_MAX)
      .value("MIN", TamOptionValue::KIND_MIN)
      .value("MAX_INC", TamOptionValue::KIND_MAX_INC)
      .value("MIN_INC", TamOptionValue::KIND_MIN_INC)
      .value("RANGE", TamOptionValue::KIND_RANGE)
      .value("ANY_STRING", TamOptionValue::KIND_ANY_STRING)
      .value("ANY_INT", TamOptionValue::KIND_ANY_INT)
      .value("ANY_REAL", TamOptionValue::KIND_ANY_REAL)
      .value("BOOLEAN", TamOptionValue::KIND_BOOLEAN);
  py::class_<ConstraintRef>(m, "Constraint",
                            "One constraint on an option's values: a listed value (ENUM), a "
                            "bound (MAX is <, MAX_INC <=, MIN >, MIN_INC >=), a RANGE of two "
                            "bounds, or any value of a kind. An option accepts a value when any "
                            "of its constraints does.")
      .def_property_readonly("kind", [](const ConstraintRef& c) { return c.constraint->kind(); })
      .def_property_readonly(
          "value", [](const ConstraintRef& c) { return fromValue(c.constraint->value()); },
          "The listed value or the bound; TamException 2 for a range or an any-kind constraint.")
      .def_property_readonly(
          "range",
          [](const ConstraintRef& c) {
            TamOptionValue::Range range = c.constraint->range();
            return py::make_tuple(ConstraintRef{range.first}, ConstraintRef{range.second});
          },
          "The two bounds of a range; TamException 2 for other constraints.")
      .def(
          "accepts",
          [](const ConstraintRef& c, py::handle v) { return c.constraint->accepts(toValue(v)); },
          py::arg("value"))
      .def("__str__", [](const ConstraintRef& c) { return pythonConstraintText(c.constraint); })
      .def("__repr__", [](const ConstraintRef& c) {
        return "Constraint(" + pythonConstraintText(c.constraint) + ")";
      });
}

void bindOption(py::module_& m) {
  py::enum_<TamOption::Scope>(m, "Scope", "Who may see an option.")
      .value("PUBLIC", TamOption::SCOPE_PUBLIC)
      .value("PRIVATE", TamOption::SCOPE_PRIVATE)
      .value("LEGACY", TamOption::SCOPE_LEGACY);
  py::enum_<TamOption::Type>(m, "OptionType", "How a module holds an option.")
      .value("DECLARED", TamOption::TYPE_DECLARED)
      .value("PRESENTS", TamOption::TYPE_PRESENTS)
      .value("IMPLEMENTS", TamOption::TYPE_IMPLEMENTS)
      .value("USES", TamOption::TYPE_USES);
  py::class_<OptionRef>(
      m, "Option",
      "An option as one module sees it: declared by the module with a value type and "
      "constraints, or based on a public option of another module that it presents (at a path), "
      "implements or uses. Questions about values follow the chain of bases down to the "
      "declared option. Options are made by their module (Module.add_option).",
      GcVisitsWindow<OptionRef>::setup())
      .def_property_readonly("name", [](const OptionRef& o) { return o.option->name(); })
      .def_property_readonly("module_id", [](const OptionRef& o) { return o.option->moduleId(); })
      .def_property_readonly("description",
                             [](const OptionRef& o) { return o.option->description(); })
      .def_property_readonly("mandatory", [](const OptionRef& o) { return o.option->mandatory(); })
      .def_property(
          "mutually_exclusive", [](const OptionRef& o) { return o.option->mutually_exclusive(); },
          [](OptionRef& o, bool value) { o.option->setMutuallyExclusive(value); },
          "True when the option takes one value at a time.")
      .def_property_readonly(
          "path", [](const OptionRef& o) { return o.option->path(); },
          "The path of a presented option; empty otherwise.")
      .def_property(
          "scope", [](const OptionRef& o) { return o.option->scope(); },
          [](OptionRef& o, TamOption::Scope scope) { o.option->setVisibility(scope); })
      .def_property_readonly("type", [](const OptionRef& o) { return o.option->type(); })
      .def_property_readonly(
          "id", [](const OptionRef& o) { return o.option->id(); },
          "The process-wide id, from 1 in creation order, never reused.")
      .def_property_readonly("based_on_module_id",
                             [](const OptionRef& o) { return o.option->basedOnModuleId(); })
      .def_property_readonly("based_on_name",
                             [](const OptionRef& o) { return o.option->basedOnName(); })
      .def_property_readonly("window", [](const OptionRef& o) { return o.window; })
      .def(
          "based_on",
          [](const OptionRef& o) {
            WindowScope scope(o.window);
            return optionObject(o.option->basedOn());
          },
          "The base option, looked up anew (None for a declared option).")
      .def(
          "real_option",
          [](const OptionRef& o) {
            WindowScope scope(o.window);
            return optionRef(o.option->realOption());
          },
          "The declared option at the end of the chain of bases.")
      .def_property_readonly("value_type",
                             [](const OptionRef& o) {
                               WindowScope scope(o.window);
                               return o.option->valueType();
                             })
      .def_property_readonly(
          "constraints",
          [](const OptionRef& o) {
            WindowScope scope(o.window);
            py::list list;
            for (const auto& c : o.option->values()) list.append(ConstraintRef{c});
            return list;
          },
          "The constraints that apply: the option's own, or inherited from its base.")
      .def_property_readonly(
          "default",
          [](const OptionRef& o) {
            WindowScope scope(o.window);
            return fromValue(o.option->defaultValue());
          },
          "The default value (None when there is none).")
      .def(
          "validate",
          [](const OptionRef& o, py::handle value) {
            WindowScope scope(o.window);
            return o.option->validateValue(toValue(value));
          },
          py::arg("value"), "Whether the option allows the value (None always passes).")
      .def("is_referenced",
           [](const OptionRef& o) {
             WindowScope scope(o.window);
             return o.option->isReferenced();
           })
      .def(
          "references",
          [](const OptionRef& o) {
            WindowScope scope(o.window);
            return optionList(o.option->references());
          },
          "The options of the window based on this one.")
      .def("__eq__",
           [](const OptionRef& a, py::handle b) {
             return py::isinstance<OptionRef>(b) && a.option == b.cast<const OptionRef&>().option;
           })
      .def("__hash__", [](const OptionRef& o) { return o.option->id(); })
      .def("__repr__", [](const OptionRef& o) { return "Option(" + optionName(o.option) + ")"; });
}

void bindModule(py::module_& m) {
  py::class_<ModuleRef>(
      m, "Module",
      "One unit of configuration knowledge in a window: its options and rules, read from RIX "
      "text. Set the whole text with `text` (module line, interface section, rules) or piece by "
      "piece with add_option() and `rules`. Reading a declaration again keeps the option object. "
      "Modules are made by Window.create_module.",
      GcVisitsWindow<ModuleRef>::setup())
      .def_property_readonly("id", [](const ModuleRef& r) { return r.module->id(); })
      .def_property_readonly("window", [](const ModuleRef& r) { return r.window; })
      .def_property_readonly("is_module_boundary",
                             [](const ModuleRef& r) { return r.module->isModuleBoundary(); })
      .def_property(
          "external", [](const ModuleRef& r) { return r.module->isExternal(); },
          [](ModuleRef& r, bool external) { r.module->setExternal(external); },
          "Set on a module the window loaded for an implements or uses lookup.")
      .def(
          "set_test_options", [](ModuleRef& r, bool on) { r.module->setTestOptions(on); },
          py::arg("on"),
          "In test mode declarations are checked and built but not kept in the module.")
      .def_property(
          "text",
          [](const ModuleRef& r) {
            WindowScope scope(r.window);
            return r.module->getRixData();
          },
          [](ModuleRef& r, const std::string& text) {
            WindowScope scope(r.window);
            r.module->setRixData(text);
          },
          "The whole module text. Setting it reads the interface and the rules; options no "
          "longer declared are removed. Raises TamSyntaxError for text that does not parse.")
      .def_property(
          "rules",
          [](const ModuleRef& r) {
            WindowScope scope(r.window);
            return r.module->getRix()->rix();
          },
          [](ModuleRef& r, const std::string& rules) {
            WindowScope scope(r.window);
            r.module->setRix(rules);
          },
          "The rules text. Setting it parses it at once; a syntax error keeps the old rules.")
      .def_property_readonly(
          "options", [](const ModuleRef& r) { return optionList(r.module->options()); },
          "The options the module declares, presents, implements or uses, by name.")
      .def_property_readonly(
          "using_options", [](const ModuleRef& r) { return optionList(r.module->usingOptions()); })
      .def(
          "referenced_options",
          [](const ModuleRef& r) {
            WindowScope scope(r.window);
            std::set<ref_count_ptr<TamOption>> found;
            r.module->referencedOptions(found);
            return optionList({found.begin(), found.end()});
          },
          "The options the rules refer to and the bases of the module's based options.")
      .def(
          "get_option",
          [](const ModuleRef& r, const std::string& name) {
            WindowScope scope(r.window);
            return optionRef(r.module->getOption(name));
          },
          py::arg("name"), "The option of this name (TamException 102 when there is none).")
      .def(
          "add_option",
          [](ModuleRef& r, const std::string& declaration) {
            WindowScope scope(r.window);
            return optionRef(r.module->addOptionString(declaration));
          },
          py::arg("declaration"),
          "Reads one declaration line, such as 'public size integer = 1 to 4 default 2', and "
          "returns its option.")
      .def(
          "change_option",
          [](ModuleRef& r, const OptionRef& option, const std::string& newName,
             const std::string& declaration) {
            WindowScope scope(r.window);
            return optionRef(r.module->changeOptionString(option.option, newName, declaration));
          },
          py::arg("option"), py::arg("new_name"), py::arg("declaration"),
          "Renames an option across the module's declarations and rules and redeclares it.")
      .def(
          "delete_option",
          [](ModuleRef& r, const std::string& name) {
            WindowScope scope(r.window);
            r.module->deleteOption(name);
          },
          py::arg("name"))
      .def(
          "option_text",
          [](const ModuleRef& r, const std::string& name) { return r.module->askOptionRix(name); },
          py::arg("name"), "The declaration an option was read from.")
      .def(
          "declare_legacy_option",
          [](ModuleRef& r, const std::string& name) {
            return optionRef(r.module->declareLegacyOption(name));
          },
          py::arg("name"), "A legacy option, whose values the adapter keeps.")
      .def("__eq__",
           [](const ModuleRef& a, py::handle b) {
             return py::isinstance<ModuleRef>(b) && a.module == b.cast<const ModuleRef&>().module;
           })
      .def("__hash__", [](const ModuleRef& r) { return py::hash(py::str(r.module->id())); })
      .def("__repr__", [](const ModuleRef& r) { return "Module(" + r.module->id() + ")"; });
}

void bindWindow(py::module_& m) {
  py::enum_<TamWindow::VariantsMode>(m, "VariantsMode",
                                     "Which kinds of variant evaluation the host runs.")
      .value("MODULAR", TamWindow::VM_MODULAR)
      .value("MODULAR_AND_LEGACY", TamWindow::VM_MODULAR_AND_LEGACY)
      .value("LEGACY", TamWindow::VM_LEGACY);
  py::class_<WindowState>(
      m, "Window",
      "One configuration a host works on: its modules by id, the root of the host's node tree "
      "and the node being evaluated.\n\n"
      "Every window has its own adapter, the tam.Adapter it was made with: the library asks it "
      "for missing modules and tells it the messages of the rules. (The library itself installs "
      "one adapter for the whole process; the module installs its own, which hands each call on "
      "to the adapter of the window it concerns.)\n\n"
      "Typical use: window = tam.Window(MyAdapter()); window.root = MyNode(window, ...); "
      "window.evaluate(); then read each node's config_state and sos.",
      py::custom_type_setup([](PyHeapTypeObject* heapType) {
        PyTypeObject* type = &heapType->ht_type;
        type->tp_flags |= Py_TPFLAGS_HAVE_GC;
        type->tp_traverse = &traverseWindow;
        type->tp_clear = &clearWindow;
      }))
      .def(py::init([](py::object adapter) {
             if (!py::isinstance<Tam::AdapterInterface>(adapter)) {
               throw py::type_error("a Window needs a tam.Adapter");
             }
             return std::make_unique<WindowState>(Tam::createWindow(), adapter);
           }),
           py::arg("adapter"))
      .def_property_readonly("adapter", [](const WindowState& w) { return w.adapter; })
      .def_property(
          "root", [](const WindowState& w) { return nodeObject(w.window->askRoot()); },
          [](WindowState& w, py::handle node) { w.window->setRoot(nodeOf(node)); },
          "The root node (None when unset). The window does not keep the node alive; a node "
          "that goes stops being the root.")
      .def_property_readonly(
          "currently_evaluating",
          [](const WindowState& w) { return nodeObject(w.window->currentlyEvaluating()); },
          "The node whose evaluation began last.")
      .def_property(
          "variants_mode", [](const WindowState& w) { return w.window->askVariantsMode(); },
          [](WindowState& w, TamWindow::VariantsMode mode) { w.window->setVariantsMode(mode); })
      .def_property_readonly("evaluates_modular",
                             [](const WindowState& w) { return w.window->evaluateModular(); })
      .def_property_readonly("evaluates_legacy",
                             [](const WindowState& w) { return w.window->evaluateLegacy(); })
      .def_property_readonly(
          "modules",
          [](const WindowState& w) {
            py::dict modules;
            for (const auto& entry : w.window->moduleMap()) {
              if (entry.second) modules[py::str(entry.first)] = moduleRef(entry.second);
            }
            return modules;
          },
          "The modules the window holds, by id in id order.")
      .def(
          "create_module",
          [](py::object self, const std::string& id) {
            WindowScope scope(self);
            return moduleRef(windowState(self).window->createModule(id));
          },
          py::arg("id"), "A new, empty module (TamException 301 when the id is taken).")
      .def(
          "delete_module",
          [](py::object self, const std::string& id) {
            windowState(self).window->deleteModule(id);
          },
          py::arg("id"))
      .def(
          "get_module",
          [](py::object self, const std::string& id, bool external) {
            WindowScope scope(self);
            return moduleRef(windowState(self).window->getModule(id, external));
          },
          py::arg("id"), py::arg("external") = false,
          "The module with this id, asking the adapter's load_module when the window does not "
          "hold it (TamException 302 when it cannot).")
      .def(
          "find_option",
          [](py::object self, const std::string& moduleId, const std::string& name, bool external) {
            WindowScope scope(self);
            return optionRef(
                TamOption::findOption(windowState(self).window, moduleId, name, external));
          },
          py::arg("module_id"), py::arg("name"), py::arg("external") = false,
          "The option `name` of module `module_id`, loading the module when needed.")
      .def(
          "module_needs_refresh",
          [](py::object self, const std::string& id) {
            windowState(self).window->moduleNeedsRefresh(id);
          },
          py::arg("id"), "Queues a module for the adapter's refresh_module at the next lookup.")
      .def("externals_need_refresh",
           [](py::object self) { windowState(self).window->externalsNeedRefresh(); })
      .def(
          "evaluate",
          [](py::object self, bool notify) {
            WindowScope scope(self);
            windowState(self).window->evaluate(notify);
          },
          py::arg("notify") = true,
          "Evaluates the tree from the root: load-if conditions decide which nodes are "
          "configured, and each module's rules run over the values inherited from the parent. "
          "With notify, nodes whose state changes hear of it through state_changed.")
      .def("__repr__", [](const WindowState& w) {
        return "<tam.Window with " + std::to_string(w.window->moduleMap().size()) + " modules>";
      });
}

}  // namespace

WindowState::WindowState(ref_count_ptr<TamWindow> window, py::object adapter)
    : window(std::move(window)), adapter(std::move(adapter)) {
  windowStates()[this->window.get()] = this;
  if (Tam::AdapterInterface* routed = adapterOf(this->adapter)) {
    AdapterRouter::instance().route(this->window.get(), routed);
  }
}

WindowState::~WindowState() {
  AdapterRouter::instance().unroute(window.get());
  windowStates().erase(window.get());
}

py::object windowObject(TamWindow* window) {
  if (window == nullptr) return py::none();
  auto it = windowStates().find(window);
  if (it != windowStates().end()) {
    return py::cast(it->second, py::return_value_policy::reference);
  }
  return py::cast(std::make_unique<WindowState>(ref_count_ptr<TamWindow>(window), py::none()));
}

WindowState& windowState(const py::handle& window) {
  if (window.is_none()) throw std::runtime_error("the window of this object is gone");
  return window.cast<WindowState&>();
}

Tam::AdapterInterface* windowAdapter(const py::handle& window) {
  if (window.is_none()) return nullptr;
  return adapterOf(window.cast<WindowState&>().adapter);
}

ModuleRef moduleRef(const ref_count_ptr<TamModule>& module) {
  return {windowObject(module->window().get()), module};
}

OptionRef optionRef(const ref_count_ptr<TamOption>& option) {
  return {windowObject(option->window().get()), option};
}

py::object optionObject(const ref_count_ptr<TamOption>& option) {
  if (!option) return py::none();
  return py::cast(optionRef(option));
}

TamPath toPath(const py::handle& path) {
  if (py::isinstance<TamPath>(path)) return path.cast<TamPath>();
  if (py::isinstance<py::str>(path)) {
    throw py::type_error("a path is a tam.Path or a sequence of node ids (Path.parse reads text)");
  }
  return TamPath(path.cast<std::vector<std::string>>());
}

void bindModel(py::module_& m) {
  bindPath(m);
  bindConstraint(m);
  bindOption(m);
  bindModule(m);
  bindWindow(m);
}
