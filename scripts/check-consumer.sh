#!/usr/bin/env bash
# Installs libtam into a scratch prefix and builds the consumer project in tests/consumer against
# the installed CMake package and pkg-config file, then runs it: proof that a host can use what
# we ship.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
prefix=$(pwd)/build-consumer/prefix
rm -rf build-consumer
cmake -S . -B build-consumer/lib -DCMAKE_BUILD_TYPE=Release -DTAM_BUILD_TESTS=OFF \
  -DTAM_BUILD_TOOLS=OFF -DCMAKE_INSTALL_PREFIX="$prefix"
cmake --build build-consumer/lib -j "$jobs"
cmake --install build-consumer/lib
cmake -S tests/consumer -B build-consumer/app -DCMAKE_PREFIX_PATH="$prefix"
cmake --build build-consumer/app -j "$jobs"
LD_LIBRARY_PATH="$prefix/lib:${LD_LIBRARY_PATH:-}" build-consumer/app/consumer
# The pkg-config file must describe the same library.
PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --exact-version=0.1.0 tam
g++ -std=c++17 tests/consumer/main.cpp -o build-consumer/pc-consumer \
  $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs tam)
LD_LIBRARY_PATH="$prefix/lib:${LD_LIBRARY_PATH:-}" build-consumer/pc-consumer
echo "consumer: built and ran against the installed package"
