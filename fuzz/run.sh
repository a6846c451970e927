#!/usr/bin/env bash
# Runs every fuzz target in turn with libFuzzer (clang, AddressSanitizer, UBSan) and grows the
# corpora with the inputs that reach new code.
#   fuzz/run.sh SECONDS [TARGET...]     # each target SECONDS long; all targets when none is named
# On a shared machine run it as `nice -n 19 fuzz/run.sh 1800`. Builds into build-fuzz/ when
# needed. For each target it prints one line that can be quoted:
#   evaluation: 1234567 executions in 1800 s, 350 new inputs, 41 adding coverage, 20 kept in the
#   corpus, 0 findings
# A finding (crash, leak, timeout, out of memory) is copied to fuzz/findings/TARGET/ and named in
# the line; the script then exits 1. Kept inputs land in fuzz/corpus/TARGET/found-<sha1>, which
# the replay tests in CTest run from then on.
set -uo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: fuzz/run.sh SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift
all_targets=(lexer rules declaration module_text evaluation translation validator path)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

build=${BUILD_DIR:-build-fuzz}
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAM_FUZZ_ENGINE=libfuzzer -DTAM_BUILD_TESTS=OFF -DTAM_BUILD_TOOLS=OFF -DTAM_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined" \
    >/dev/null || exit 2
fi
for target in "${targets[@]}"; do
  cmake --build "$build" --target "fuzz_$target" -j 2 >/dev/null || { echo "cannot build fuzz_$target" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
summary=()
found_any=0
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1
for target in "${targets[@]}"; do
  corpus=fuzz/corpus/$target
  fresh=$work/$target/new
  artifacts=$work/$target/artifacts
  mkdir -p "$fresh" "$artifacts" "$corpus"
  log=$work/$target/log
  echo "== $target ($seconds s)"
  start=$(date +%s)
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -dict=fuzz/rix.dict -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$fresh" "$corpus" >"$log" 2>&1
  took=$(( $(date +%s) - start ))
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  # A run stopped by a finding may print no final statistics: its last status line counts.
  [ -n "$executions" ] || executions=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$log" | tail -1)
  added=$(sed -n 's/^stat::new_units_added: *//p' "$log" | tail -1)

  # Of the new inputs, those that still add coverage to the corpus are candidates; the smallest
  # TAM_FUZZ_KEEP of them (default 20) are kept, so that the corpus, which every test run replays,
  # grows by a bounded amount per run.
  staging=$work/$target/staging
  mkdir -p "$staging"
  cp "$corpus"/* "$staging"/ 2>/dev/null
  "$build/fuzz/fuzz_$target" -merge=1 -max_len=4096 -timeout=10 "$staging" "$fresh" \
    >"$work/$target/merge.log" 2>&1
  candidates=0
  kept=0
  while read -r size file; do
    name=$(basename "$file")
    [ -e "$corpus/found-$name" ] && continue
    candidates=$((candidates + 1))
    if [ "$kept" -lt "${TAM_FUZZ_KEEP:-20}" ]; then
      cp "$file" "$corpus/found-$name"
      kept=$((kept + 1))
    fi
  done < <(find "$staging" -maxdepth 1 -type f -regextype posix-extended \
             -regex '.*/[0-9a-f]{40}' -printf '%s %p\n' | sort -n)

  findings=()
  for artifact in "$artifacts"/*; do
    [ -e "$artifact" ] || continue
    mkdir -p "fuzz/findings/$target"
    cp "$artifact" "fuzz/findings/$target/"
    findings+=("fuzz/findings/$target/$(basename "$artifact")")
  done
  line="$target: ${executions:-?} executions in $took s, ${added:-0} new inputs, $candidates adding coverage, $kept kept in the corpus, ${#findings[@]} findings"
  if [ ${#findings[@]} -gt 0 ]; then
    found_any=1
    line+=" (${findings[*]})"
    grep -m1 -E 'ERROR|SUMMARY|runtime error' "$log" | sed 's/^/  /'
  fi
  echo "$line"
  summary+=("$line")
done

echo "== summary"
printf '%s\n' "${summary[@]}"
exit $found_any
