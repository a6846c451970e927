# A rename keeps what the files were besides their content: permissions, owner and group (another
# user's file when the tests run as root), a symbolic link standing for the product file; and it
# replaces a read-only file only when forced, keeping it read-only.
attributes() { stat -L -c '%a %u %g' "$1"; }

chmod 640 basic/modules/wheel.rix
if [ "$(id -u)" -eq 0 ]; then chown 65534:65534 basic/modules/bike.rix; fi
mv basic/product.json basic/real.json
ln -s real.json basic/product.json
wheel=$(attributes basic/modules/wheel.rix)
bike=$(attributes basic/modules/bike.rix)
product=$(attributes basic/real.json)

chmod 444 basic/modules/light.rix
tam rename --write --option wheel:width=tyre_mm --module light=lamp basic/product.json
expect_status 1
expect_stderr rename_read_only.err
expect_same basic/modules/light.rix "$TEST_DIR/products/basic/modules/light.rix"
expect_same basic/modules/wheel.rix "$TEST_DIR/products/basic/modules/wheel.rix"
expect_same basic/real.json "$TEST_DIR/products/basic/product.json"

tam rename --write --force --option wheel:width=tyre_mm --module light=lamp basic/product.json
expect_status 0
expect_no_stderr
expect_same basic/modules/light.rix "$EXPECTED/rename_write_light.rix"
expect_same basic/modules/wheel.rix "$EXPECTED/rename_write_wheel.rix"
expect_same basic/real.json "$EXPECTED/rename_write_product.json"
[ "$(stat -c %a basic/modules/light.rix)" = 444 ] || fail "light.rix is no longer read-only"
[ "$(attributes basic/modules/wheel.rix)" = "$wheel" ] || fail "wheel.rix changed its permissions"
[ "$(attributes basic/modules/bike.rix)" = "$bike" ] || fail "bike.rix changed its owner"
[ "$(attributes basic/real.json)" = "$product" ] || fail "the product file changed its attributes"
[ -L basic/product.json ] || fail "the product file is no longer a symbolic link"
[ -z "$(ls -A basic basic/modules | grep 'tam-')" ] || fail "files left behind"

# As a user who may not give a new file another owner: a file others may write is written in
# place, which keeps its owner; a file that user can neither write nor re-create with its owner is
# refused, even when forced. (Only when the tests run as root, which can switch users.)
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$TAM" "$@"; }
  rm -rf shared && cp -R "$TEST_DIR/products/basic" shared
  chmod 777 shared shared/modules
  chmod 666 shared/product.json shared/modules/*.rix
  as_nobody rename --write --module light=lamp shared/product.json >out.txt 2>err.txt
  status=$?
  expect_status 0
  expect_no_stderr
  [ "$(stat -c %U shared/modules/light.rix)" = root ] || fail "light.rix changed its owner"
  grep -q '^module lamp$' shared/modules/light.rix || fail "light.rix was not renamed"
  chmod 644 shared/modules/wheel.rix
  as_nobody rename --write --force --option wheel:width=tyre_mm shared/product.json \
    >out.txt 2>err.txt
  status=$?
  expect_status 1
  expect_stderr rename_foreign_owner.err
  expect_same shared/modules/wheel.rix "$TEST_DIR/products/basic/modules/wheel.rix"
  [ -z "$(ls -A shared shared/modules | grep 'tam-')" ] || fail "files left behind"
fi
