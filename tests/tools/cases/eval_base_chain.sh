# A chain of presented options one link longer than the library follows is reported in the
# library's own words (too long, not looping), at the module file and the node; the node that
# failed is listed as such.
tam eval base_chain/product.json
expect_status 1
expect_stdout eval_base_chain.out
expect_stderr eval_base_chain.err
