#!/usr/bin/env bash
# Builds libtam and the tam command (Release, in build-run/) and evaluates the e-bike example.
#   bash scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=Release
cmake --build build-run -j "$jobs"
build-run/tools/tam eval examples/ebike/product.json
