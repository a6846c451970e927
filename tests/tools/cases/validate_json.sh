# The findings of validate_findings as one JSON document, in the order the text shows them, and
# the error limit counting what it leaves out.
tam validate --json validate_findings/product.json
expect_status 1
expect_stdout validate_json.out
expect_no_stderr
tam validate --json --error-limit 1 validate_findings/product.json
expect_status 1
expect_stdout validate_json_limited.out
expect_no_stderr
