#!/bin/sh
# Fuzzes the engine: runs each fuzz target in turn (one process at a time, so one core) for SECONDS
# (default 300; 0 only merges) and prints a table of what each run did. Usage:
#   fuzz/run.sh [--merge] [SECONDS] [TARGET...]
# Targets and their input limits are listed in fuzz/targets.txt. Each target reads its seeds from
# fuzz/corpus/<target> and keeps what it finds in build/fuzz/run/<target> (its working corpus, which
# later runs go on from, its log, and the inputs that broke it, in artifacts/). --merge then folds the
# inputs of at most 2 KB that add coverage back into fuzz/corpus/<target> (libFuzzer's -merge=1).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

merge=0
merge_max=2048
seconds=300
if [ "${1:-}" = --merge ]; then merge=1; shift; fi
case "${1:-}" in [0-9]*) seconds=$1; shift ;; esac
targets=${*:-$(awk '/^[a-z]/ { print $1 }' fuzz/targets.txt)}

[ -f build/fuzz/CMakeCache.txt ] || cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

printf '%-18s %8s %11s %6s %7s %16s %s\n' target seconds executions cov ft corpus findings
for target in $targets; do
  max_len=$(awk -v t="$target" '$1 == t { print $2 }' fuzz/targets.txt)
  [ -n "$max_len" ] || { echo "unknown target: $target" >&2; exit 2; }
  work=build/fuzz/run/$target
  mkdir -p "$work/corpus" "$work/artifacts"
  options="-max_len=$max_len -timeout=5 -artifact_prefix=$work/artifacts/"
  if [ "$seconds" != 0 ]; then
    # A finding ends the run; the table shows it, and the script goes on with the next target.
    # shellcheck disable=SC2086
    build/fuzz/bin/"$target" $options -max_total_time="$seconds" -print_final_stats=1 \
      "$work/corpus" "fuzz/corpus/$target" >"$work/log" 2>&1 || true
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
    last=$(grep -E '^#[0-9]+[[:space:]].*cov: ' "$work/log" | tail -n 1)
    cov=$(echo "$last" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
    ft=$(echo "$last" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
    corpus=$(echo "$last" | sed -n 's/.* corp: \([^ ]*\).*/\1/p')
    findings=$(find "$work/artifacts" -type f | wc -l)
    printf '%-18s %8s %11s %6s %7s %16s %s\n' "$target" "$seconds" "${executions:-?}" "${cov:-?}" "${ft:-?}" \
      "${corpus:-?}" "$findings"
  fi
  if [ "$merge" = 1 ]; then
    # Only inputs of at most $merge_max bytes are candidates, so the kept corpora stay small.
    rm -rf "$work/candidates"
    mkdir "$work/candidates"
    find "$work/corpus" -type f -size -$((merge_max + 1))c -exec cp {} "$work/candidates" \;
    before=$(ls "fuzz/corpus/$target" | wc -l)
    # shellcheck disable=SC2086
    build/fuzz/bin/"$target" $options -merge=1 "fuzz/corpus/$target" "$work/candidates" >"$work/merge.log" 2>&1
    echo "  merged: $(($(ls "fuzz/corpus/$target" | wc -l) - before)) new inputs into fuzz/corpus/$target" \
      "($(du -sb "fuzz/corpus/$target" | cut -f1) bytes)"
  fi
done
