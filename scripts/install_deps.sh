#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the data build
# need, when any is missing. Needs root (or sudo) only when something is missing.
set -euo pipefail
packages=(
  build-essential cmake clang libclang-rt-14-dev
  libgtest-dev libbenchmark-dev
  python3 python3-dev python3-pytest python3-hypothesis python3-numpy
  python3-pip python3-setuptools python3-wheel python3-venv python3-mypy
)
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
