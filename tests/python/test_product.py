"""tam.Product: products kept as files, evaluated as `tam eval` evaluates them."""

import json

import pytest

import tam
from conftest import BASIC, EBIKE, PRODUCTS, run_tam


@pytest.mark.parametrize(
    "product, choices, arguments",
    [
        (EBIKE, {}, []),
        (EBIKE, {"ebike:ebike:model": "speed"}, ["--set", "ebike:ebike:model=speed"]),
        (EBIKE, {"ebike.frame:frame:size": 54, "ebike:ebike:market": "US"},
         ["--set", "ebike.frame:frame:size=54", "--set", "ebike:ebike:market=US"]),
        (BASIC, {"bike:bike:speed": "45"}, ["--set", "bike:bike:speed=45"]),
    ],
)
def test_evaluations_give_what_tam_eval_json_prints(product, choices, arguments):
    status, output = run_tam("eval", "--json", *arguments, product)
    result = tam.Product.load(str(product)).evaluate(set=choices)
    assert result.to_json() == json.loads(output)
    assert status == (1 if result.status == "errors" else 0)


def test_results_read_like_the_product():
    product = tam.Product.load(str(EBIKE))
    assert (product.name, product.variants_mode) == ("E-bike line 2025: trekking order 4711", "modular")
    assert product.node_paths[:3] == ["ebike", "ebike.frame", "ebike.frame.fork"]
    result = product.evaluate(set={"ebike.frame:frame:size": 54})
    frame = result.node("ebike.frame")
    assert (frame.state, frame.module, frame.configured) == ("configured", "frame", True)
    size = frame.options["frame:size"]
    assert (size.values, size.how, size.value, size.provenance) == ([54], [tam.HowSet.HOST], 54, None)
    assert result.value("ebike.frame:frame:material") == "steel"
    assert result.node("ebike.frame.fork").options == {}
    assert [m.text for m in result.messages][:1] == ["Configured as a trekking bike for touring"]
    assert result.messages[0].severity == tam.Severity.INFORM and result.messages[0].line == 53
    assert any(item.option == "battery:shipping_class" and item.changed for item in result.legacy_options)
    # A list gives several values at once; "bell", which the product gives already, is kept once.
    extras = product.evaluate(set={"ebike.equipment.lights:lights:extras": ["horn", "bell"]})
    assert extras.node("ebike.equipment.lights").options["lights:extras"].values == ["bell", "horn", "reflectors"]
    # The document is written when first asked for, as the evaluation was, not as the next one is.
    early = product.evaluate(set={"ebike.frame:frame:size": 54})
    product.evaluate(set={"ebike.frame:frame:size": 50, "ebike:ebike:market": "US"})
    assert early.to_json() == json.loads(run_tam("eval", "--json", "--set", "ebike.frame:frame:size=54", EBIKE)[1])
    # Evaluations do not depend on each other.
    assert product.evaluate().to_json() == tam.Product.load(str(EBIKE)).evaluate().to_json()


def test_products_side_by_side_keep_their_own_modules():
    bike, ebike = tam.Product.load(str(BASIC)), tam.Product.load(str(EBIKE))
    alone = tam.Product.load(str(BASIC)).evaluate(set={"bike:bike:style": "road"}).to_json()
    ebike.evaluate()
    assert bike.evaluate(set={"bike:bike:style": "road"}).to_json() == alone
    assert ebike.evaluate().status == "ok"


@pytest.mark.parametrize(
    "choices, message",
    [
        ({"bike:bike:speed": 50}, "bike:bike:speed: value 50 is not allowed for 'bike:speed' (allowed: 15 to 45)"),
        ({"bike:bike:speed": "fast"}, "bike:bike:speed: value for 'bike:speed': 'fast' is not an integer"),
        ({"bike.nowhere:bike:speed": 20}, "bike.nowhere:bike:speed: no node 'bike.nowhere' in the product"),
        ({"bike:bike:nothing": 1}, "bike:bike:nothing: module 'bike' has no option 'nothing'"),
    ],
)
def test_choices_the_product_does_not_take_raise_product_error(choices, message):
    with pytest.raises(tam.ProductError) as raised:
        tam.Product.load(str(BASIC)).evaluate(set=choices)
    assert str(raised.value).startswith(message)
    assert raised.value.status == 2


def test_failures_name_their_file_and_line():
    with pytest.raises(tam.ProductError, match=r"bad_product/product.json:7:54: error: unknown key \"load-if\""):
        tam.Product.load(str(PRODUCTS / "bad_product" / "product.json"))
    product = tam.Product.load(str(BASIC))
    with pytest.raises(tam.EvaluationError) as raised:
        product.evaluate(set={"bike.lights.front_light:light:mode": "blink"})
    assert raised.value.code == 107 and raised.value.node == "bike.lights.front_light"
    assert "light.rix:8:1: error: option value mutually exclusive rule" in str(raised.value)
    # What was evaluated before the failure comes with it, as tam eval --json prints it.
    status, output = run_tam("eval", "--json", "--set", "bike.lights.front_light:light:mode=blink", BASIC)
    partial = raised.value.evaluation
    assert (status, partial.status) == (1, "failed")
    expected = json.loads(output)
    # The command line names the host value "--set ...", the module the key it was given as.
    assert expected["error"]["notes"][0]["message"].endswith(": --set bike.lights.front_light:light:mode=blink")
    expected["error"]["notes"][0]["message"] = "'light:mode' is given as a host value: bike.lights.front_light:light:mode"
    assert partial.to_json() == expected
    assert [node.state for node in partial.nodes][3:6] == ["configured", "failed", "not_evaluated"]
    assert partial.value("bike.rear:wheel:width") == 45
    assert partial.to_json()["error"]["message"].startswith("option value mutually exclusive rule")
    assert product.evaluate().status == "ok"  # the product is usable after a failed evaluation
    with pytest.raises(TypeError):
        product.evaluate(set={"bike:bike:speed": object()})


def test_problems_after_the_evaluation_are_errors_as_tam_eval_reports_them():
    findings = PRODUCTS / "validate_findings" / "product.json"
    status, output = run_tam("eval", "--json", findings)
    result = tam.Product.load(str(findings)).evaluate()
    assert (status, result.status) == (1, "errors")
    assert result.problems == json.loads(output)["problems"]
    assert [problem["severity"] for problem in result.problems] == ["error"] * 4
    assert "'top:a' is not visible from the parent of node 'top.mid.bottom'" in result.problems[-1]["message"]
    assert result.summary() == json.loads(output)["summary"]
    # Without problems or error messages the status is ok and the list empty.
    clean = tam.Product.load(str(BASIC)).evaluate(set={"bike:bike:style": "road"})
    assert (clean.status, clean.problems) == ("ok", [])
