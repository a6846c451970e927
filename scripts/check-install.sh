#!/usr/bin/env bash
# Installs the build tree (build/, building tam first when needed) into a scratch prefix, moves
# the prefix elsewhere, and uses what was installed the way a user would: runs the installed tam,
# reads its manual page, asks its bash completion, and builds and runs hosts against the library
# through CMake and through pkg-config. Proves that the installed tree works from any place.
#   bash scripts/check-install.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/build-tree.sh
source_dir=$(pwd)

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  configure_build_tree
fi
cmake --build "$build_dir" --target tam_tool -j "$jobs"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cmake --install "$build_dir" --prefix "$scratch/installed" >/dev/null
mv "$scratch/installed" "$scratch/moved"
prefix=$scratch/moved
# Nothing may reach the build tree or a library path the user set.
unset LD_LIBRARY_PATH
tam=$prefix/bin/tam

echo "== the installed tam runs from the moved prefix"
[ "$("$tam" --version)" = "tam $version" ] || fail "tam --version does not print tam $version"
# Whole outputs are captured before they are searched: a reader that stops early would make the
# writer fail under pipefail.
# tam carries the library and the C++ runtime; the library is installed for hosts and Python.
loaded=$(ldd "$tam")
[[ $loaded != *"libtam.so"* && $loaded != *"libstdc++"* ]] ||
  fail "the installed tam loads a shared library it should carry: $loaded"
[ -e "$prefix/lib/libtam.so" ] || fail "the library is not installed for hosts"
if ! diff <("$build_dir/tools/tam" eval examples/ebike/product.json) \
          <("$tam" eval examples/ebike/product.json) >/dev/null; then
  fail "the installed tam evaluates the example differently from the built one"
fi
"$tam" check --product examples/ebike/product.json >/dev/null ||
  fail "tam check on the example failed"

# The Python module, when the build tree has it, imports from the moved prefix and finds the
# installed library by itself.
shopt -s nullglob
python_modules=("$prefix"/lib/python3*/*-packages/tam/_tam*.so)
shopt -u nullglob
if [ ${#python_modules[@]} -gt 0 ]; then
  echo "== the installed Python module runs from the moved prefix"
  status=$(PYTHONPATH=$(dirname "$(dirname "${python_modules[0]}")") /usr/bin/python3 -c \
    'import tam; print(tam.Product.load("examples/ebike/product.json").evaluate().status)' 2>&1) ||
    true
  [ "$status" = ok ] || fail "the installed Python module does not evaluate the example: $status"
fi

echo "== the installed tam serve starts its server program and serves the page"
[[ $loaded != *libssl* && $loaded != *httplib* ]] ||
  fail "the installed tam loads the web server's libraries: $loaded"
cp -r examples/ebike "$scratch/serve-product"
rm -f "$scratch"/serve-product/.*.tam-lock
"$tam" serve "$scratch/serve-product/product.json" --port 0 >"$scratch/serve.out" 2>&1 &
server=$!
address=
for _ in $(seq 100); do
  address=$(sed -n 's/^Open \(http[^ ]*\) in a browser.*/\1/p' "$scratch/serve.out")
  [ -n "$address" ] || ! kill -0 "$server" 2>/dev/null && break
  sleep 0.1
done
if [ -z "$address" ]; then
  fail "the installed tam serve did not start: $(cat "$scratch/serve.out")"
else
  page=$(/usr/bin/python3 -c 'import sys, urllib.request; print(urllib.request.urlopen(sys.argv[1]).status)' \
    "$address" 2>&1) || true
  [ "$page" = 200 ] || fail "the installed tam serve does not serve its page: $page"
fi
kill -TERM "$server" 2>/dev/null || true
wait "$server" || fail "the installed tam serve did not stop cleanly"
grep -q '^tam serve: stopped$' "$scratch/serve.out" || fail "tam serve did not say it stopped"

echo "== manual page and bash completion"
page=$prefix/share/man/man1/tam.1
warnings=$(LC_ALL=C MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
[ "$(PATH="$prefix/bin:$PATH" man -w tam)" = "$page" ] ||
  fail "man does not find the page through PATH"
rendered=$(LC_ALL=C MANWIDTH=80 man -l "$page")
completion=$prefix/share/bash-completion/completions/tam
offered=$(bash -c '. "$1"; COMP_WORDS=(tam ""); COMP_CWORD=1; _tam; echo "${COMPREPLY[*]}"' _ \
  "$completion")
commands=$("$tam" --help | sed -n '/^Subcommands:/,$s/^  \([^ ]*\).*/\1/p')
[ -n "$commands" ] || fail "tam --help lists no subcommands"
for command in $commands; do
  grep -q "^   tam $command\$" <<<"$rendered" || fail "the manual page lacks tam $command"
  [[ " $offered " == *" $command "* ]] || fail "the completion does not offer $command"
done

echo "== hosts built against the installed package"
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
pkg-config --exact-version="$version" tam || fail "pkg-config does not find tam $version"
[ "$(pkg-config --variable=includedir tam)" -ef "$prefix/include" ] ||
  fail "tam.pc points outside the moved prefix: $(pkg-config --variable=includedir tam)"
build_host() {  # NAME SOURCE_DIR PROGRAM: builds with CMake and with pkg-config, runs both
  local name=$1 dir=$2 program=$3
  cmake -S "$dir" -B "$scratch/$name-cmake" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$scratch/$name-cmake" -j "$jobs" >/dev/null
  "$scratch/$name-cmake/$program" >"$scratch/$name-cmake.out" || fail "$name built with CMake failed"
  # shellcheck disable=SC2046  # pkg-config prints a list of flags
  g++ -std=c++17 -O1 -o "$scratch/$name-pc" "$dir"/*.cpp $(pkg-config --cflags --libs tam)
  LD_LIBRARY_PATH=$(pkg-config --variable=libdir tam) "$scratch/$name-pc" >"$scratch/$name-pc.out" ||
    fail "$name built with pkg-config failed"
  cmp -s "$scratch/$name-cmake.out" "$scratch/$name-pc.out" ||
    fail "$name prints different results when built with CMake and with pkg-config"
  echo "$name: built both ways and ran"
}
build_host consumer "$source_dir/tests/consumer" consumer
build_host host-example "$source_dir/examples/host" tam_host_example

if [ "$failures" -ne 0 ]; then
  echo "check-install: $failures check(s) failed" >&2
  exit 1
fi
echo "check-install: the installed package works from $prefix"
