"""Product.evaluate(explain=True): the provenance of every value and the explanation of every
node, against what `tam explain --json` and `tam eval --explain --json` print for the same product
and host values."""

import json

import pytest

import tam
from conftest import BASIC, EBIKE, PRODUCTS, run_tam

EXPLAIN = PRODUCTS / "explain" / "product.json"


def explain_json(product, subject, arguments):
    status, output = run_tam("explain", "--json", *arguments, product, subject)
    assert status == 0, subject
    return json.loads(output)


def host_places(document, texts):
    """The document with each host value given on the command line placed by `texts` (the --set
    argument to the key Python's set= uses), so the two placings compare."""
    if isinstance(document, dict):
        place = document.get("place")
        if isinstance(place, dict) and place["file"] is None and place["text"] in texts:
            document = dict(document, place=dict(place, text=texts[place["text"]]))
        return {key: host_places(value, texts) for key, value in document.items()}
    if isinstance(document, list):
        return [host_places(item, texts) for item in document]
    return document


@pytest.mark.parametrize(
    "product, choices, nodes",
    [
        # Every node (None), or the nodes named: each `tam explain` is a process of its own.
        (EBIKE, {"ebike:ebike:usage": "offroad", "ebike.frame:frame:material": "carbon"}, None),
        (EBIKE, {"ebike.equipment.lights:lights:extras": ["horn", "bell"]},
         {"ebike", "ebike.equipment.lights"}),
        (EXPLAIN, {}, None),
        (BASIC, {"bike:bike:speed": "45"}, None),
    ],
)
def test_every_value_and_node_is_explained_as_tam_explain_does(product, choices, nodes):
    arguments, texts = [], {}
    for key, value in choices.items():
        for one in value if isinstance(value, list) else [value]:
            argument = f"{key}={one}"
            arguments += ["--set", argument]
            texts["--set " + argument] = key
    result = tam.Product.load(str(product)).evaluate(set=choices, explain=True)
    compared = 0
    for node in result.nodes:
        if nodes is not None and node.path not in nodes:
            continue
        expected = host_places(explain_json(product, node.path, arguments), texts)
        assert node.explanation == expected
        assert node.reason == expected["reason"]
        for name, option in node.options.items():
            subject = f"{node.path}:{name}"
            expected = explain_json(product, subject, arguments)
            assert option.provenance == host_places(expected, texts)
            # The provenance's values are the result's.
            assert [v["value"] for v in option.provenance["values"]] == option.values
            compared += 1
    assert compared > len(nodes if nodes is not None else result.nodes)

    # The whole result reads as tam eval --explain --json prints it.
    status, output = run_tam("eval", "--explain", "--json", *arguments, product)
    assert result.to_json() == host_places(json.loads(output), texts)


def test_explanations_name_statements_host_values_and_stopped_nodes():
    result = tam.Product.load(str(EBIKE)).evaluate(
        set={"ebike:ebike:usage": "offroad", "ebike.frame:frame:material": "carbon"}, explain=True
    )
    gears = result.node("ebike.drive").options["drive:gears"].provenance
    assert [(s["kind"], s["outcome"], s["place"]["line"]) for s in gears["history"]] == [
        ("default", None, 6),
        ("set", "replaced", 18),
    ]
    assert gears["values"][0]["origin"]["kind"] == "statement"
    # The host value chosen is refused where a fix rule from above holds the option.
    material = result.node("ebike.frame").options["frame:material"].provenance
    assert [(s["node"], s["kind"], s["outcome"]) for s in material["history"]] == [
        ("ebike", "fix", "stored"),
        ("ebike.frame", "host", "refused"),
    ]
    assert material["history"][0]["place"]["text"].endswith("modules/ebike.rix:35:3")
    assert material["history"][1]["place"]["text"] == "ebike.frame:frame:material"
    # A node stopped by its load_if, with the values it read.
    rack = result.node("ebike.equipment.rack").explanation
    assert (rack["state"], rack["load_if"]["result"]) == ("not_configured", "false")
    reads = [(r["option"], r["values"][0]["value"]) for r in rack["load_if"]["reads"]]
    assert reads == [("ebike:model", "trekking"), ("ebike:usage", "offroad")]
    assert result.node("ebike.equipment.rack").reason.startswith("load_if is false")


def test_without_explain_nothing_is_kept():
    product = tam.Product.load(str(EBIKE))
    explained = product.evaluate(explain=True)
    plain = product.evaluate()
    assert all(n.explanation is None and n.reason is None for n in plain.nodes)
    assert all(o.provenance is None for n in plain.nodes for o in n.options.values())
    # Explaining changes no result.
    without_origins = json.loads(json.dumps(explained.to_json()))
    for node in without_origins["nodes"]:
        for option in node["options"]:
            for value in option["values"]:
                del value["origin"]
    assert without_origins == plain.to_json()


def test_a_failing_explained_evaluation_leaves_the_next_one_plain():
    product = tam.Product.load(str(BASIC))
    with pytest.raises(tam.EvaluationError):
        product.evaluate(set={"bike.lights.front_light:light:mode": "blink"}, explain=True)
    plain = product.evaluate()
    assert all(o.provenance is None for n in plain.nodes for o in n.options.values())
    assert product.evaluate(explain=True).node("bike").explanation["state"] == "configured"
