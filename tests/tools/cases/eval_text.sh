# Text output of a product using presents with paths, uses, host values of each kind, load-ifs
# that are true, false and undecided, a forced state, legacy values and messages.
tam eval basic/product.json
expect_status 0
expect_stdout eval_text.out
expect_no_stderr
