#!/usr/bin/env bash
# Tests the tam serve page in headless Chromium (Selenium, Debian's chromium and chromedriver),
# with the tam command of the build tree (built when missing).
#   bash scripts/test-browser.sh
#   TAM_SCREENSHOT=docs/serve.png bash scripts/test-browser.sh   # also keeps a screenshot
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --browser
dir=${BUILD_DIR:-build}
if [ ! -x "$dir/tools/tam" ]; then
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAM_WARNINGS_AS_ERRORS=ON
  cmake --build "$dir" --target tam_tool -j "$(nproc 2>/dev/null || echo 2)"
fi
if [ -n "${TAM_SCREENSHOT:-}" ]; then
  TAM_SCREENSHOT=$(realpath "$TAM_SCREENSHOT")
  export TAM_SCREENSHOT
fi
TAM=$(realpath "$dir/tools/tam") /usr/bin/python3 -m pytest -q -s -p no:cacheprovider \
  tests/tools/serve/serve_browser_test.py
