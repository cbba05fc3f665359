#!/bin/sh
# one run: $1 = option 0|2, $2 = par2|"" ; prints file time spans
set -eu
BENCH_WORK=rb1
set -- build/win64 93 1 "$@"
. "$(dirname "$0")/bench_common.sh"
opt=$4; p2=${5:-}
[ -f /tmp/q/src1g.bin ] || head -c $gib /dev/urandom > /tmp/q/src1g.bin
cp /tmp/q/src1g.bin "$work/source.bin"
run_quarnimo r "$opt" "$work/source.bin" $p2
echo "seconds=$seconds peak=$((peak_kb-idle_kb))"
cd "$work/r" && stat -c '%.3W %.3Y %n' * | sort -n | awk 'NR==1{t0=$1} {printf "%8.3f %8.3f %s\n", $1-t0, $2-t0, $3}' | cat
