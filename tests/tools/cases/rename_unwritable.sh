# A write that fails (here every file write fails: the file size limit is 0, which binds root as
# well) leaves every original file intact and no temporary file behind.
( ulimit -f 0; "$TAM" rename --write --module light=lamp basic/product.json 2>&1; echo "exit status $?" ) | cat >out.txt
expect_same out.txt "$EXPECTED/rename_unwritable.out"
for file in product.json modules/bike.rix modules/light.rix modules/wheel.rix; do
  expect_same basic/$file "$TEST_DIR/products/basic/$file"
done
leftovers=$(ls -A basic basic/modules | grep -c 'tam-') || true
[ "$leftovers" -eq 0 ] || fail "temporary files left behind"
