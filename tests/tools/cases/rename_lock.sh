# Two writers never work on one product at once. The lock is held here with flock(1) on tam's lock
# file, standing for another tam; FIFOs order the steps, so that nothing depends on timing.
LOCK=basic/.product.json.tam-lock

# A writer that may not wait gives up at once, says why, and changes nothing.
flock $LOCK "$TAM" rename --write --wait 0 --module light=lamp basic/product.json >out.txt 2>err.txt
status=$?
expect_status 1
expect_stderr rename_lock_busy.err
expect_same basic/modules/light.rix "$TEST_DIR/products/basic/modules/light.rix"
# Readers share the lock.
flock --shared $LOCK "$TAM" eval basic/product.json >out.txt 2>err.txt
status=$?
expect_status 0
expect_stdout eval_text.out

# A writer that finds the product locked says that it waits, and renames once the lock is free.
mkfifo held go errors
flock $LOCK sh -c 'echo held >held; read line <go' &
read line <held
{ read first; echo "$first" >first.txt; echo go >go; cat >rest.txt; } <errors &
"$TAM" rename --write --module light=lamp basic/product.json >out.txt 2>errors
status=$?
wait
expect_status 0
expect_same first.txt "$EXPECTED/rename_lock_wait.err"
[ ! -s rest.txt ] || fail "unexpected standard error: $(cat rest.txt)"
grep -q '^module lamp$' basic/modules/light.rix || fail "the waiting writer did not rename"

# Two renames started together run one after the other: whichever goes first, both are done and
# the product evaluates, with no file left behind.
rm -rf basic && cp -R "$TEST_DIR/products/basic" basic && cp -R basic both
"$TAM" rename --write --module light=lamp both/product.json >/dev/null
"$TAM" rename --write --option wheel:width=tyre_mm both/product.json >/dev/null
for round in 1 2 3; do
  rm -rf work && cp -R basic work
  "$TAM" rename --write --module light=lamp work/product.json >first.txt 2>&1 &
  "$TAM" rename --write --option wheel:width=tyre_mm work/product.json >second.txt 2>&1 &
  wait
  diff -r work both >/dev/null || fail "round $round: the product is not both renames"
  tam eval work/product.json
  expect_status 0
done
