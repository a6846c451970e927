// Shared pieces of the Python module `tam._tam`.
//
// Ownership: a Python object that refers to a library object (a module, an option, a selected
// option set or one of its entries, a node) also holds the Python Window the object belongs to,
// so that the window, which owns the modules and options, outlives every Python reference into
// it. The Window holds its adapter. Those references are all visible to Python's garbage
// collector (GcVisitsWindow), so that cycles through them, such as an adapter that keeps the
// windows it serves, are collected like any other.
//
// Exceptions: a TamException of the library becomes tam.TamException (tam.TamSyntaxError for
// code 10) with code, line, node, info, context and extrainfo2; a ToolError of the host classes
// becomes tam.ProductError. An exception raised by Python code the library calls back (an adapter
// or node method) goes back through the library unchanged, except a tam.TamException, which
// becomes the library's exception again so that the library can name the node and line.
#ifndef TAM_PYTHON_BINDINGS_H
#define TAM_PYTHON_BINDINGS_H

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <tam/libtam.h>

#include <string>
#include <utility>

#include "AdapterRouter.h"

namespace py = pybind11;

// The C++ side of a Python tam.Window.
struct WindowState {
  WindowState(ref_count_ptr<TamWindow> window, py::object adapter);
  WindowState(const WindowState&) = delete;
  WindowState& operator=(const WindowState&) = delete;
  ~WindowState();

  ref_count_ptr<TamWindow> window;
  py::object adapter;  // a tam.Adapter, or None for a window the module did not create
};

// The Python Window of a library window: the one already made for it, or a new one (without an
// adapter) that holds it.
py::object windowObject(TamWindow* window);
// The library window of a Python Window; RuntimeError when the collector has already cleared it.
WindowState& windowState(const py::handle& window);
// The adapter routed to the window, null when it has none.
Tam::AdapterInterface* windowAdapter(const py::handle& window);

// Opens the router's scope for the window of the Python object's call.
class WindowScope {
 public:
  explicit WindowScope(const py::handle& window) : scope_(windowAdapter(window)) {}

 private:
  AdapterRouter::Scope scope_;
};

struct ModuleRef {
  py::object window;
  ref_count_ptr<TamModule> module;
};

struct OptionRef {
  py::object window;
  ref_count_ptr<TamOption> option;
};

struct ConstraintRef {
  ref_count_ptr<TamOptionValue> constraint;
};

struct SetRef {
  SetRef(py::object window, const TamSelOptionSet& set) : window(std::move(window)), set(set) {}
  py::object window;
  TamSelOptionSet set;
};

struct EntryRef {
  py::object window;
  TamSelOptionSet::TamSosEntry entry;
};

ModuleRef moduleRef(const ref_count_ptr<TamModule>& module);
// None for a null handle.
py::object optionObject(const ref_count_ptr<TamOption>& option);
OptionRef optionRef(const ref_count_ptr<TamOption>& option);
EntryRef entryRef(const TamSelOptionSet::TamSosEntry& entry);
// The Python object of a host node (None for null); nodes made in Python are found again.
py::object nodeObject(TamNode* node);
// The node of a Python Node, or null for None.
TamNode* nodeOf(const py::handle& node);

// Values: None, bool, int (32-bit), float and str. TypeError or OverflowError otherwise.
ref_count_ptr<TamValue> toValue(const py::handle& value);
py::object fromValue(const ref_count_ptr<TamValue>& value);
py::list fromValues(const std::vector<ref_count_ptr<TamValue>>& values);

// Paths from a tam.Path or a sequence of node identifiers.
TamPath toPath(const py::handle& path);

// Turns an exception raised by Python code the library called back into what the library
// rethrows: the library's own TamException again for a tam.TamException, the Python exception
// unchanged otherwise.
[[noreturn]] void rethrowFromPython(py::error_already_set& error);

// Calls a Python method the library reaches through a host class, with the exception handling
// above.
template <class Result, class... Args>
Result callBack(const py::function& method, Args&&... args) {
  try {
    return method(std::forward<Args>(args)...).template cast<Result>();
  } catch (py::error_already_set& error) {
    rethrowFromPython(error);
  }
}

template <class... Args>
void callBackVoid(const py::function& method, Args&&... args) {
  try {
    method(std::forward<Args>(args)...);
  } catch (py::error_already_set& error) {
    rethrowFromPython(error);
  }
}

// The C++ object of a bound instance, or null while it is not constructed: the collector may
// visit an instance that is still being made (even before pybind11 has laid it out), and casting
// one would read no object. Every class here has one C++ type and a one-pointer holder, so its
// instances get pybind11's simple layout; an instance without it (not laid out yet, or of a
// Python class deriving from two of these classes) is not looked into.
template <class T>
T* constructed(PyObject* self) {
  auto* instance = reinterpret_cast<py::detail::instance*>(self);
  if (!instance->simple_layout || !instance->simple_holder_constructed) return nullptr;
  return static_cast<T*>(instance->simple_value_holder[0]);
}

// GC support for a bound class whose C++ object holds the Python Window in its member `window`.
template <class T>
struct GcVisitsWindow {
  static int traverse(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(Py_TYPE(self));
    if (T* object = constructed<T>(self)) Py_VISIT(object->window.ptr());
    return 0;
  }
  static int clear(PyObject* self) {
    if (T* object = constructed<T>(self)) object->window = py::none();
    return 0;
  }
  static py::custom_type_setup setup() {
    return py::custom_type_setup([](PyHeapTypeObject* heapType) {
      PyTypeObject* type = &heapType->ht_type;
      type->tp_flags |= Py_TPFLAGS_HAVE_GC;
      type->tp_traverse = &traverse;
      type->tp_clear = &clear;
    });
  }
};

void bindValues(py::module_& m);
void bindExceptions(py::module_& m);
void bindModel(py::module_& m);
void bindHost(py::module_& m);
void bindEvaluation(py::module_& m);
void bindProduct(py::module_& m);

#endif  // TAM_PYTHON_BINDINGS_H
