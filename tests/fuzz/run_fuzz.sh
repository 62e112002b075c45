#!/usr/bin/env bash
# Fuzzes the given targets one after another at the lowest priority and
# appends each run's execution count to fuzz-log.txt in the working folder.
#   tests/fuzz/run_fuzz.sh BUILD_DIR SECONDS TARGET...
# BUILD_DIR is a clang build configured with -DZB_FUZZ=ON -DZB_SANITIZE=ON.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
seconds=$2
shift 2
work=$build/fuzz-work
mkdir -p "$work"
for target in "$@"; do
    mkdir -p "$work/corpus/$target" "$work/artifacts/$target"
    log=$work/$target-$(date -u +%Y%m%dT%H%M%S).log
    began=$(date +%s)
    set +e
    (cd "$work" && timeout $((seconds + 120)) nice -n 19 "$build/bin/fuzz_$target" \
        -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/$target/" \
        "$work/corpus/$target" "$here/corpus/$target" >"$log" 2>&1)
    rc=$?
    set -e
    # A run that stopped early has no final count; its last status line has the executions so far.
    runs=$(grep -ao 'Done [0-9]* runs' "$log" | grep -o '[0-9]*' ||
        grep -ao '^#[0-9]*' "$log" | tail -1 | tr -d '#' || echo 0)
    echo "$(date -u +%FT%TZ) $target seconds=$(($(date +%s) - began)) runs=${runs:-0} exit=$rc log=$log" |
        tee -a "$work/fuzz-log.txt"
done
