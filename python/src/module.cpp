// tam._tam: the compiled part of the Python package `tam` (see python/tam/__init__.py).
#include "Bindings.h"

PYBIND11_MODULE(_tam, m) {
  m.doc() = "libtam for Python: the library's classes and the tam command's host classes.";
  // One adapter for the whole process hands each call on to the adapter of its window.
  AdapterRouter::instance().install();
  m.attr("__version__") = TAM_VERSION_STRING;
  bindExceptions(m);
  bindValues(m);
  bindModel(m);
  bindHost(m);
  bindEvaluation(m);
  bindProduct(m);
}
