# Sweeps that cannot start: each is refused with exit status 2 and a message naming what is
# wrong, before anything is evaluated.
try() {
  expected=$1
  shift
  tam sweep "$@"
  expect_status 2
  expect_no_stdout
  expect_stderr "$expected"
}

try sweep_nothing.err basic/product.json
try sweep_both.err basic/product.json sweep/variants.csv --vary bike:bike:speed
try sweep_seed_alone.err basic/product.json --vary bike:bike:speed --seed 3
try sweep_sample_alone.err basic/product.json sweep/variants.csv --sample 3
try sweep_bad_header.err basic/product.json sweep/bad_header.csv
try sweep_unknown_column.err basic/product.json sweep/unknown_node.csv
try sweep_no_file.err basic/product.json sweep/nowhere.csv
try sweep_unknown_format.err basic/product.json sweep/variants.txt
try sweep_stdin_format.err basic/product.json -
try sweep_bad_vary.err basic/product.json --vary bike:speed=20
try sweep_bad_value.err basic/product.json --vary bike:bike:speed=fast
try sweep_open_range.err basic/product.json --vary bike.front:wheel:pressure
try sweep_legacy.err basic/product.json --vary bike:bike:frame_number
try sweep_twice.err basic/product.json --vary bike:bike:style --vary bike:bike:style=city
try sweep_no_module.err basic/product.json --vary bike.lights:light:mode
try sweep_bad_select.err basic/product.json --vary bike:bike:style --select bike.front:bike:speed
try sweep_unknown_select.err basic/product.json --vary bike:bike:style --select bike:bike:nope
try sweep_bad_product.err bad_product/product.json --vary bike:bike:style
