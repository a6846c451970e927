# Subjects that name nothing in the product: an error naming the closest known name, exit status
# 2, and nothing on standard output.
tam explain explain/product.json kart.engin:engine:power
expect_status 2
expect_no_stdout
expect_stderr explain_unknown_node.err

tam explain explain/product.json kart.engine:engin:power
expect_status 2
expect_no_stdout
expect_stderr explain_unknown_module.err

tam explain explain/product.json kart.engine:engine:powr
expect_status 2
expect_no_stdout
expect_stderr explain_unknown_option.err

tam explain explain/product.json kart.engine:engine:
expect_status 2
expect_no_stdout
expect_stderr explain_malformed.err

tam explain explain/product.json
expect_status 2
expect_no_stdout
expect_stderr explain_no_subject.err
