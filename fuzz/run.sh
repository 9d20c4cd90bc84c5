#!/bin/bash
# Builds the fuzz preset and runs every target for a bounded time; fails on
# any finding. Usage: fuzz/run.sh [seconds per target, default 30]
# Findings land in build/fuzz/findings/<target>/; replay each as a plain test.
set -eu
SECONDS_EACH=${1:-30}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_decode_package_list fuzz_decode_extension_list fuzz_crc_chk_file

status=0
for target in decode_package_list decode_extension_list crc_chk_file; do
    work=$(mktemp -d)                 # new inputs found this run; the seeds stay as committed
    findings=build/fuzz/findings/$target
    mkdir -p "$findings"
    echo "== $target (${SECONDS_EACH}s)"
    if ! build/fuzz/fuzz/fuzz_$target "$work" "fuzz/corpus/$target" \
            -max_total_time="$SECONDS_EACH" -rss_limit_mb=512 -malloc_limit_mb=1024 \
            -artifact_prefix="$findings/" -print_final_stats=1 2>"$findings/log.txt"; then
        echo "FINDING in $target: see $findings/"
        status=1
    fi
    grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$findings/log.txt" | tail -2 || true
    rm -rf "$work"
done
exit $status
