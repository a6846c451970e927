# A module file with a syntax error in its rules, loaded during evaluation: reported at its
# line and column with the source line and a caret.
tam eval syntax_error/product.json
expect_status 1
expect_no_stdout
expect_stderr eval_syntax_error.err
