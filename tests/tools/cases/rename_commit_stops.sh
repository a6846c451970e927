# A rename's commit stopped at each of its steps in turn by the test hook: first killed there as a
# kill from outside would kill it (SIGKILL), then sent SIGTERM there. After the next tam command
# on the product, every file holds the old product or every file the new one, never a mix, and no
# temporary file, journal or lock file is left. One module file has a second hard link, which must
# survive the commit at every step; it lives beside the product, outside the module folder.
RENAME="rename --write --module light=lamp --option wheel:width=tyre_mm work/product.json"

# fresh: a copy of the original product in work/, with the hard link.
fresh() {
  rm -rf work
  cp -R basic work
  ln work/modules/light.rix work/light-link.rix
}
# outcome: "old" or "new" when work/ holds exactly that product, with no other file.
outcome() {
  if diff -r work old >/dev/null; then
    echo old
  elif diff -r work new >/dev/null; then
    echo new
  else
    diff -r work old
    diff -r work new
    echo mixed
  fi
  [ "$(stat -c %h work/modules/light.rix)" -eq 2 ] || echo "the hard link was split"
}

fresh
cp -R work old
"$TAM" $RENAME >/dev/null
cp -R work new
[ "$(outcome)" = new ] || fail "the rename itself did not give the new product"

: >steps.txt
step=1
while [ "$step" -lt 50 ]; do
  fresh
  TAM_TEST_COMMIT_STOP=$step "$TAM" $RENAME >/dev/null 2>stop.txt
  stopped=$?
  tam eval work/product.json
  [ "$status" -eq 0 ] || fail "tam eval after step $step: exit status $status"
  if [ "$stopped" -eq 0 ]; then
    echo "after the last step: $(outcome)" >>steps.txt
    break
  fi
  {
    grep '^tam: ' stop.txt | sed 's/^tam: //'
    sed 's/^/  then /' err.txt
    echo "  leaving the $(outcome) product"
  } >>steps.txt
  step=$((step + 1))
done
expect_same steps.txt "$EXPECTED/rename_commit_kills.out"

# A SIGTERM before the moment of the commit undoes it at once; after it, the commit finishes.
: >steps.txt
step=1
while [ "$step" -lt 50 ]; do
  fresh
  TAM_TEST_COMMIT_STOP=$step:TERM "$TAM" $RENAME >/dev/null 2>stop.txt
  stopped=$?
  echo "step $step: exit status $stopped, $(outcome) product" >>steps.txt
  grep '^tam: ' stop.txt | sed -e '/^tam: test stop/d' -e 's/^/  /' >>steps.txt
  tam eval work/product.json
  expect_no_stderr
  if ! grep -q "test stop" stop.txt; then break; fi
  step=$((step + 1))
done
expect_same steps.txt "$EXPECTED/rename_commit_terms.out"
