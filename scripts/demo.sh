#!/usr/bin/env bash
# The main job: builds the engine and the _quillet module, builds the bundled
# data directory from public Cantonese lexicons on the first run (see DATA.md),
# and converts a sample sentence from Python: the reading string, then every
# token with its reading and labels.
#   bash scripts/demo.sh ["TEXT"]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh --data
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target quillet_python quillet_dictool >/dev/null
if [ ! -f data/word.bin ]; then
  echo "building data/ from rime-cantonese, Unihan and to-jyutping (first run only)..." >&2
  /usr/bin/python3 tools/build_data.py --dictool build/release/quillet_dictool
fi
PYTHONPATH=build/release /usr/bin/python3 - "${1:-陳Sir話：我哋聽日3點去飲茶，飲完行吓海傍，OK？}" <<'PY'
import sys
import _quillet

text = sys.argv[1]
pipeline = _quillet.PyPipeline(data_dir="data")
print(text)
print(pipeline.convert(text))
print()
print("token\tjyutping\tlang\tconfidence\tsource")
for row in pipeline.convert_detailed(text):
    print("\t".join(row))
PY
