# A product without findings; its reference to a legacy option is shown as a note.
tam validate basic/product.json
expect_status 0
expect_stdout validate_clean.out
expect_no_stderr
