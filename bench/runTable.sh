#!/bin/sh
# Prints the benchmark table of bench/README.md: the median of 11 timed repetitions per case, in ms.
# Usage: bench/runTable.sh [path/to/vistrel-bench]   (default: the release build)
set -eu
bench=${1:-build/release/bench/vistrel-bench}
repeat=11

median() {
    "$@" --repeat $repeat | sort -g | sed -n "$(( (repeat + 1) / 2 ))p"
}

echo "| picture | scale | view tl | view mid |"
echo "|---|---|---|---|"
for size in "1000 1000" "4000 3000" "10000 10000"; do
    for scale in 0.01 0.1 0.5 1 2 10 1000 1e6 2.48832 7.3; do
        tl=$(median "$bench" redraw --synthetic $size --scale $scale --view tl --target view)
        mid=$(median "$bench" redraw --synthetic $size --scale $scale --view mid --target view)
        echo "| $(echo $size | tr ' ' 'x') | $scale | $tl | $mid |"
    done
done
echo
echo "| picture | scale | redraw, view tl | redraw, view mid |"
echo "|---|---|---|---|"
for size in "1000 1000" "4000 3000" "10000 10000"; do
    for scale in 0.01 0.1 0.5 1 2.48832 1000; do
        tl=$(median "$bench" redraw --synthetic $size --scale $scale --view tl --target redraw)
        mid=$(median "$bench" redraw --synthetic $size --scale $scale --view mid --target redraw)
        echo "| $(echo $size | tr ' ' 'x') | $scale | $tl | $mid |"
    done
done
echo
echo "drag step: $(median "$bench" drag) ms"
