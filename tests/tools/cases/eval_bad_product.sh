# A key the product format does not know, with the line it stands on.
tam eval bad_product/product.json
expect_status 2
expect_no_stdout
expect_stderr eval_bad_product.err

# A host value of the wrong type for its option, at the line of its host value.
tam eval bad_value/product.json
expect_status 2
expect_no_stdout
expect_stderr eval_bad_value.err

# A key given twice in one object.
tam eval duplicate_key/product.json
expect_status 2
expect_stderr eval_duplicate_key.err
