// Values and exceptions between Python and the library.
#include <climits>

#include "Bindings.h"
#include "Diagnostics.h"

namespace {

// The Python exception classes, made once at import; they live as long as the module.
PyObject* tamExceptionType = nullptr;
PyObject* tamSyntaxErrorType = nullptr;
PyObject* productErrorType = nullptr;

void raiseTamException(const TamException& e) {
  PyObject* type = e.code() == TamSyntaxError::kCode ? tamSyntaxErrorType : tamExceptionType;
  py::object exception = py::reinterpret_borrow<py::object>(type)(describeException(e));
  exception.attr("code") = e.code();
  exception.attr("line") = e.line();
  exception.attr("node") = nodeObject(e.node());
  exception.attr("info") = e.info();
  exception.attr("context") = e.context();
  exception.attr("extrainfo2") = e.extrainfo2();
  PyErr_SetObject(type, exception.ptr());
}

// The tam command starts messages about its own input like this; Python leaves it out.
const char kToolPrefix[] = "tam: error: ";

void raiseProductError(const ToolError& e) {
  std::string message = plainText(e);
  if (!message.empty() && message.back() == '\n') message.pop_back();
  if (message.rfind(kToolPrefix, 0) == 0) message.erase(0, sizeof kToolPrefix - 1);
  py::object exception = py::reinterpret_borrow<py::object>(productErrorType)(message);
  exception.attr("status") = e.status();
  PyErr_SetObject(productErrorType, exception.ptr());
}

}  // namespace

ref_count_ptr<TamValue> toValue(const py::handle& value) {
  if (value.is_none()) return TamValue::createUnset();
  if (PyBool_Check(value.ptr())) return TamValue::createBool(value.ptr() == Py_True);
  if (PyFloat_Check(value.ptr())) return TamValue::createReal(PyFloat_AsDouble(value.ptr()));
  if (PyUnicode_Check(value.ptr())) return TamValue::createString(value.cast<std::string>());
  if (PyIndex_Check(value.ptr())) {
    py::int_ number = py::reinterpret_steal<py::int_>(PyNumber_Index(value.ptr()));
    if (!number) throw py::error_already_set();
    int overflow = 0;
    long long n = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
    if (overflow != 0 || n < INT_MIN || n > INT_MAX) {
      throw py::value_error("integer values are 32-bit: " + py::str(value).cast<std::string>() +
                            " is out of range");
    }
    return TamValue::createInt(static_cast<int>(n));
  }
  throw py::type_error("a value is a bool, int, float, str or None (unset), not " +
                       py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>());
}

py::object fromValue(const ref_count_ptr<TamValue>& value) {
  if (!value) return py::none();
  switch (value->type()) {
    case TamValue::VT_BOOL:
      return py::bool_(value->boolValue());
    case TamValue::VT_INT:
      return py::int_(value->intValue());
    case TamValue::VT_REAL:
      return py::float_(value->realValue());
    case TamValue::VT_STRING:
      return py::str(value->strValue());
    case TamValue::VT_UNSET:
      break;
  }
  return py::none();
}

py::list fromValues(const std::vector<ref_count_ptr<TamValue>>& values) {
  py::list list;
  for (const ref_count_ptr<TamValue>& value : values) list.append(fromValue(value));
  return list;
}

void rethrowFromPython(py::error_already_set& error) {
  if (!error.matches(tamExceptionType)) throw;
  py::object raised = error.value();
  auto text = [&raised](const char* name) {
    py::object value = py::getattr(raised, name, py::str(""));
    return value.is_none() ? std::string() : py::str(value).cast<std::string>();
  };
  auto number = [&raised](const char* name) {
    py::object value = py::getattr(raised, name, py::int_(0));
    return value.is_none() ? 0 : value.cast<int>();
  };
  int code = number("code");
  if (code == TamSyntaxError::kCode)
    throw TamSyntaxError(text("info"), text("context"), number("line"));
  TamException again(code, number("line"), text("info"), text("context"), text("extrainfo2"));
  again.setNode(nodeOf(py::getattr(raised, "node", py::none())));
  throw again;
}

void bindExceptions(py::module_& m) {
  tamExceptionType = PyErr_NewExceptionWithDoc(
      "tam.TamException",
      "A failure of the library: `code` tells the family (1-3 misuse, 10 syntax, 101-114 model "
      "and selection, 202-204 values, 301-309 window, module and node, 500 a message the host "
      "refused); `line` is the RIX line at fault (0 when none), `node` the host node whose "
      "evaluation failed (or None), and `info`, `context` and `extrainfo2` carry details. "
      "str() of the exception is a sentence describing it.",
      PyExc_Exception, nullptr);
  tamSyntaxErrorType = PyErr_NewExceptionWithDoc(
      "tam.TamSyntaxError",
      "A RIX text that does not parse (code 10): `info` is the message, `context` the text "
      "around the place with a caret line under it, `line` the line in the text.",
      tamExceptionType, nullptr);
  productErrorType = PyErr_NewExceptionWithDoc(
      "tam.ProductError",
      "A product, variant or value that cannot be used: the message names the file and line "
      "where there is one. `status` is the exit status the tam command gives for it.",
      PyExc_Exception, nullptr);
  m.add_object("TamException", py::handle(tamExceptionType));
  m.add_object("TamSyntaxError", py::handle(tamSyntaxErrorType));
  m.add_object("ProductError", py::handle(productErrorType));
  py::register_exception_translator([](std::exception_ptr pointer) {
    try {
      if (pointer) std::rethrow_exception(pointer);
    } catch (const TamException& e) {
      raiseTamException(e);
    } catch (const ToolError& e) {
      raiseProductError(e);
    }
  });
}

void bindValues(py::module_& m) {
  py::enum_<TamValue::ValueType>(m, "ValueType", "The kind of a value, and the type of an option.")
      .value("UNSET", TamValue::VT_UNSET)
      .value("BOOL", TamValue::VT_BOOL)
      .value("INT", TamValue::VT_INT)
      .value("REAL", TamValue::VT_REAL)
      .value("STRING", TamValue::VT_STRING);
  m.def(
      "value_type", [](py::handle value) { return toValue(value)->type(); }, py::arg("value"),
      "The library's type of a Python value: None is UNSET, bool BOOL, int INT, float REAL, "
      "str STRING.");
  m.def(
      "display_string", [](py::handle value) { return toValue(value)->displayString(); },
      py::arg("value"),
      "The library's text of a value: ***UNSET***, true/false, %d for integers, %lf for reals "
      "(2.500000), strings as they are.");
  m.def("quote_id", &Tam::rixQuoteId, py::arg("id"),
        "An identifier as RIX text writes it: plain ones as they are, others in single quotes.");
  m.def("quote_module_id", &Tam::rixQuoteModuleId, py::arg("id"),
        "A module id as RIX text writes it (a leading digit needs no quotes).");
  m.def("live_objects", &ref_count::liveObjects,
        "The number of the library's reference-counted objects alive in the process.");
}
