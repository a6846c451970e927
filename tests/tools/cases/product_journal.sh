# Whatever command comes next settles the journal a stopped rename left beside the product, before
# it reads anything, and says so; a journal it cannot read stops it instead, and stays.
JOURNAL=basic/.product.json.tam-journal
# journal STATE METHOD TARGET TEMPORARY...: writes a journal by hand, as a stopped rename leaves it.
journal() {
  state=$1
  shift
  { printf 'tam commit journal 1\ncommand tam rename\nstate %s\n' "$state"
    while [ $# -gt 0 ]; do printf '%s\n%s\n%s\n' "$1" "$PWD/$2" "$PWD/$3"; shift 3; done
    printf 'end\n'; } >$JOURNAL
}
renamed="$(cat basic/modules/light.rix)
# written by the rename"

# Committed: the new content is put in place, however it was to go in; a file whose temporary
# file is gone was put in place already.
printf '%s\n' "$renamed" >basic/modules/.light.rix.tam-new
cp basic/modules/bell.rix basic/modules/.bell.rix.tam-new
journal committed overwrite basic/modules/light.rix basic/modules/.light.rix.tam-new \
  rename basic/modules/bell.rix basic/modules/.bell.rix.tam-new \
  rename basic/modules/wheel.rix basic/modules/.wheel.rix.tam-new
tam validate basic/product.json
expect_status 0
expect_stderr product_journal_finished.err
grep -q '^# written by the rename$' basic/modules/light.rix || fail "light.rix is as it was"
[ -z "$(ls -A basic basic/modules | grep 'tam-')" ] || fail "files left behind"

# Prepared: the temporary files are removed and no file changes.
cp -R "$TEST_DIR/products/basic/." basic/
printf '%s\n' "$renamed" >basic/modules/.light.rix.tam-new
journal prepared rename basic/modules/light.rix basic/modules/.light.rix.tam-new
tam check --product basic/product.json
expect_status 0
expect_stderr product_journal_undone.err
expect_same basic/modules/light.rix "$TEST_DIR/products/basic/modules/light.rix"
[ -z "$(ls -A basic basic/modules | grep 'tam-')" ] || fail "files left behind"

# A journal that is not whole (its last line missing) is left for a person to look at.
journal committed rename basic/modules/light.rix basic/modules/.light.rix.tam-new
sed -i '$d' $JOURNAL
tam eval basic/product.json
expect_status 2
expect_no_stdout
expect_stderr product_journal_broken.err
[ -f $JOURNAL ] || fail "the journal was removed"
