#!/usr/bin/env bash
# How long `tam check` takes over module files of growing size, and over one file with many
# mistakes: the checks must stay linear in the size of the input and in the number of problems.
#   bash bench/check_bench.sh TAM [RUNS]
# For each case it writes the input into a scratch folder, runs `tam check` RUNS times (default 5)
# and prints the fastest wall-clock time and the peak memory of that run. The machine may be
# shared: compare the figures of one run with each other, not with figures of another day.
set -euo pipefail
tam=${1:?usage: check_bench.sh TAM [RUNS]}
runs=${2:-5}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A module of about BYTES bytes: 2,000 integer options and if/else rules over them.
module_of_size() {
  awk -v size="$1" 'BEGIN {
    print "module big"; print "interface start"
    for (i = 0; i < 2000; i++)
      printf "public o%d integer \"Option %d\" = 0 to 1000 default %d\n", i, i, i % 1000
    print "public s string = \"a\", \"b\", \"c\" default \"a\""
    print "interface end"
    for (i = 0; total < size; i++) {
      a = i % 2000; b = (i * 7 + 3) % 2000
      line = sprintf("if big:o%d > %d and big:s = \"b\" then\n  set big:o%d to big:o%d + 1\nelse\n  fix big:o%d to %d\nendif\n", a, i % 900, b, a, b, i % 1000)
      printf "%s", line; total += length(line)
    }
  }'
}

# COUNT references to misspelt options among as many options.
module_of_mistakes() {
  awk -v count="$1" 'BEGIN {
    print "module many"; print "interface start"
    for (i = 0; i < count; i++) printf "public option_%d integer = 1 to 5\n", i
    print "interface end"
    for (i = 0; i < count; i++) printf "set many:optoin_%d to 3\n", i
  }'
}

measure() {
  local name=$1 folder=$2 best="" memory=""
  for ((run = 0; run < runs; run++)); do
    local figures
    # tam exits with 1 when it reports problems; only the figures matter here.
    figures=$({ /usr/bin/time -f "%e %M" "$tam" check "$folder" >/dev/null || true; } 2>&1 |
      tail -1)
    local seconds=${figures% *}
    if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$seconds
      memory=${figures#* }
    fi
  done
  printf '%-32s %8s s %10s KB\n' "$name" "$best" "$memory"
}

for size in 100000 1000000 10000000; do
  mkdir -p "$scratch/size$size"
  module_of_size "$size" >"$scratch/size$size/big.rix"
  measure "module of $size bytes" "$scratch/size$size"
done
for count in 1000 10000; do
  mkdir -p "$scratch/mistakes$count"
  module_of_mistakes "$count" >"$scratch/mistakes$count/many.rix"
  measure "$count mistakes, $count options" "$scratch/mistakes$count"
done
