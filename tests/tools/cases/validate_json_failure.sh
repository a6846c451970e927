# A validation that cannot run is still one document: a missing product file, a bad command line.
tam validate --json missing/product.json
expect_status 2
expect_stdout validate_json_missing.out
expect_no_stderr
tam validate --json --error-limit many basic/product.json
expect_status 2
expect_stdout validate_json_usage.out
expect_no_stderr
