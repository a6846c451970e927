# Variants from a CSV file and from a JSON Lines file, one record per variant in order. A value
# the option does not allow, a rule that fails, a value of the wrong type and a row that cannot be
# read are recorded as failed, and the sweep goes on; the exit status tells that some failed.
# The summary on standard error has its time and rate replaced, as they vary from run to run.
summary() {
  sed -E 's/in [0-9.]+ s \([0-9.]+ variants\/s/in TIME s (RATE variants\/s/' err.txt >summary.txt
}

tam sweep basic/product.json sweep/variants.csv --jobs 1 \
  --select bike:bike:speed --select bike.lights.front_light:light:extras
expect_status 1
expect_stdout sweep_csv.out
summary
expect_same summary.txt "$EXPECTED/sweep_csv.err"

# Three worker processes give the same records in the same order, here written to a file.
tam sweep basic/product.json sweep/variants.csv --jobs 3 --output records.jsonl \
  --select bike:bike:speed --select bike.lights.front_light:light:extras
expect_status 1
expect_no_stdout
expect_same records.jsonl "$EXPECTED/sweep_csv.out"

tam sweep basic/product.json sweep/variants.jsonl --jobs 2 --select bike.rear:wheel:width
expect_status 1
expect_stdout sweep_jsonl.out

# Variants read from standard input need their format named.
"$TAM" sweep basic/product.json - --format jsonl --jobs 1 --select bike.rear:wheel:width \
  <sweep/variants.jsonl >out.txt 2>err.txt
status=$?
expect_status 1
expect_stdout sweep_jsonl_stdin.out

# Records written to a pipe (or a device such as /dev/null) go to it directly; it stays what it is.
mkfifo records.fifo
cat records.fifo >from_pipe.txt &
reader=$!
tam sweep basic/product.json sweep/variants.csv --jobs 2 --output records.fifo \
  --select bike:bike:speed --select bike.lights.front_light:light:extras
wait $reader
expect_status 1
[ -p records.fifo ] || fail "records.fifo is no longer a pipe"
expect_same from_pipe.txt "$EXPECTED/sweep_csv.out"
