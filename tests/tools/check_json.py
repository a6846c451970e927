"""Checks JSON documents that tam printed against the schema their format names.

    /usr/bin/python3 check_json.py SCHEMA_DIR FILE...

Each FILE holds one JSON document, or JSON Lines (one document per line). Every document must be
an object whose first member is "format": {"name": NAME, "version": N}, and must be valid under
SCHEMA_DIR/NAME.schema.json (JSON Schema draft 2020-12 or draft-07, whichever the schema
declares). Prints one line per problem and exits with 1 when there is any, 2 when the checker
itself cannot run. A file that is not JSON at all is a problem too: callers pass only output that
should be JSON.
"""

import json
import os
import sys

try:
    import jsonschema
except ImportError:
    print("check_json: the Debian package python3-jsonschema is missing "
          "(bash scripts/install-deps.sh installs it)")
    sys.exit(2)


def documents(text):
    """The documents of a file: one whole document, or one per non-empty line."""
    try:
        return [json.loads(text)]
    except json.JSONDecodeError:
        pass
    found = []
    for number, line in enumerate(text.splitlines(), 1):
        if line.strip():
            try:
                found.append(json.loads(line))
            except json.JSONDecodeError as error:
                raise ValueError("line %d is not JSON: %s" % (number, error))
    if not found:
        raise ValueError("no JSON document")
    return found


def load_schema(schema_dir, name, cache):
    if name not in cache:
        path = os.path.join(schema_dir, name + ".schema.json")
        if not os.path.isfile(path):
            raise ValueError("no schema for format %r (expected %s)" % (name, path))
        with open(path, encoding="utf-8") as handle:
            schema = json.load(handle)
        validator_class = jsonschema.validators.validator_for(schema)
        validator_class.check_schema(schema)
        # Schemas refer to each other by file name, relative to their folder.
        base = "file://" + os.path.abspath(path)
        resolver = jsonschema.RefResolver(base_uri=base, referrer=schema)
        cache[name] = validator_class(schema, resolver=resolver)
    return cache[name]


def problems_of(document, schema_dir, cache):
    if not isinstance(document, dict) or not document:
        return ["not a JSON object"]
    if next(iter(document)) != "format":
        return ['"format" is not the first member']
    form = document["format"]
    if not isinstance(form, dict) or not isinstance(form.get("name"), str) \
            or not isinstance(form.get("version"), int):
        return ['"format" must be {"name": text, "version": integer}']
    validator = load_schema(schema_dir, form["name"], cache)
    return ["%s: %s" % ("/".join(str(part) for part in error.absolute_path) or "(document)",
                        error.message)
            for error in sorted(validator.iter_errors(document), key=str)]


def main(arguments):
    if len(arguments) < 2:
        print(__doc__.strip())
        return 2
    schema_dir = arguments[0]
    cache = {}
    failures = 0
    for path in arguments[1:]:
        with open(path, encoding="utf-8", errors="replace") as handle:
            text = handle.read()
        try:
            for document in documents(text):
                for problem in problems_of(document, schema_dir, cache):
                    print("%s: %s" % (path, problem))
                    failures += 1
        except ValueError as error:
            print("%s: %s" % (path, error))
            failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
