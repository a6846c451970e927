#!/bin/sh
# Runs one diagnostics case: a folder of module files (and perhaps a product file) with one
# mistake, and the transcript of what tam prints for it.
#   sh run_transcript.sh TAM CASE_DIR WORK_DIR SCHEMA_DIR
# CASE_DIR/expected.txt holds the commands and their whole output, as a user sees them in a
# terminal:
#   $ tam check modules
#   modules/cpu.rix:6:18: error: ...
#   [exit status 1]
# Each "$ tam ..." line is run (its words are split like a shell's) in a fresh copy of the case
# folder; what it prints (standard output, then standard error) and its exit status, when not 0,
# make the actual transcript, which must equal the expected one. Output that is JSON is checked
# against the schema its format names. With TAM_UPDATE_GOLDEN=1 the expected transcript is
# rewritten from the actual one instead (review the difference before committing it).
set -u
TAM=$1
CASE=$2
WORK=$3
SCHEMAS=$4
EXPECTED=$CASE/expected.txt
PYTHON=/usr/bin/python3
HERE=$(cd "$(dirname "$0")" && pwd)

rm -rf "$WORK"
mkdir -p "$WORK"
cp -R "$CASE/." "$WORK/"
rm -f "$WORK/expected.txt"
cd "$WORK" || exit 1
[ -f "$EXPECTED" ] || { echo "FAIL: no $EXPECTED"; exit 1; }

failures=0
: >actual.txt
grep '^\$ tam ' "$EXPECTED" >commands.txt
[ -s commands.txt ] || { echo "FAIL: $EXPECTED runs no command"; exit 1; }
while IFS= read -r command; do
  arguments=${command#'$ tam '}
  printf '%s\n' "$command" >>actual.txt
  eval "set -- $arguments"
  "$TAM" "$@" >out.txt 2>err.txt </dev/null
  status=$?
  cat out.txt err.txt >>actual.txt
  [ "$status" -eq 0 ] || printf '[exit status %s]\n' "$status" >>actual.txt
  case $(head -c 1 out.txt) in
    '{')
      "$PYTHON" "$HERE/check_json.py" "$SCHEMAS" out.txt ||
        { echo "FAIL: the JSON of '$command' does not fit its schema"; failures=$((failures + 1)); }
      ;;
  esac
done <commands.txt

if [ "${TAM_UPDATE_GOLDEN:-0}" = 1 ]; then
  cp actual.txt "$EXPECTED"
  echo "updated: $EXPECTED"
  exit 0
fi
diff -u "$EXPECTED" actual.txt || { echo "FAIL: the transcript differs"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] || exit 1
echo "ok: $(basename "$CASE")"
