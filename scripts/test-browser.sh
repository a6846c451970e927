#!/usr/bin/env bash
# Tests the tam serve page in headless Chromium (Selenium, Debian's chromium and chromedriver),
# with the tam command of the tree the README's commands build in (built when missing).
#   bash scripts/test-browser.sh
#   TAM_SCREENSHOT=docs/serve.png bash scripts/test-browser.sh   # also keeps a screenshot
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/build-tree.sh
bash scripts/install-deps.sh --browser
if [ ! -x "$build_dir/tools/tam" ]; then
  configure_build_tree
  cmake --build "$build_dir" --target tam_tool -j "$jobs"
fi
if [ -n "${TAM_SCREENSHOT:-}" ]; then
  TAM_SCREENSHOT=$(realpath "$TAM_SCREENSHOT")
  export TAM_SCREENSHOT
fi
TAM=$(realpath "$build_dir/tools/tam") /usr/bin/python3 -m pytest -q -s -p no:cacheprovider \
  tests/tools/serve/serve_browser_test.py
