#!/usr/bin/env bash
# Builds what the main job needs, the library and the tam command (Release, in build/), evaluates
# the e-bike example and says where tam is.
#   bash scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/build-tree.sh
bash scripts/install-deps.sh
configure_build_tree
cmake --build "$build_dir" --target tam_tool -j "$jobs"
tam_dir=$(pwd)/$build_dir/tools
"$tam_dir/tam" eval examples/ebike/product.json
cat <<MESSAGE

tam is built: $tam_dir/tam
To run it as plain \`tam\` in this shell (add the line to ~/.bashrc to keep it):
  export PATH="$tam_dir:\$PATH"
To install it with the library, its manual page and bash completion (here into ~/.local):
  cmake --install $build_dir --prefix ~/.local
MESSAGE
