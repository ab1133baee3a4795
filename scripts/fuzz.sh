#!/usr/bin/env bash
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS [TARGET...]
# Runs every fuzz_* target built in BUILD_DIR (configured with clang and
# -DQUILLET_FUZZ=ON) for SECONDS each: first it replays the target's saved
# regression inputs (fuzz/regressions/<target>/), then it fuzzes starting from
# the seeds that quillet_fuzz_seeds writes into BUILD_DIR/fuzz-seeds. New
# corpus entries go to BUILD_DIR/fuzz-corpus/<target>, crash inputs to
# BUILD_DIR/fuzz-artifacts/<target>/. Prints per target the executions and the
# coverage (cov = covered edges, ft = features) from libFuzzer's final stats,
# and exits non-zero when any target crashed, leaked, hung or failed a check.
# Extra libFuzzer flags can be given in QUILLET_FUZZ_FLAGS (e.g. -jobs=2).
set -uo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS [TARGET...]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
seconds=$2
shift 2

seeder=$(find "$build" -maxdepth 2 -type f -name quillet_fuzz_seeds -perm -u+x | head -n 1)
if [ -z "$seeder" ]; then
  echo "fuzz.sh: no quillet_fuzz_seeds in $build (configure with clang and -DQUILLET_FUZZ=ON)" >&2
  exit 2
fi
rm -rf "$build/fuzz-seeds"
"$seeder" "$build/fuzz-seeds" || { echo "fuzz.sh: seed generation failed" >&2; exit 1; }

if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(find "$build" -maxdepth 2 -type f -name 'fuzz_*' -perm -u+x \
    -printf '%f\n' | sort)
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz.sh: no fuzz_* targets in $build" >&2
  exit 2
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
printf '%-16s %10s %8s %8s %7s  %s\n' target execs cov ft corpus result
for target in "${targets[@]}"; do
  bin=$(find "$build" -maxdepth 2 -type f -name "$target" -perm -u+x | head -n 1)
  if [ -z "$bin" ]; then
    echo "fuzz.sh: $target not built" >&2
    failed=1
    continue
  fi
  corpus=$build/fuzz-corpus/$target
  artifacts=$build/fuzz-artifacts/$target
  log=$build/fuzz-logs/$target.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  : >"$log"
  result=ok

  regressions=$root/fuzz/regressions/$target
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    if ! "$bin" -runs=1 "$regressions"/* >>"$log" 2>&1; then
      result="REGRESSION FAILED"
    fi
  fi

  if [ "$result" = ok ]; then
    dict=()
    [ -f "$root/fuzz/$target.dict" ] && dict=(-dict="$root/fuzz/$target.dict")
    # shellcheck disable=SC2086
    if ! "$bin" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
        -rss_limit_mb=2048 -max_len=8192 -artifact_prefix="$artifacts/" "${dict[@]}" \
        ${QUILLET_FUZZ_FLAGS:-} "$corpus" "$build/fuzz-seeds/$target" >>"$log" 2>&1; then
      result="CRASH (see $log and $artifacts)"
    fi
  fi

  execs=$(grep -E '^stat::number_of_executed_units:' "$log" | tail -n 1 | awk '{print $2}')
  covline=$(grep -E 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1)
  cov=$(sed -nE 's/.*cov: ([0-9]+).*/\1/p' <<<"$covline")
  ft=$(sed -nE 's/.*ft: ([0-9]+).*/\1/p' <<<"$covline")
  corp=$(sed -nE 's/.*corp: ([0-9]+).*/\1/p' <<<"$covline")
  printf '%-16s %10s %8s %8s %7s  %s\n' "$target" "${execs:--}" "${cov:--}" "${ft:--}" \
    "${corp:--}" "$result"
  if [ "$result" != ok ]; then
    failed=1
    grep -E 'ERROR: |FUZZ CHECK FAILED|SUMMARY|runtime error' "$log" | head -n 5 | sed 's/^/    /'
  fi
done
exit $failed
