# A rule that raises during evaluation (two values of a mutually exclusive value rule) is reported
# at the rule's line in its module file, with notes where the two values came from (here a rule
# and the command line) and the node being evaluated. Everything evaluated before it is shown.
tam eval --set bike.lights.rear_light:light:extras=dynamo basic/product.json
expect_status 1
expect_stdout eval_rule_failure.out
expect_stderr eval_rule_failure.err
