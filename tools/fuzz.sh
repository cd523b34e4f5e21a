#!/usr/bin/env bash
# Runs every decoder's libFuzzer program for SECONDS each (default 60), seeded with the shared
# corpus and the kept regression inputs. New interesting inputs collect under build/fuzz/corpus;
# a crash, leak, timeout or memory blow-up stops the run, leaves the input under build/fuzz/findings
# and fails. Usage: tools/fuzz.sh [SECONDS] [ENTRY ...]   (entries: Bmp Jpeg Png Gif IconFile Pcx Picture)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true
entries=("$@")
if ((${#entries[@]} == 0)); then
    entries=(Bmp Jpeg Png Gif IconFile Pcx Picture)
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
shared="$root/../shared/corpus"
status=0
# A unit may take seconds under the sanitizers: a tiny GIF may declare a screen at the pixel cap
# (2^28 pixels), which is filled and drawn. Only a unit slower than 30 s counts as a hang.
for entry in "${entries[@]}"; do
    corpus="build/fuzz/corpus/$entry"
    findings="build/fuzz/findings/$entry"
    mkdir -p "$corpus" "$findings"
    seeds=("$root/tests/fuzz-regressions")
    [[ -d $shared ]] && seeds+=("$shared")
    echo "=== fuzz$entry for ${seconds}s"
    if ! "build/fuzz/fuzz$entry" "$corpus" "${seeds[@]}" -max_total_time="$seconds" -timeout=30 \
        -rss_limit_mb=2048 -malloc_limit_mb=1536 -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="$findings/" 2>"build/fuzz/$entry.log"; then
        echo "fuzz$entry found a fault; input kept in $findings:" >&2
        tail -40 "build/fuzz/$entry.log" >&2
        status=1
    else
        grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|cov:' "build/fuzz/$entry.log" | tail -3
    fi
done
exit $status
