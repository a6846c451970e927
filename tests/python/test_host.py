"""Hosts written in Python: adapters and nodes subclassed from tam.Adapter and tam.Node, and the
library's classes they work with."""

import gc
import json

import pytest

import file_host
import tam
from conftest import EBIKE, as_printed, run_tam

_TYPE_NAMES = {tam.ValueType.UNSET: "Unset", tam.ValueType.BOOL: "bool", tam.ValueType.INT: "integer",
               tam.ValueType.REAL: "real", tam.ValueType.STRING: "string"}
_HOW_NAMES = {tam.HowSet.DEFAULT: "default", tam.HowSet.HOST: "host", tam.HowSet.SET: "set",
              tam.HowSet.HOST_FIRM: "host_firm", tam.HowSet.FIX: "fix",
              tam.HowSet.INHERITED: "inherited", tam.HowSet.HOST_FORCED: "host_forced"}


def test_a_python_host_evaluates_the_ebike_as_the_tam_command_does():
    window, root, adapter = file_host.load(str(EBIKE))
    window.evaluate()
    status, output = run_tam("eval", "--json", EBIKE)
    expected = json.loads(output)
    assert status == 0

    nodes = []
    for node in root.walk():
        options = []
        if node.reached and node.has_module():
            for entry in node.sos:
                options.append({
                    "option": f"{entry.option.module_id}:{entry.option.name}",
                    "values": [{"value": as_printed(value), "type": _TYPE_NAMES[tam.value_type(value)],
                                "how": _HOW_NAMES[how]}
                               for value, how in zip(entry.values, entry.how)],
                })
        nodes.append({"path": node.path, "state": file_host.state_of(node), "options": options})
    # The command also describes each option (type, allowed values); the values are what both give.
    assert nodes == [
        {"path": node["path"], "state": node["state"],
         "options": [{"option": option["option"], "values": option["values"]} for option in node["options"]]}
        for node in expected["nodes"]
    ]
    # The command places each message in its module file; the library tells the text.
    assert [(m[0].name.lower(), m[1], m[2], m[3]) for m in adapter.messages] == [
        (m["severity"], m["node"], m["module"], m["text"]) for m in expected["messages"]
    ]
    assert {f"{module}:{option}": (values, changed) for (module, option), (values, changed) in adapter.legacy.items()} == {
        item["option"]: ([value["value"] for value in item["values"]], item["changed"])
        for item in expected["legacy_options"]
    }
    # A second evaluation with notify reports no state as changed again.
    changes = [len(node.states) for node in root.walk()]
    window.evaluate()
    assert [len(node.states) for node in root.walk()] == changes


class _Failure(Exception):
    pass


class _Raising(tam.Adapter):
    """Supplies one module and raises `error` from the callback named `where`."""

    def __init__(self, where, error):
        super().__init__()
        self.where, self.error = where, error

    def _maybe_raise(self, name):
        if name == self.where:
            raise self.error

    def load_module(self, window, module_id):
        self._maybe_raise("load_module")
        window.create_module(module_id).text = (
            "module m\ninterface start\npublic a integer = 1 to 9 default 1\ninterface end\n"
            'inform "hello"\nset m:a to 5\n'
        )
        return True

    def refresh_module(self, window, module):
        return True

    def user_msg(self, window, severity, message, node):
        self._maybe_raise("user_msg")
        return True

    def allow_option_override(self, existing, node, how):
        self._maybe_raise("allow_option_override")
        return super().allow_option_override(existing, node, how)


class _Leaf(tam.Node):
    def __init__(self, window, raising=None, error=None):
        super().__init__(window)
        self.raising, self.error = raising, error

    def parent(self):
        return None

    def children(self):
        if self.raising == "children":
            raise self.error
        return []

    def has_module(self):
        if self.raising == "has_module":
            raise self.error
        return True

    def module_id(self):
        return "m"

    def path_id(self):
        return "leaf"


@pytest.mark.parametrize("where", ["load_module", "user_msg", "allow_option_override", "children", "has_module"])
def test_a_python_exception_raised_in_a_callback_arrives_unchanged(where):
    error = _Failure(where)
    window = tam.Window(_Raising(where, error))
    root = _Leaf(window, where, error)
    window.root = root
    with pytest.raises(_Failure) as raised:
        window.evaluate()
    assert raised.value is error


def test_a_tam_exception_raised_in_a_callback_is_placed_by_the_library():
    window = tam.Window(_Raising(None, None))
    root = _Leaf(window)
    window.root = root
    error = tam.TamException("refused")
    error.code, error.info = 500, "host says no"

    class Refusing(_Raising):
        def user_msg(self, window, severity, message, node):
            raise error

    window2 = tam.Window(Refusing(None, None))
    root2 = _Leaf(window2)
    window2.root = root2
    with pytest.raises(tam.TamException) as raised:
        window2.evaluate()
    assert (raised.value.code, raised.value.info, raised.value.line) == (500, "host says no", 2)
    assert raised.value.node is root2
    window.evaluate()  # another window, with its own adapter, is not affected
    assert root.sos.get(window.get_module("m").get_option("a")).value == 5
    assert root.config_state == tam.ConfigState.UNDECIDED


