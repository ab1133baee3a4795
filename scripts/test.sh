#!/usr/bin/env bash
# Runs every test of the project: the C++ unit tests (plain, then under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the threaded tests under
# ThreadSanitizer), the Python tests against the built module and again
# against a sanitized build of it, and a short smoke run of each fuzz target.
# Build trees go under build/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install_deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
passed=0
failed=0

count_ctest() {  # adds the counts of a ctest log to the totals
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1 || true)
  if [ -z "$line" ]; then  # no summary: ctest found no tests or did not finish
    echo "no test summary in $1"
    failed=$((failed + 1))
    return
  fi
  local total fail
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  fail=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$((passed + total - fail))
  failed=$((failed + fail))
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
  local log=$dir/ctest.log
  if ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@" >"$log" 2>&1; then
    tail -n 3 "$log"
  else
    tail -n 60 "$log"
  fi
  count_ctest "$log"
}

echo "== build (g++, release with debug info)"
cmake -S . -B build/release -DQUILLET_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null
build build/release -j "$jobs"
run_ctest "C++ unit tests" build/release

echo "== build (clang, AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S . -B build/asan -DQUILLET_WERROR=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILLET_SANITIZE=ON -DQUILLET_PYTHON=OFF -DQUILLET_BENCH=OFF >/dev/null
build build/asan -j "$jobs" --target quillet_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest "C++ unit tests under ASan+UBSan" build/asan

echo "== build (clang, ThreadSanitizer)"
cmake -S . -B build/tsan -DQUILLET_WERROR=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILLET_TSAN=ON -DQUILLET_PYTHON=OFF -DQUILLET_BENCH=OFF >/dev/null
build build/tsan -j "$jobs" --target quillet_tests
TSAN_OPTIONS=halt_on_error=1 run_ctest "threaded C++ tests under TSan" build/tsan -R 'Thread|Pool|Batch|Concurren'

run_pytest() {  # NAME BUILD_DIR LOG [pytest args...]; $pytest_env: NAME=VALUE words for pytest only
  local name=$1 dir=$2 log=$3
  shift 3
  echo "== $name"
  local rc=0
  # shellcheck disable=SC2086  # pytest_env is a list of words on purpose
  env ${pytest_env:-} QUILLET_BUILD_DIR="$root/$dir" /usr/bin/python3 -m pytest -q tests/python "$@" \
    >"$log" 2>&1 || rc=$?
  tail -n 30 "$log"
  local summary p f
  summary=$(grep -E '[0-9]+ (passed|failed|errors?)' "$log" | tail -n 1 || true)
  p=$(grep -oE '[0-9]+ passed' <<<"$summary" | grep -oE '[0-9]+' || true)
  f=$(grep -oE '[0-9]+ (failed|errors?)' <<<"$summary" | awk '{s += $1} END {print s + 0}' || true)
  # pytest's own exit status decides; a failure without a count still counts.
  if [ "$rc" -ne 0 ] && [ "${f:-0}" -eq 0 ]; then f=1; fi
  passed=$((passed + ${p:-0}))
  failed=$((failed + ${f:-0}))
}

if [ -d tests/python ]; then
  run_pytest "Python tests (/usr/bin/python3)" build/release build/pytest.log

  # The module again with AddressSanitizer + UndefinedBehaviorSanitizer, the
  # runtimes preloaded into the interpreter. Output capture is off so that a
  # sanitizer report is kept in the log even though it ends the process. The
  # memory-growth tests are left out: the sanitizer's quarantine grows memory.
  echo "== build (g++, the Python module with AddressSanitizer + UndefinedBehaviorSanitizer)"
  cmake -S . -B build/pyasan -DQUILLET_WERROR=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
    -DQUILLET_SANITIZE=ON -DQUILLET_PYTHON=ON -DQUILLET_TESTS=OFF -DQUILLET_BENCH=OFF >/dev/null
  build build/pyasan -j "$jobs" --target quillet_python quillet_dictool
  pytest_env="LD_PRELOAD=$(g++ -print-file-name=libasan.so):$(g++ -print-file-name=libubsan.so)"
  pytest_env+=" ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
  run_pytest "Python tests against the sanitized module" build/pyasan build/pytest-asan.log \
    -s --deselect tests/python/test_leaks.py
  pytest_env=""
fi

if [ -d fuzz ]; then
  echo "== fuzz smoke run (clang, libFuzzer)"
  cmake -S . -B build/fuzz -DQUILLET_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DQUILLET_FUZZ=ON -DQUILLET_PYTHON=OFF -DQUILLET_BENCH=OFF -DQUILLET_TESTS=OFF >/dev/null
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
