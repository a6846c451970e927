# Generated variants: every combination of the values of the --vary options (listed, or the
# option's own: listed values, logicals, integer ranges), the first varied option varying slowest; and
# random draws with --sample, the same for the same seed.
tam sweep basic/product.json --vary bike:bike:style --vary bike.rear:wheel:width=30,45 \
  --vary bike:bike:bell_wanted --select bike.rear:wheel:width --jobs 2
expect_status 0
expect_stdout sweep_factorial.out

tam sweep basic/product.json --vary bike:bike:speed --vary bike.front:wheel:pressure \
  --vary bike.lights.front_light:light:lumen --sample 6 --seed 42 --jobs 1 \
  --select bike.front:wheel:pressure
expect_status 0
expect_stdout sweep_sample.out
cp out.txt first.txt

tam sweep basic/product.json --vary bike:bike:speed --vary bike.front:wheel:pressure \
  --vary bike.lights.front_light:light:lumen --sample 6 --seed 42 --jobs 3 \
  --select bike.front:wheel:pressure
expect_same out.txt first.txt

tam sweep basic/product.json --vary bike:bike:speed --vary bike.front:wheel:pressure \
  --vary bike.lights.front_light:light:lumen --sample 6 --seed 43 --jobs 1 \
  --select bike.front:wheel:pressure
cmp -s out.txt first.txt && fail "another seed drew the same variants"
