# Sourced by run.sh and test.sh: both build in one tree, configured the same way, so that the test
# command reuses everything the first command built.
#   configure_build_tree     # configures build/ (Release, warnings as errors)
# BUILD_DIR chooses another tree; TAM_CMAKE_ARGS adds CMake options (for example
# -DTAM_WARNINGS_AS_ERRORS=OFF for a compiler that warns where ours does not).
build_dir=${BUILD_DIR:-build}
jobs=$(nproc 2>/dev/null || echo 2)

configure_build_tree() {
  # shellcheck disable=SC2086  # TAM_CMAKE_ARGS is a list of options
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTAM_WARNINGS_AS_ERRORS=ON \
    ${TAM_CMAKE_ARGS:-}
}
