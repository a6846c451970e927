# Host values from the command line are typed by their option; every mistake is refused with
# exit status 2 before anything is evaluated.
tam eval --set bike:bike:speed=fast basic/product.json
expect_status 2
expect_no_stdout
expect_stderr eval_set_wrong_type.err

tam eval --set bike:bike:speed=50 basic/product.json
expect_status 2
expect_stderr eval_set_not_allowed.err

tam eval --set bike:bike:bell_wanted=yes basic/product.json
expect_status 2
expect_stderr eval_set_not_logical.err

tam eval --set bike:bike:speed basic/product.json
expect_status 2
expect_stderr eval_set_malformed.err

tam eval --set bike.nowhere:bike:speed=20 basic/product.json
expect_status 2
expect_stderr eval_set_unknown_node.err

tam eval --set bike.front:bike:speed=20 basic/product.json
expect_status 2
expect_stderr eval_set_other_module.err

tam eval --set bike:bike:nothing=20 basic/product.json
expect_status 2
expect_stderr eval_set_unknown_option.err
