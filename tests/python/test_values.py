"""Values cross between Python and the library as bool, int, float, str and None (unset)."""


import pytest

import tam


@pytest.mark.parametrize(
    "value, kind, text",
    [
        (None, tam.ValueType.UNSET, "***UNSET***"),
        (True, tam.ValueType.BOOL, "true"),
        (False, tam.ValueType.BOOL, "false"),
        (0, tam.ValueType.INT, "0"),
        (-7, tam.ValueType.INT, "-7"),
        (2**31 - 1, tam.ValueType.INT, "2147483647"),
        (-(2**31), tam.ValueType.INT, "-2147483648"),
        (2.5, tam.ValueType.REAL, "2.500000"),
        (-0.0, tam.ValueType.REAL, "-0.000000"),
        ("", tam.ValueType.STRING, ""),
        ("Grüße, 'quoted'", tam.ValueType.STRING, "Grüße, 'quoted'"),
    ],
)
def test_values_have_the_library_type_and_text(value, kind, text):
    assert tam.value_type(value) == kind
    assert tam.display_string(value) == text


class _NoModules(tam.Adapter):
    def load_module(self, window, module_id):
        return False

    def refresh_module(self, window, module):
        return False


@pytest.fixture
def options():
    """A module with one option of each type, each accepting anything of its type."""
    window = tam.Window(_NoModules())
    module = window.create_module("m")
    module.text = "\n".join(
        [
            "module m",
            "interface start",
            "public flag logical",
            "public count integer",
            "public ratio real",
            "public name string",
            "public tags string non_mutually_exclusive",
            "interface end",
            "",
        ]
    )
    return {option.name: option for option in module.options}


@pytest.mark.parametrize(
    "option, value",
    [
        ("flag", True),
        ("flag", False),
        ("count", 2**31 - 1),
        ("count", -(2**31)),
        ("ratio", 1e-300),
        ("ratio", -0.5),
        ("name", ""),
        ("name", "x\ny \u00e9"),
        ("count", None),
    ],
)
def test_values_round_trip_through_a_selected_option_set(options, value, option):
    sos = tam.SelectedOptionSet(options[option].window)
    sos.set(options[option], value)
    entry = sos.get(options[option])
    assert entry.values == [value]
    assert type(entry.value) is type(value)
    assert entry.how == [tam.HowSet.HOST]


def test_several_values_keep_their_order(options):
    sos = tam.SelectedOptionSet(options["tags"].window)
    sos.set(options["tags"], ["b", "a"], how=[tam.HowSet.HOST, tam.HowSet.HOST_FIRM])
    sos.set(tam.SosEntry(options["tags"], "c", tam.HowSet.SET))
    entry = sos.get(options["tags"])
    assert entry.values == ["b", "a", "c"]
    assert entry.how == [tam.HowSet.HOST, tam.HowSet.HOST_FIRM, tam.HowSet.SET]


@pytest.mark.parametrize(
    "value, error",
    [(2**31, ValueError), (-(2**31) - 1, ValueError), (b"bytes", TypeError), ([1], TypeError), (1j, TypeError)],
)
def test_values_the_library_cannot_hold_are_refused(value, error):
    with pytest.raises(error):
        tam.value_type(value)


def test_a_value_the_option_does_not_allow_raises_the_library_code(options):
    sos = tam.SelectedOptionSet(options["flag"].window)
    with pytest.raises(tam.TamException) as raised:
        sos.set(options["flag"], 1)
    assert raised.value.code == 204
    assert raised.value.info == "1"
