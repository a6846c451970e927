# Two module files declaring one id: both files are named.
tam eval duplicate_id/product.json
expect_status 2
expect_no_stdout
expect_stderr eval_duplicate_id.err
