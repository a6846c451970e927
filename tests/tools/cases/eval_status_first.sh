# The status leads the JSON document, before the nodes it depends on: products of many nodes of
# one module, clean or with problems found after the evaluation (a mandatory option left unset,
# an option read where it is not visible, or both), give the status, exit status and problems
# the text output reports, and the same nodes.
/usr/bin/python3 - <<'PY'
import json, os
COUNT = 400  # nodes of one module, one after another
PART = ('module part\ninterface start\n'
        'public size integer "Size" = 0 to 1000 default 1\n'
        'public label string "Label" : mandatory\n'
        'interface end\n')
TOP = 'module top\ninterface start\npublic mode integer default 3\ninterface end\n'
# Reads an option of the module above it, which it cannot see.
READER = ('module reader\ninterface start\npublic seen integer default 0\ninterface end\n'
          'if top:mode > 2 then\n  set reader:seen to top:mode\nendif\n')
VARIANTS = {
    "clean": {"unset": None, "readers": 0, "skip_unset": False},
    "mandatory": {"unset": COUNT - 1, "readers": 0, "skip_unset": False},
    "not_run": {"unset": 7, "readers": 0, "skip_unset": True},
    "scope": {"unset": None, "readers": 30, "skip_unset": False},
    "both": {"unset": 2, "readers": 5, "skip_unset": False},
}
for name, variant in VARIANTS.items():
    os.makedirs(name + "/modules", exist_ok=True)
    for module, text in (("part", PART), ("top", TOP), ("reader", READER)):
        with open("%s/modules/%s.rix" % (name, module), "w") as f:
            f.write(text)
    children = []
    for i in range(COUNT):
        child = {"id": "p%d" % i, "module": "part",
                 "values": [{"option": "part:size", "value": i}]}
        if i != variant["unset"]:
            child["values"].append({"option": "part:label", "value": "L%d" % i})
        elif variant["skip_unset"]:
            child["load_if"] = "false"
        children.append(child)
    children += [{"id": "r%d" % i, "module": "reader"} for i in range(variant["readers"])]
    with open(name + "/product.json", "w") as f:
        json.dump({"module_folders": ["modules"],
                   "root": {"id": "root", "module": "top", "children": children}}, f)
PY

check() {  # check VARIANT STATUS EXIT PROBLEMS
  tam eval "$1/product.json" --json
  expect_status "$3"
  cp out.txt "$1.json"
  tam eval "$1/product.json" --explain
  expect_status "$3"
  cp out.txt "$1.txt"
  cp err.txt "$1.err"
  tam eval "$1/product.json" --json --explain
  expect_status "$3"
  cp out.txt "$1-explained.json"
  /usr/bin/python3 - "$1" "$2" "$4" <<'PY' || fail "$1: the JSON document does not match the text output"
import json, sys
name, status, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
document = json.load(open(name + ".json"))
explained = json.load(open(name + "-explained.json"))
assert document["status"] == explained["status"] == status, (document["status"], status)
problems = [p["message"] for p in document["problems"]]
assert problems == [p["message"] for p in explained["problems"]]
errors = open(name + ".err").read()
places = [errors.find(problem) for problem in problems]
assert -1 not in places and places == sorted(places), (problems, errors)
assert len(problems) == count, problems
blocks = open(name + ".txt").read().split("\n\n")[1:-1]
assert len(blocks) == len(document["nodes"]) == len(explained["nodes"])
for block, node, full in zip(blocks, document["nodes"], explained["nodes"]):
    assert block.startswith(node["path"] + ": " + node["state"].replace("_", " ")), block
    assert [o["option"] for o in node["options"]] == [o["option"] for o in full["options"]]
    for option, line in zip(full["options"], block.split("\n")[1:]):
        value = option["values"][0]
        assert line.startswith("  " + option["option"] + " = "), (line, option["option"])
        assert "origin" in value and " (" + value["how"] in line, (line, value)
PY
}

check clean ok 0 0
check mandatory errors 1 1
check not_run ok 0 0
check scope errors 1 1
check both errors 1 2
grep -q "is not visible at node 'root.r0', .* (and at 29 other nodes)" scope.err \
  || fail "the scope finding does not name its first node and count the others"
grep -q "mandatory option 'part:label' has no value at node 'root.p2'" both.err \
  || fail "the mandatory option left unset is not reported"
