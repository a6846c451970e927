#!/usr/bin/env bash
# Builds libtam, the tam command, the tests, fuzz replays and benchmarks, and runs all tests
# through CTest.
#   bash scripts/test.sh                 # build/ , the tree scripts/run.sh builds in
#   TAM_SANITIZE=1 bash scripts/test.sh  # build-asan/ , AddressSanitizer + UndefinedBehaviorSanitizer
# Both treat warnings as errors. TAM_CMAKE_ARGS adds CMake options (for example
# -DTAM_BUILD_TOOLS=OFF).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/build-tree.sh
bash scripts/install-deps.sh
if [ "${TAM_SANITIZE:-0}" = 1 ]; then
  build_dir=${BUILD_DIR:-build-asan}
  san="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  # The benchmarks are only compiled, which the plain tree does already.
  # shellcheck disable=SC2086  # TAM_CMAKE_ARGS is a list of options
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Debug -DTAM_WARNINGS_AS_ERRORS=ON \
    -DTAM_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="$san" -DCMAKE_SHARED_LINKER_FLAGS="$san" \
    ${TAM_CMAKE_ARGS:-}
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  configure_build_tree
fi
cmake --build "$build_dir" -j "$jobs"
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs"
