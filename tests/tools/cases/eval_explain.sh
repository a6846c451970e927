# eval --explain adds to every value where it came from, in text and in JSON. Messages carry the
# line of the statement that emitted them, also when two statements emit the same text.
tam eval --explain explain/product.json
expect_status 0
expect_stdout eval_explain.out
expect_no_stderr

tam eval --explain --json explain/product.json
expect_status 0
expect_stdout eval_explain_json.out
expect_no_stderr

tam eval --explain basic/product.json
expect_status 0
expect_stdout eval_explain_basic.out
expect_no_stderr
