#!/usr/bin/env bash
# Installs the Debian 12 packages that the build and the tests need, when any
# is missing; with --data also the sources of the data build (rime-cantonese,
# Unihan, Node for decoding to-jyutping). Needs root (or sudo) only when
# something is missing.
set -euo pipefail
packages=(
  build-essential cmake clang libclang-rt-14-dev
  libgtest-dev libbenchmark-dev
  python3 python3-dev python3-pytest python3-hypothesis python3-numpy
  python3-pip python3-setuptools python3-wheel python3-venv python3-mypy
  clang-format-14 python3-flake8 python3-dask
)
if [ "${1:-}" = "--data" ]; then
  packages+=(rime-data-jyut6ping3 unicode-data)
  # Node may come from elsewhere than Debian (e.g. NodeSource); any will do.
  command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
