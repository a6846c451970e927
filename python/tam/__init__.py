"""libtam for Python: describe, combine and check the options of a product structure.

Two levels:

* The library's own classes, for hosts written in Python: a Window holds modules (RIX text) and
  evaluates a tree of your Node subclasses; an Adapter subclass supplies the modules and hears
  the messages. Values are plain Python values: bool, int (32-bit), float, str, and None for
  unset. Failures raise TamException (TamSyntaxError for RIX that does not parse).

      window = tam.Window(MyAdapter())
      window.root = MyNode(window, ...)
      window.evaluate()

* Products kept as files, as the tam command reads them (a JSON product file and RIX module
  files):

      product = tam.Product.load("examples/ebike/product.json")
      result = product.evaluate(set={"ebike.frame:frame:size": 54})
      result.node("ebike.frame").options["frame:size"].values   # [54]

  and sweeps over many variants of a product (tam.sweep), on this machine or a Dask cluster.

The library installs one adapter for the whole process; importing tam installs one of its own
that hands each call on to the adapter of the window it concerns, so every Window (and every
Product) has its own adapter. Library calls hold the interpreter lock: run sweeps in processes
(tam.sweep does) rather than threads.
"""

from tam._tam import (
    Adapter,
    ConfigState,
    Constraint,
    ConstraintKind,
    EvaluationError,
    HowSet,
    Module,
    Node,
    Option,
    OptionType,
    Path,
    ProductError,
    Scope,
    SelectedOptionSet,
    Severity,
    SosEntry,
    TamException,
    TamSyntaxError,
    Translater,
    ValidationCode,
    ValidationError,
    Validator,
    ValueType,
    Variant,
    VariantsMode,
    Window,
    __version__,
    display_string,
    live_objects,
    quote_id,
    quote_module_id,
    value_type,
)
from tam.product import Evaluation, Message, NodeResult, OptionResult, Product

__all__ = [
    "Adapter",
    "ConfigState",
    "Constraint",
    "ConstraintKind",
    "Evaluation",
    "EvaluationError",
    "HowSet",
    "Message",
    "Module",
    "Node",
    "NodeResult",
    "Option",
    "OptionResult",
    "OptionType",
    "Path",
    "Product",
    "ProductError",
    "Scope",
    "SelectedOptionSet",
    "Severity",
    "SosEntry",
    "TamException",
    "TamSyntaxError",
    "Translater",
    "ValidationCode",
    "ValidationError",
    "Validator",
    "ValueType",
    "Variant",
    "VariantsMode",
    "Window",
    "__version__",
    "display_string",
    "live_objects",
    "quote_id",
    "quote_module_id",
    "value_type",
]
