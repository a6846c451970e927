#!/usr/bin/env bash
# Builds the thread test alone under ThreadSanitizer and runs it: windows used from several
# threads at once must share nothing unguarded. CI runs it after the sanitizer run.
#   bash scripts/tsan.sh        # build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
dir=${BUILD_DIR:-build-tsan}
san="-fsanitize=thread -fno-omit-frame-pointer"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAM_WARNINGS_AS_ERRORS=ON \
  -DTAM_BUILD_TOOLS=OFF -DTAM_BUILD_BENCH=OFF -DTAM_BUILD_FUZZ=OFF \
  -DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="$san" -DCMAKE_SHARED_LINKER_FLAGS="$san"
cmake --build "$dir" --target tam_thread_test -j "$jobs"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 "$dir/tests/tam_thread_test"
