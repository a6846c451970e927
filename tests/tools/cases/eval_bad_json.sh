# A product file that is not valid JSON: the message names the file, line and column.
tam eval bad_json/product.json
expect_status 2
expect_no_stdout
expect_stderr eval_bad_json.err
