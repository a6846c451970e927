# With the product file, check knows the legacy options the rules read; a file given twice is
# checked once.
tam check --product basic/product.json basic/modules basic/modules/bike.rix
expect_status 0
expect_stdout check_clean.out
expect_no_stderr

tam check --product basic/product.json
expect_status 0
expect_stdout check_clean.out
