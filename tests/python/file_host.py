"""A host written in Python: an Adapter that supplies modules from RIX files and Nodes built from
a JSON product file, as the tam command does in C++ (see docs/product-format.md). The tests
evaluate the e-bike example with it and compare the result with `tam eval --json`."""

import json
import os

import tam

_HOW = {"host": tam.HowSet.HOST, "host_firm": tam.HowSet.HOST_FIRM, "host_forced": tam.HowSet.HOST_FORCED}
_FORCED = {"configured": tam.ConfigState.CONFIGURED, "not_configured": tam.ConfigState.NOT_CONFIGURED}


class FileAdapter(tam.Adapter):
    """Modules from the *.rix files of some folders, indexed by the id on their module line;
    legacy option values kept here; messages recorded."""

    def __init__(self, folders, legacy):
        super().__init__()
        self.texts = {}
        for folder in folders:
            for name in sorted(os.listdir(folder)):
                if name.endswith(".rix"):
                    with open(os.path.join(folder, name), encoding="utf-8") as f:
                        text = f.read()
                    self.texts[text.split("\n", 1)[0][len("module "):]] = text
        self.legacy = {key: (list(values), False) for key, values in legacy.items()}
        self.messages = []

    def load_module(self, window, module_id):
        if module_id not in self.texts:
            return False
        module = window.create_module(module_id)
        for (legacy_module, option), _ in self.legacy.items():
            if legacy_module == module_id:
                module.declare_legacy_option(option)
        module.text = self.texts[module_id]
        return True

    def refresh_module(self, window, module):
        return module is not None

    def user_msg(self, window, severity, message, node):
        self.messages.append((severity, node.path, node.module_id(), message))
        return True

    def get_legacy_option_value(self, window, option):
        values, _ = self.legacy.get((option.module_id, option.name), ([None], False))
        return values[0] if values else None

    def get_legacy_option_values(self, window, option):
        values, _ = self.legacy.get((option.module_id, option.name), ([None], False))
        return values

    def set_legacy_option_value(self, window, option, value):
        self.legacy[(option.module_id, option.name)] = ([value], True)

    def set_legacy_option_values(self, window, option, values):
        self.legacy[(option.module_id, option.name)] = (list(values), True)


class ProductNode(tam.Node):
    """One node of the product file."""

    def __init__(self, window, parent, entry):
        super().__init__(window)
        self._parent = parent
        self._id = entry["id"]
        self._module = entry.get("module", "")
        self.path = self._id if parent is None else parent.path + "." + self._id
        self.forced = _FORCED.get(entry.get("forced"), tam.ConfigState.UNDECIDED)
        self.reached = False
        self.states = []
        if entry.get("load_if"):
            self.load_if = entry["load_if"]
        self._children = [ProductNode(window, self, child) for child in entry.get("children", [])]

    def parent(self):
        return self._parent

    def children(self):
        return self._children

    def has_module(self):
        return bool(self._module)

    def module_id(self):
        return self._module

    def path_id(self):
        return self._id

    def forced_config_state(self):
        return self.forced

    def state_changed(self, state):
        self.states.append(state)

    def evaluate_legacy_expressions(self):
        self.reached = True

    def walk(self):
        yield self
        for child in self._children:
            yield from child.walk()


def _typed(option, value):
    # JSON numbers are integers or reals by their option, as the tam command reads them.
    if option.value_type == tam.ValueType.REAL and isinstance(value, int) and not isinstance(value, bool):
        return float(value)
    return value


def _legacy_values(given):
    return [given] if not isinstance(given, list) else given


def load(product_path):
    """Reads a product file; returns the window, the root node and the adapter."""
    with open(product_path, encoding="utf-8") as f:
        product = json.load(f)
    base = os.path.dirname(product_path)
    legacy = {
        (module, option): _legacy_values(values)
        for module, options in product.get("legacy_options", {}).items()
        for option, values in options.items()
    }
    adapter = FileAdapter([os.path.join(base, folder) for folder in product["module_folders"]], legacy)
    window = tam.Window(adapter)
    window.variants_mode = {
        "modular": tam.VariantsMode.MODULAR,
        "modular_and_legacy": tam.VariantsMode.MODULAR_AND_LEGACY,
        "legacy": tam.VariantsMode.LEGACY,
    }[product.get("variants_mode", "modular")]
    root = ProductNode(window, None, product["root"])
    window.root = root
    entries = {}

    def collect(node, entry):
        entries[node.path] = entry
        for child, child_entry in zip(node.children(), entry.get("children", [])):
            collect(child, child_entry)

    collect(root, product["root"])
    for node in root.walk():
        given = entries[node.path].get("values", [])
        if not given:
            continue
        sos = tam.SelectedOptionSet(window)
        for value in given:
            module_id, _, name = value["option"].partition(":")
            option = window.find_option(module_id, name)
            values = value["values"] if "values" in value else [value["value"]]
            how = _HOW[value.get("how", "host")]
            sos.set(tam.SosEntry(option, [_typed(option, v) for v in values], how))
        node.set_sos(sos)
    return window, root, adapter


def state_of(node):
    """The node's state as `tam eval` reports it."""
    if not node.reached:
        return "not_configured"
    if node.forced != tam.ConfigState.CONFIGURED and node.load_if and node.config_state == tam.ConfigState.UNDECIDED:
        return "undecided"
    return "configured"
