#!/bin/sh
# Prints the benchmark tables of bench/README.md: the median of 21 timed repetitions per case, in ms.
# Usage: bench/runTable.sh [BUILD_DIR [12MP.jpg 12MP.png]]   (default: build/release; the decode rows
# only when the two files are given)
set -eu
dir=${1:-build/release}
bench=$dir/bench/vistrel-bench
library=$dir/bench/libraryDecode
repeat=21

median() {
    "$@" --repeat $repeat | sort -g | sed -n "$(( (repeat + 1) / 2 ))p"
}

echo "| picture | scale | view tl | view mid |"
echo "|---|---|---|---|"
for size in "1000 1000" "4000 3000" "10000 10000"; do
    for scale in 0.01 0.1 0.401878 0.5 1 2 10 1000 1e6 2.48832 7.3; do
        tl=$(median "$bench" redraw --synthetic $size --scale $scale --view tl --target view)
        mid=$(median "$bench" redraw --synthetic $size --scale $scale --view mid --target view)
        echo "| $(echo $size | tr ' ' 'x') | $scale | $tl | $mid |"
    done
done
echo
echo "| picture | scale | redraw, view tl | redraw, view mid |"
echo "|---|---|---|---|"
for size in "1000 1000" "4000 3000" "10000 10000"; do
    for scale in 0.01 0.1 0.5 1 2.48832 7.3 1000; do
        tl=$(median "$bench" redraw --synthetic $size --scale $scale --view tl --target redraw)
        mid=$(median "$bench" redraw --synthetic $size --scale $scale --view mid --target redraw)
        echo "| $(echo $size | tr ' ' 'x') | $scale | $tl | $mid |"
    done
done
echo
echo "drag step: $(median "$bench" drag) ms"
if [ $# -ge 3 ]; then
    for file in "$2" "$3"; do
        echo "decode $(basename "$file"): vistrel-bench $(median "$bench" decode "$file") ms," \
            "libraryDecode $(median "$library" "$file") ms"
    done
fi
