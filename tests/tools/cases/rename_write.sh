# --write rewrites the module files and the product file in place; the renamed product evaluates
# to the same result under the new names, and no temporary file is left behind.
tam rename --write --option wheel:width=tyre_mm --module light=lamp basic/product.json
expect_status 0
expect_stdout rename_write.out
expect_no_stderr
expect_same basic/modules/light.rix "$EXPECTED/rename_write_light.rix"
expect_same basic/modules/wheel.rix "$EXPECTED/rename_write_wheel.rix"
expect_same basic/product.json "$EXPECTED/rename_write_product.json"
leftovers=$(ls -A basic basic/modules | grep -c 'tam-') || true
[ "$leftovers" -eq 0 ] || fail "temporary files left behind"

tam eval basic/product.json
expect_status 0
expect_stdout rename_write_eval.out
