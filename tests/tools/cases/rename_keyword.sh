# Before a rename writes anything, the product is loaded and evaluated again from the new texts; a
# rename after which it would not is refused with the problem, placed in the text as it would read.
unchanged() {
  for file in product.json modules/bike.rix modules/light.rix modules/wheel.rix; do
    expect_same basic/$file "$TEST_DIR/products/basic/$file"
  done
}
# A name the product file cannot hold (it is not UTF-8) would leave a host value naming no option.
tam rename --write --option "wheel:width=$(printf 'w\351')" basic/product.json
expect_status 1
expect_stderr rename_unusable_name.err
unchanged
# A product that does not load as it is is not renamed: the problem is not the rename's.
printf 'module broken\ninterface start\npublic x uses bike:nothing\ninterface end\n' \
  >basic/modules/broken.rix
tam rename --option wheel:width=tyre_mm basic/product.json
expect_status 1
expect_stderr rename_broken_product.err
unchanged
rm basic/modules/broken.rix

# A new name spelled like a keyword is quoted wherever RIX names it (declaration, references in
# rules, declarations and load-ifs), and written plainly where the product file names it; the
# renamed product evaluates as before under the new names.
tam rename --option wheel:width=if --option bike:speed=set basic/product.json
expect_status 0
expect_stdout rename_keyword.out
expect_no_stderr
unchanged
tam rename --write --option wheel:width=if --option bike:speed=set basic/product.json
expect_status 0
tam eval basic/product.json
expect_status 0
expect_no_stderr
sed -e 's/^  bike:set = /  bike:speed = /' -e 's/^  wheel:if = /  wheel:width = /' out.txt >same.txt
expect_same same.txt "$EXPECTED/eval_text.out"
