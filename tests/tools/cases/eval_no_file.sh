# A product file that does not exist, and one that is a folder.
tam eval nothing/product.json
expect_status 2
expect_no_stdout
expect_stderr eval_no_file.err

tam eval basic
expect_status 2
expect_stderr eval_folder.err
