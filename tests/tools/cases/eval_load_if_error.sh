# A load-if that does not parse is an error in the product file, shown with a caret.
tam eval load_if_error/product.json
expect_status 2
expect_no_stdout
expect_stderr eval_load_if_error.err
