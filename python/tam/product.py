"""Products kept as files, evaluated as the tam command evaluates them.

A product is a JSON product file and the RIX module files in its module folders (see
docs/product-format.md). Product.load reads both once; each evaluate() gives the tree its host
values anew (the product file's, then those passed in) and evaluates it, so evaluations do not
depend on each other.
"""

from __future__ import annotations

import dataclasses
import json
from typing import Any, Dict, List, Mapping, Optional, Sequence, Union

from tam import _tam

Value = Union[bool, int, float, str, None]
Choice = Union[bool, int, float, str, Sequence[Union[bool, int, float, str]], None]

_HOW_NAMES = {
    _tam.HowSet.DEFAULT: "default",
    _tam.HowSet.HOST: "host",
    _tam.HowSet.SET: "set",
    _tam.HowSet.HOST_FIRM: "host_firm",
    _tam.HowSet.FIX: "fix",
    _tam.HowSet.INHERITED: "inherited",
    _tam.HowSet.HOST_FORCED: "host_forced",
}
_SEVERITY_NAMES = {
    _tam.Severity.INFORM: "inform",
    _tam.Severity.WARN: "warn",
    _tam.Severity.ERROR: "error",
}


def _type_name(value: Value) -> str:
    return {bool: "bool", int: "integer", float: "real", str: "string"}.get(type(value), "Unset")


@dataclasses.dataclass(frozen=True)
class OptionResult:
    """The values selected for one option at one node, each with how it was set."""

    option: str
    """module:option"""
    values: List[Value]
    how: List[_tam.HowSet]
    provenance: Optional[Dict[str, Any]] = None
    """Why the option has these values, when the evaluation was asked to explain
    (Product.evaluate(..., explain=True)); None otherwise. It is the document
    `tam explain --json PRODUCT NODEPATH:module:option` prints, decoded: "values" lists each value
    with its "origin" (the set or fix statement, the declaration giving the default, the host
    value, or the node it was inherited from, each with its "place": file, line, column), and
    "history" every step that led there, oldest first (what each statement stored, replaced or
    was refused, with its place). See docs/schema/tam-explain.schema.json."""

    @property
    def value(self) -> Value:
        """The first value (the only one of an option that takes one value at a time)."""
        return self.values[0] if self.values else None


@dataclasses.dataclass(frozen=True)
class NodeResult:
    """One node after an evaluation.

    state is "configured" (its rules ran), "undecided" (they ran while its load-if had no value)
    or "not_configured" (it was stopped, or a node above it was); forced is the state the
    product forces, or None. options maps module:option to the values selected at the node, in
    the order the library keeps them; it is empty for nodes not evaluated or without a module.
    """

    path: str
    id: str
    module: Optional[str]
    state: str
    forced: Optional[str]
    options: Dict[str, OptionResult]
    explanation: Optional[Dict[str, Any]] = None
    """Why the node has its state, when the evaluation was asked to explain; None otherwise. It
    is the document `tam explain --json PRODUCT NODEPATH` prints, decoded: the forced state, the
    load_if with each value it read and its result, the node above that stopped it, the reason in
    words, and the node's options with the origin of each value."""

    @property
    def reason(self) -> Optional[str]:
        """The node's state in words ("its load_if is false: ..."), when explained; else None."""
        return self.explanation["reason"] if self.explanation is not None else None

    @property
    def configured(self) -> bool:
        return self.state != "not_configured"

    def value(self, option: str) -> Value:
        """The first value of module:option at this node (None when it has none here)."""
        result = self.options.get(option)
        return result.value if result is not None else None


@dataclasses.dataclass(frozen=True)
class Message:
    """A message rule that ran: its severity, node path, module, file and line (None when it
    cannot be told) and text."""

    severity: _tam.Severity
    node: str
    module: str
    file: Optional[str]
    line: Optional[int]
    text: str


@dataclasses.dataclass(frozen=True)
class LegacyOption:
    """A legacy option the product keeps: its values after the evaluation, and whether the rules
    changed them."""

    option: str
    values: List[Value]
    changed: bool


