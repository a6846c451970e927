# A product of many nodes, far more output than one write holds: the text output shows every node
# in the tree's order with the same states and values as the JSON document, and the problems
# found after the evaluation (mandatory options left unset) in the order of the nodes.
/usr/bin/python3 - <<'PY'
import json, os
COUNT = 3000  # nodes below the root; their text is several times the command's write buffer
os.makedirs("many/modules", exist_ok=True)
with open("many/modules/part.rix", "w") as f:
    f.write('module part\ninterface start\n'
            'public size integer "Size" = 0 to 100000 default 1\n'
            'public label string "Label" : mandatory\n'
            'public big logical default false\n'
            'interface end\n'
            'if part:size > 1500 then\n  set part:big to true\nendif\n')
children = []
for i in range(COUNT):
    child = {"id": "n%d" % i, "module": "part",
             "values": [{"option": "part:size", "value": i}]}
    if i % 700 != 13:  # a few nodes leave the mandatory label unset
        child["values"].append({"option": "part:label", "value": "L%d" % i})
    if i % 9 == 4:
        child["load_if"] = "false"
    children.append(child)
with open("many/product.json", "w") as f:
    json.dump({"module_folders": ["modules"], "root": {"id": "top", "children": children}}, f)
PY

tam eval many/product.json --json
expect_status 1
cp out.txt many.json
cp err.txt json-err.txt
tam eval many/product.json
expect_status 1
/usr/bin/python3 - out.txt many.json err.txt <<'PY' || fail "the text output does not match the JSON document"
import json, re, sys
text = open(sys.argv[1]).read()
document = json.load(open(sys.argv[2]))
blocks = text.split("\n\n")[1:-1]  # between the product line and the summary
nodes = document["nodes"]
assert len(blocks) == len(nodes) == 3001, (len(blocks), len(nodes))
for block, node in zip(blocks, nodes):
    lines = block.split("\n")
    head = node["path"] + ": " + node["state"].replace("_", " ")
    assert lines[0].startswith(head + ","), (lines[0], head)
    shown = [line.split(" = ")[1].split(" (")[0] for line in lines[1:]]
    values = [json.dumps(o["values"][0]["value"]).replace("null", "unset")
              for o in node.get("options", [])]
    assert shown == values, (node["path"], shown, values)
summary = document["summary"]
assert ("3001 nodes: %d configured, %d not configured" %
        (summary["configured"], summary["not_configured"])) in text
unset = [p["message"] for p in document["problems"]]
shown = re.findall(r"error: (mandatory option .*)", open(sys.argv[3]).read())
assert unset == shown and len(shown) == 4, (unset, shown)
PY
