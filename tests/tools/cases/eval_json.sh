# The same evaluation as one JSON document, keys in their documented order.
tam eval --json basic/product.json
expect_status 0
expect_stdout eval_json.out
expect_no_stderr
