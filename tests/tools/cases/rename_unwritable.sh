# A write that fails leaves every original file intact and no temporary file or journal behind:
# first when nothing can be written at all (the file size limit is 0, which binds root as well),
# so that the journal itself fails; then when the journal is written but a new content cannot be,
# because something else already stands where its temporary file goes.
originals_intact() {
  for file in product.json modules/bike.rix modules/light.rix modules/wheel.rix; do
    expect_same basic/$file "$TEST_DIR/products/basic/$file"
  done
}
( ulimit -f 0; "$TAM" rename --write --module light=lamp basic/product.json 2>&1
  echo "exit status $?" ) | cat >out.txt
expect_same out.txt "$EXPECTED/rename_unwritable.out"
originals_intact
leftovers=$(ls -A basic basic/modules | grep -c 'tam-') || true
[ "$leftovers" -eq 0 ] || fail "temporary files left behind"

mkdir basic/modules/.light.rix.tam-new
tam rename --write --module light=lamp basic/product.json
expect_status 1
expect_stderr rename_temporary_taken.err
originals_intact
[ "$(ls -A basic basic/modules | grep 'tam-')" = ".light.rix.tam-new" ] || fail "files left behind"