def test_library_failures_carry_their_code_and_texts():
    window = tam.Window(_Raising(None, None))
    module = window.create_module("x")
    with pytest.raises(tam.TamSyntaxError) as raised:
        module.add_option("public size integer = 5 to 5")
    assert raised.value.code == 10
    assert raised.value.info == "Maximum should be higher then minimum"
    assert "^" in raised.value.context
    with pytest.raises(tam.TamException) as raised:
        window.create_module("x")
    assert raised.value.code == 301
    with pytest.raises(tam.TamException) as raised:
        tam.Window(_Texts({})).get_module("nothing")
    assert raised.value.code == 302 and raised.value.info == "nothing"


class _Texts(tam.Adapter):
    """Modules from a dict; records which windows asked."""

    def __init__(self, texts):
        super().__init__()
        self.texts, self.asked = texts, []

    def load_module(self, window, module_id):
        self.asked.append((window, module_id))
        if module_id not in self.texts:
            return False
        window.create_module(module_id).text = self.texts[module_id]
        return True

    def refresh_module(self, window, module):
        return False


def _module_text(module_id, declaration, rules=""):
    return f"module {module_id}\ninterface start\n{declaration}\ninterface end\n{rules}"


def test_each_window_asks_its_own_adapter():
    first = _Texts({"m": _module_text("m", "public a integer default 1")})
    second = _Texts({"m": _module_text("m", "public a string default \"x\"")})
    windows = [tam.Window(first), tam.Window(second)]
    assert [w.find_option("m", "a").default for w in windows] == [1, "x"]
    assert [window for window, _ in first.asked] == [windows[0]]
    assert [window for window, _ in second.asked] == [windows[1]]
    assert windows[0].adapter is first


def test_modules_options_and_constraints():
    texts = {
        "base": _module_text("base", 'public size integer "Size" : mandatory = 1 to 4, 8 default 2'),
        "user": _module_text("user", "public size uses base:size\nprivate big logical default false",
                             "if user:size > 2 then\n  set user:big to true\nendif"),
    }
    window = tam.Window(_Texts(texts))
    user = window.get_module("user")
    size, big = user.get_option("size"), user.get_option("big")
    assert [o.name for o in user.options] == ["big", "size"]
    assert (size.type, size.scope, size.based_on_module_id, size.based_on_name) == (
        tam.OptionType.USES, tam.Scope.PUBLIC, "base", "size")
    base = size.based_on()
    assert base == size.real_option() and base.mandatory and base.description == "Size"
    assert [(c.kind, str(c)) for c in base.constraints] == [
        (tam.ConstraintKind.RANGE, "1 to 4"), (tam.ConstraintKind.ENUM, "8")]
    assert [base.validate(v) for v in (0, 3, 8, None)] == [False, True, True, True]
    assert base.references() == [size] and base.is_referenced()
    assert big.default is False and user.option_text("big") == "private big logical default false"
    assert window.get_module("base") in [o.window.get_module("base") for o in user.referenced_options()]
    assert user.rules.startswith("if user:size > 2")
    assert user.text.splitlines()[:2] == ["module user", "interface start"]


def test_paths_translater_and_validator():
    path = tam.Path(["a b", "c"])
    assert (str(path), path.parseable, tam.Path.parse(path.parseable)) == ("a b.c", "'a b'.c", path)
    assert tam.Path.parse("a.b.c.d").compare(tam.Path(["b", "c"])) == 6
    translater = tam.Translater()
    translater.add_option_mapping("a", "x", "new name")
    assert translater.translate_rules("set a:x to 1 # keep\n") == "set a:'new name' to 1 # keep\n"
    assert translater.lookup_mapping("a", "x") == ("a", "new name")

    texts = {"top": _module_text("top", "private hidden integer default 1"),
             "low": _module_text("low", "public v integer default 1", "set low:v to top:hidden")}
    window = tam.Window(_Texts(texts))

    class Tree(_Leaf):
        def __init__(self, window, module, kids=()):
            super().__init__(window)
            self.module_name, self.kids, self.up = module, list(kids), None
            for kid in self.kids:
                kid.up = self

        def parent(self):
            return self.up

        def children(self):
            return self.kids

        def module_id(self):
            return self.module_name

    low = Tree(window, "low")
    top = Tree(window, "top", [low])
    validator = tam.Validator()
    validator.validate_node(top)
    assert [(e.code, e.node, e.option.name) for e in validator.errors] == [
        (tam.ValidationCode.RULE_OPTION_NOT_IN_SCOPE, low, "hidden")]


def test_cycles_through_adapters_nodes_and_modules_are_collected():
    gc.collect()
    before = tam.live_objects()

    class Keeping(_Texts):
        def load_module(self, window, module_id):
            self.window = window  # adapter -> window -> adapter
            return super().load_module(window, module_id)

    for _ in range(20):
        adapter = Keeping({"m": _module_text("m", "public a integer default 1", "set m:a to 2")})
        window = tam.Window(adapter)
        root = _Leaf(window)
        window.root = root
        adapter.root, adapter.module = root, window.get_module("m")  # adapter -> node, module
        window.evaluate()
        assert root.sos.get(adapter.module.get_option("a")).value == 2
    del adapter, window, root
    gc.collect()
    assert tam.live_objects() == before
