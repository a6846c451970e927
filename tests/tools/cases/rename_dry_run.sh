# Renaming a module and three options shows every change, file and line, before and after, warns
# about a mutually exclusive rule naming a renamed option, and writes nothing.
tam rename --option wheel:width=tyre_mm --module light=lamp --option light:mode=pattern \
  --option bike:speed=top_speed basic/product.json
expect_status 0
expect_stdout rename_dry_run.out
expect_no_stderr
for file in product.json modules/bike.rix modules/light.rix modules/wheel.rix; do
  expect_same basic/$file "$TEST_DIR/products/basic/$file"
done
