#!/usr/bin/env bash
# Runs every test of the project: the C++ unit tests (plain, then under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the threaded tests under
# ThreadSanitizer), the Python tests against the built module and again
# against a sanitized build of it (with the real data directory, built on the
# first run), and a short smoke run of each fuzz target.
# Build trees go under build/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install_deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
passed=0
failed=0

# Results are counted from the JUnit reports the runners write, and a runner
# that exits non-zero without reporting a failure still counts as one.
count_junit() {  # RUNNER_EXIT_STATUS REPORT.xml
  local p f
  read -r p f < <(/usr/bin/python3 scripts/count_junit.py "$2")
  if [ "$1" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
  passed=$((passed + p))
  failed=$((failed + f))
}

configure() {  # BUILD_DIR [cmake args...]: warnings are errors in every build here
  local dir=$1
  shift
  cmake -S . -B "$dir" -DQUILLET_WERROR=ON "$@" >/dev/null
}

build() {  # BUILD_DIR [cmake --build args...]: quiet unless the build fails
  local dir=$1
  shift
  if ! cmake --build "$dir" "$@" >"$dir/build.log" 2>&1; then
    tail -n 40 "$dir/build.log"
    echo "build failed: see $dir/build.log"
    exit 1
  fi
}

run_ctest() {  # NAME BUILD_DIR [ctest args...]
  local name=$1 dir=$2
  shift 2
  echo "== $name"
  local log=$dir/ctest.log rc=0
  rm -f "$dir/ctest.xml"
  ctest --test-dir "$dir" --output-on-failure --output-junit ctest.xml -j "$jobs" "$@" \
    >"$log" 2>&1 || rc=$?
  if [ "$rc" -eq 0 ]; then tail -n 3 "$log"; else tail -n 60 "$log"; fi
  count_junit "$rc" "$dir/ctest.xml"
}

echo "== lint"
lint_rc=0
# Python: ruff with the pyproject.toml configuration where it is installed,
# else flake8 (Debian's python3-flake8) with the same rule selection.
py_sources=(python tools bench tests/python setup.py)
if command -v ruff >/dev/null 2>&1; then
  ruff check "${py_sources[@]}" || lint_rc=1
else
  /usr/bin/python3 -m flake8 --select=F,E9 "${py_sources[@]}" || lint_rc=1
fi
# C++: the tree predates .clang-format and is not reformatted wholesale, so
# only the lines a branch changes against main are checked; on main itself
# there are none.
main_ref=$(git rev-parse -q --verify main || git rev-parse -q --verify origin/main || true)
if [ -n "$main_ref" ] && [ "$(git rev-parse HEAD)" != "$main_ref" ]; then
  format_diff=$(git clang-format-14 --diff --extensions cpp,h "$(git merge-base HEAD "$main_ref")" 2>&1 || true)
  if grep -q '^@@' <<<"$format_diff"; then
    echo "$format_diff"
    echo "clang-format: the lines above differ from .clang-format's layout"
    lint_rc=1
  fi
else
  echo "clang-format: on main, no branch changes to check"
fi
if [ "$lint_rc" -eq 0 ]; then passed=$((passed + 1)); else echo "lint failed"; failed=$((failed + 1)); fi

echo "== build (g++, release with debug info)"
configure build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++
build build/release -j "$jobs"
run_ctest "C++ unit tests" build/release

# The real data directory, built once from the public lexicons, so that the
# tests reading real readings (standard readings, numerals, the README's
# examples) run instead of skipping. A failed build counts as a failure.
if [ ! -f data/word.bin ] || [ ! -f data/char.bin ]; then
  echo "== data build (tools/build_data.py, first run only)"
  if /usr/bin/python3 tools/build_data.py --dictool build/release/quillet_dictool >build/data-build.log 2>&1; then
    tail -n 3 build/data-build.log
  else
    tail -n 30 build/data-build.log
    echo "data build failed: see build/data-build.log"
    failed=$((failed + 1))
  fi
fi

echo "== build (clang, AddressSanitizer + UndefinedBehaviorSanitizer)"
configure build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILLET_SANITIZE=ON -DQUILLET_PYTHON=OFF -DQUILLET_BENCH=OFF
build build/asan -j "$jobs" --target quillet_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest "C++ unit tests under ASan+UBSan" build/asan

echo "== build (clang, ThreadSanitizer)"
configure build/tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILLET_TSAN=ON -DQUILLET_PYTHON=OFF -DQUILLET_BENCH=OFF
build build/tsan -j "$jobs" --target quillet_tests
TSAN_OPTIONS=halt_on_error=1 run_ctest "threaded C++ tests under TSan" build/tsan -R 'Thread|Pool|Batch|Concurren'

run_pytest() {  # NAME BUILD_DIR LOG [pytest args...]; $pytest_env: NAME=VALUE words for pytest only
  local name=$1 dir=$2 log=$3
  shift 3
  echo "== $name"
  local rc=0 report=${log%.log}.xml
  rm -f "$report"
  # shellcheck disable=SC2086  # pytest_env is a list of words on purpose
  env ${pytest_env:-} QUILLET_BUILD_DIR="$root/$dir" /usr/bin/python3 -m pytest -q tests/python \
    --junitxml="$report" "$@" >"$log" 2>&1 || rc=$?
  tail -n 30 "$log"
  count_junit "$rc" "$report"
}

if [ -d tests/python ]; then
  run_pytest "Python tests (/usr/bin/python3)" build/release build/pytest.log

  # The module again with AddressSanitizer + UndefinedBehaviorSanitizer, the
  # runtimes preloaded into the interpreter. Output capture is off so that a
  # sanitizer report is kept in the log even though it ends the process. The
  # memory-growth tests are left out: the sanitizer's quarantine grows memory.
  echo "== build (g++, the Python module with AddressSanitizer + UndefinedBehaviorSanitizer)"
  configure build/pyasan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
    -DQUILLET_SANITIZE=ON -DQUILLET_PYTHON=ON -DQUILLET_TESTS=OFF -DQUILLET_BENCH=OFF
  build build/pyasan -j "$jobs" --target quillet_python quillet_dictool
  pytest_env="LD_PRELOAD=$(g++ -print-file-name=libasan.so):$(g++ -print-file-name=libubsan.so)"
  pytest_env+=" ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
  run_pytest "Python tests against the sanitized module" build/pyasan build/pytest-asan.log \
    -s --deselect tests/python/test_leaks.py
  pytest_env=""
fi

if [ -d fuzz ]; then
  echo "== fuzz smoke run (clang, libFuzzer)"
  configure build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DQUILLET_FUZZ=ON -DQUILLET_PYTHON=OFF -DQUILLET_BENCH=OFF -DQUILLET_TESTS=OFF
  build build/fuzz -j "$jobs"
  if bash scripts/fuzz.sh build/fuzz "${QUILLET_FUZZ_SECONDS:-10}"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
fi

echo
echo "all: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
