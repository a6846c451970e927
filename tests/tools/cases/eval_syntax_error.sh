# A module file with a syntax error in its rules, loaded during evaluation: reported at its
# line and column with the source line and a caret; the node that needed it failed, and the nodes
# after it were not evaluated.
tam eval syntax_error/product.json
expect_status 1
expect_stdout eval_syntax_error.out
expect_stderr eval_syntax_error.err
