# What tam refuses to read: every case is one error naming the file, exit status 2, nothing on
# standard output, and an answer at once (a FIFO or a device is never read from).
# refused EXPECTED_ERR ARGS...: tam ARGS fails as unusable input with exactly that error.
refused() {
  expected=$1
  shift
  tam "$@"
  expect_status 2
  expect_no_stdout
  expect_same err.txt "$EXPECTED/$expected"
}

# Files that are no regular files, given as the product.
mkfifo pipe.json
refused input_fifo.err eval pipe.json
refused input_device.err eval /dev/zero
refused input_device_check.err check /dev/null

# A NUL byte in a product file, and in a module file, named by line, column and byte offset.
printf '{\n  "name": "x\000y",\n  "root": {}\n}\n' >nul.json
refused input_nul_product.err eval nul.json
cp -R basic nul_module
printf 'module nul\ninterface start\ninterface end\nset nul:a\000 to 1\n' \
  >nul_module/modules/nul.rix
refused input_nul_module.err eval nul_module/product.json
refused input_nul_module.err check nul_module/modules/nul.rix

# Files one byte over their size limit: the limits stated in the guide are the ones enforced.
head -c 16777217 /dev/zero | tr '\0' ' ' >huge.json
refused input_huge_product.err eval huge.json
cp -R basic huge_module
head -c 8388609 /dev/zero | tr '\0' '\n' >huge_module/modules/huge.rix
refused input_huge_module.err validate huge_module/product.json
guide="$TEST_DIR/../../docs/product-format.md"
grep -q '| size of a product file | 16 MiB (16,777,216 bytes) |' "$guide" ||
  fail "the guide states another product file limit"
grep -q '| size of a module file | 8 MiB (8,388,608 bytes) |' "$guide" ||
  fail "the guide states another module file limit"

# A product file of a few megabytes holding more JSON values than a product may.
awk 'BEGIN { printf "{ \"module_folders\": [\"basic/modules\"],\n  \"description\": [";
             for (i = 0; i < 1000000; ++i) printf "0,"; print "0] }" }' >many.json
refused input_many_values.err eval many.json
grep -q '| 1,000,000 |' "$guide" || fail "the guide states another limit of JSON values"

# In a module folder every *.rix entry is read: one that is a FIFO, a folder or a dangling
# symbolic link is the one error reported, for every command.
cp -R basic odd
mkfifo odd/modules/pipe.rix
refused input_folder_fifo.err eval odd/product.json
refused input_folder_fifo.err check odd/modules
rm odd/modules/pipe.rix
mkdir odd/modules/old.rix
refused input_folder_dir.err rename --module light=lamp odd/product.json
rmdir odd/modules/old.rix
ln -s gone.rix odd/modules/link.rix
refused input_folder_dangling.err check --product odd/product.json
tam eval basic/product.json
expect_status 0
