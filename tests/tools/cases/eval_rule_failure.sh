# A rule that raises during evaluation (two values of a mutually exclusive value rule) is reported
# at the rule's line in its module file, with the node being evaluated.
tam eval --set bike.lights.rear_light:light:extras=dynamo basic/product.json
expect_status 1
expect_no_stdout
expect_stderr eval_rule_failure.err
