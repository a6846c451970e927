# Renames that cannot be done are refused with exit status 2 and change nothing.
tam rename basic/product.json
expect_status 2
expect_stderr rename_no_mapping.err

tam rename --option wheel:height=tall basic/product.json
expect_status 2
expect_stderr rename_unknown_option.err

tam rename --module light=wheel basic/product.json
expect_status 2
expect_stderr rename_taken.err

tam rename --module light basic/product.json
expect_status 2
expect_stderr rename_malformed.err
for file in product.json modules/bike.rix modules/light.rix modules/wheel.rix; do
  expect_same basic/$file "$TEST_DIR/products/basic/$file"
done
