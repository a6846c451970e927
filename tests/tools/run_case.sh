#!/bin/sh
# Runs one command test of the tam binary.
#   sh run_case.sh TAM TEST_DIR WORK_ROOT CASE
#   TAM_UPDATE_GOLDEN=1 sh run_case.sh ...   # rewrites the expected files from the actual output
# The products of TEST_DIR/products are copied into a fresh folder WORK_ROOT/CASE, the case script
# TEST_DIR/cases/CASE.sh runs there with the helpers below, and the test fails when any expectation
# fails. Paths in the output are relative to that folder, so expected files hold no build paths.
# Every standard output that is JSON is checked against the schema (docs/schema) its format names.
set -u
TAM=$1
TEST_DIR=$2
WORK=$3/$4
CASE_SCRIPT=$TEST_DIR/cases/$4.sh
EXPECTED=$TEST_DIR/expected
SCHEMAS=$(cd "$TEST_DIR/../../docs/schema" && pwd)
CHECK_JSON=$(cd "$TEST_DIR" && pwd)/check_json.py

rm -rf "$WORK"
mkdir -p "$WORK"
cp -R "$TEST_DIR/products/." "$WORK/"
cd "$WORK" || exit 1
failures=0
status=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# tam ARGS...: runs the binary; its output lands in out.txt and err.txt, its exit status in $status.
tam() {
  "$TAM" "$@" >out.txt 2>err.txt
  status=$?
  case $(head -c 1 out.txt) in
    '{') /usr/bin/python3 "$CHECK_JSON" "$SCHEMAS" out.txt || fail "the JSON of 'tam $*' does not fit its schema" ;;
  esac
}

expect_status() {
  [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}

# expect_same ACTUAL EXPECTED: the two files are equal. With TAM_UPDATE_GOLDEN=1 the expected
# file is rewritten from the actual one instead (review the difference before committing it).
expect_same() {
  if [ "${TAM_UPDATE_GOLDEN:-0}" = 1 ]; then
    cp "$1" "$2"
    return
  fi
  diff -u "$2" "$1" || fail "$1 differs from $2"
}

expect_stdout() { expect_same out.txt "$EXPECTED/$1"; }
expect_stderr() { expect_same err.txt "$EXPECTED/$1"; }
expect_no_stdout() { [ ! -s out.txt ] || { cat out.txt; fail "unexpected standard output"; }; }
expect_no_stderr() { [ ! -s err.txt ] || { cat err.txt; fail "unexpected standard error"; }; }

. "$CASE_SCRIPT"

if [ "$failures" -ne 0 ]; then
  echo "--- standard output"
  cat out.txt
  echo "--- standard error"
  cat err.txt
  exit 1
fi
echo "ok: $4"