@dataclasses.dataclass(frozen=True)
class Evaluation:
    """The result of Product.evaluate: every node (depth first, in the product's order), the
    messages of the rules, and the legacy options."""

    product: Optional[str]
    file: str
    variants_mode: str
    nodes: List[NodeResult]
    messages: List[Message]
    legacy_options: List[LegacyOption]

    @property
    def status(self) -> str:
        """"errors" when a rule emitted an error message, else "ok"."""
        return "errors" if self.errors else "ok"

    @property
    def errors(self) -> List[Message]:
        return [m for m in self.messages if m.severity == _tam.Severity.ERROR]

    @property
    def warnings(self) -> List[Message]:
        return [m for m in self.messages if m.severity == _tam.Severity.WARN]

    def node(self, path: str) -> NodeResult:
        """The node at this path (KeyError when there is none)."""
        for node in self.nodes:
            if node.path == path:
                return node
        raise KeyError(path)

    def value(self, key: str) -> Value:
        """The first value of NODEPATH:module:option, None at a node not evaluated."""
        path, _, option = key.partition(":")
        return self.node(path).value(option)

    def summary(self) -> Dict[str, int]:
        states = [node.state for node in self.nodes]
        return {
            "nodes": len(self.nodes),
            "configured": states.count("configured"),
            "not_configured": states.count("not_configured"),
            "undecided": states.count("undecided"),
            "errors": len(self.errors),
            "warnings": len(self.warnings),
            "informs": len(self.messages) - len(self.errors) - len(self.warnings),
        }

    def to_json(self) -> Dict[str, Any]:
        """The document `tam eval --json` prints, as Python objects, keys in the same order; for
        an evaluation that explained, the one `tam eval --explain --json` prints (each value with
        its "origin")."""

        def values(option_values, how=None, provenance=None):
            out = []
            for i, value in enumerate(option_values):
                item = {"value": value, "type": _type_name(value)}
                if how is not None:
                    item["how"] = _HOW_NAMES[how[i]] if i < len(how) else None
                if provenance is not None and i < len(provenance["values"]):
                    item["origin"] = provenance["values"][i]["origin"]
                out.append(item)
            return out

        return {
            "product": self.product,
            "file": self.file,
            "variants_mode": self.variants_mode,
            "status": self.status,
            "nodes": [
                {
                    "path": node.path,
                    "id": node.id,
                    "module": node.module,
                    "state": node.state,
                    "forced": node.forced,
                    "options": [
                        {
                            "option": name,
                            "values": values(result.values, result.how, result.provenance),
                        }
                        for name, result in node.options.items()
                    ],
                }
                for node in self.nodes
            ],
            "messages": [
                {
                    "severity": _SEVERITY_NAMES[m.severity],
                    "node": m.node,
                    "module": m.module,
                    "file": m.file,
                    "line": m.line,
                    "text": m.text,
                }
                for m in self.messages
            ],
            "legacy_options": [
                {"option": legacy.option, "values": values(legacy.values), "changed": legacy.changed}
                for legacy in self.legacy_options
            ],
            "summary": self.summary(),
        }


def _decoded(text: Optional[str]) -> Optional[Dict[str, Any]]:
    return json.loads(text) if text is not None else None


class Product:
    """A product read from its product file and module files.

    Product.load(path) reads the files and checks them (ProductError names the file and line of
    a problem); evaluate() evaluates the tree. Each product has its own window and adapter, so
    several products can be loaded side by side.
    """

    def __init__(self, handle: _tam._Product) -> None:
        self._handle = handle

    @classmethod
    def load(cls, path: str) -> "Product":
        return cls(_tam._Product(str(path)))

    @property
    def name(self) -> str:
        return self._handle.name

    @property
    def path(self) -> str:
        return self._handle.path

    @property
    def variants_mode(self) -> str:
        return self._handle.variants_mode

    @property
    def node_paths(self) -> List[str]:
        """Every node's path, depth first in the product's order."""
        return self._handle.nodes

    def evaluate(
        self, set: Optional[Mapping[str, Choice]] = None, *, explain: bool = False
    ) -> Evaluation:
        """Evaluates the product with host values added to the product file's.

        `set` maps NODEPATH:module:option (as `tam eval --set` names it) to a value, or to a list
        of values for an option that takes several; values are typed by the option, and a
        string is read as --set reads its text. ProductError for a value the product does not
        take; EvaluationError when the evaluation raises (a rule that fails, a module file that
        does not load), placed in the file at fault.

        With explain=True the evaluation keeps its history and every OptionResult gets its
        provenance and every NodeResult its explanation, as `tam explain --json` gives them (a
        host value from `set` is placed by its NODEPATH:module:option key). Without it nothing is
        recorded and both are None: an evaluation costs what it costs without explanations.
        """
        name, file, mode, nodes, messages, legacy = self._handle.evaluate(set, explain)
        return Evaluation(
            product=name,
            file=file,
            variants_mode=mode,
            nodes=[
                NodeResult(
                    path,
                    node_id,
                    module,
                    state,
                    forced,
                    {
                        option: OptionResult(option, values, how, _decoded(provenance))
                        for option, values, how, provenance in options
                    },
                    _decoded(explanation),
                )
                for path, node_id, module, state, forced, options, explanation in nodes
            ],
            messages=[Message(*message) for message in messages],
            legacy_options=[LegacyOption(*item) for item in legacy],
        )

    def __repr__(self) -> str:
        return f"Product({self.path!r})"
