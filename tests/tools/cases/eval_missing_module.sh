# A node whose module no file declares.
tam eval missing_module/product.json
expect_status 2
expect_no_stdout
expect_stderr eval_missing_module.err
