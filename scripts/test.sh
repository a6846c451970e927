#!/usr/bin/env bash
# Builds libtam with its tests and runs them through CTest.
#   bash scripts/test.sh                 # build/ , warnings as errors
#   TAM_SANITIZE=1 bash scripts/test.sh  # build-asan/ , AddressSanitizer + UndefinedBehaviorSanitizer
# TAM_CMAKE_ARGS adds CMake options (for example -DTAM_BUILD_TOOLS=OFF).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
if [ "${TAM_SANITIZE:-0}" = 1 ]; then
  dir=${BUILD_DIR:-build-asan}
  san="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DTAM_WARNINGS_AS_ERRORS=ON \
    -DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="$san" -DCMAKE_SHARED_LINKER_FLAGS="$san" \
    ${TAM_CMAKE_ARGS:-}
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir=${BUILD_DIR:-build}
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAM_WARNINGS_AS_ERRORS=ON ${TAM_CMAKE_ARGS:-}
fi
cmake --build "$dir" -j "$jobs"
ctest --test-dir "$dir" --output-on-failure -j "$jobs"
