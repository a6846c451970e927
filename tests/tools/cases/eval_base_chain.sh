# A chain of presented options one link longer than the library follows is reported in the
# library's own words (too long, not looping), at the module file and the node.
tam eval base_chain/product.json
expect_status 1
expect_no_stdout
expect_stderr eval_base_chain.err
