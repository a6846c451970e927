#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tam command need, when any is missing.
# Needs root (or sudo) only when something has to be installed.
#   bash scripts/install-deps.sh             # build and tests
#   bash scripts/install-deps.sh --browser   # also what the browser tests of tam serve need
#   bash scripts/install-deps.sh --compare   # also the tools bench/compare/compare.py times
set -euo pipefail
# groff-base renders the manual page in the tests, man-db reads the installed one;
# python3-jsonschema checks every JSON document the command tests produce against its schema.
packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          nlohmann-json3-dev libcli11-dev groff-base man-db libcpp-httplib-dev python3
          pybind11-dev python3-dev python3-pytest python3-distributed python3-jsonschema)
case "${1:-}" in
  --browser) packages+=(chromium chromium-driver python3-selenium python3-pytest) ;;
  --compare) packages+=(time kconfig-frontends-nox python3-kconfiglib) ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
