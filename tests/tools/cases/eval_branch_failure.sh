# A rule that fails inside an if chain (here the condition of an elif compares a string with a
# number) is shown at the statement that failed, not at the if that opens the chain, in words that
# name both kinds. The report shows the node as failed.
tam eval branch_failure/product.json
expect_status 1
expect_stdout eval_branch_failure.out
expect_stderr eval_branch_failure.err
