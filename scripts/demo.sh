#!/usr/bin/env bash
# The main job: builds the engine, writes a tiny sample data directory with
# the dictionary writer, and converts a sample sentence end to end (a
# multi-syllable word, an English word, a number, punctuation and the title
# sir), printing the reading string and the labelled tokens.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target quillet_dictool quillet_demo >/dev/null
sample=build/sample-data
mkdir -p "$sample"
printf '我哋\tngo5 dei6\n聽日\tting1 jat6\n飲茶\tjam2 caa4\n' | build/release/quillet_dictool build - "$sample/word.bin"
printf '我\tngo5\n哋\tdei6\n聽\tteng1\n日\tjat6\n三\tsaam1\n點\tdim2\n去\theoi3\n飲\tjam2\n茶\tcaa4\n陳\tcan4\n' \
  | build/release/quillet_dictool build - "$sample/char.bin"
build/release/quillet_demo "$sample" "${@:-陳Sir，我哋聽日3點去飲茶，OK？}"
