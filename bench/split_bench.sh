#!/bin/sh
# Split benchmark: a 1 GiB file of random bytes split by the real Quarnimo.exe
# under Wine into 1.44 MB and 650 MB parts, beside this machine's cp of the
# same file and coreutils split into the same sizes. Prints MB/s (MiB of
# source a second) and peak memory. Not part of ctest: it takes minutes and
# needs about 4 GiB of free disk.
#
# Usage: bench/split_bench.sh [WIN64_BUILD_DIR [DISPLAY_NUMBER]]
#   WIN64_BUILD_DIR defaults to build/win64 (configured with the win64 preset);
#   the script builds Quarnimo.exe and the driver there.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build=$(cd "${1:-$source_dir/build/win64}" && pwd)
display=${2:-95}
size_bytes=$((1024 * 1024 * 1024))
work="$build/bench-work"
prefix="$build/bench-prefix"

cmake --build "$build" -j2 --target Quarnimo split_bench_driver >/dev/null
driver="$build/tests/wine/split_bench_driver.exe"

cleanup() {
  "$source_dir/tests/wine/prefix.sh" down "$prefix" "$display" >/dev/null 2>&1 || true
  rm -rf "$work" "$prefix"
}
trap cleanup EXIT INT TERM
"$source_dir/tests/wine/prefix.sh" up "$prefix" "$display" >/dev/null

rm -rf "$work"
mkdir -p "$work"
echo "making a 1 GiB source of random bytes..."
head -c "$size_bytes" /dev/urandom > "$work/source.bin"

now() { date +%s.%N; }
# rate SECONDS: MiB of the source a second
rate() { awk -v s="$1" -v b="$size_bytes" 'BEGIN { printf "%8.1f", b / 1048576 / s }'; }
report() { printf "%-34s %8.2f s %s MB/s  peak %7d kB\n" "$1" "$2" "$(rate "$2")" "$3"; }

# Runs a host command under /usr/bin/time; sets secs and peak (kB).
timed() {
  start=$(now)
  /usr/bin/time -f %M -o "$work/time.txt" "$@"
  end=$(now)
  secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
  peak=$(cat "$work/time.txt")
}

# Checks that the parts in $1 (named by the glob $2) join to the source.
check_join() {
  # shellcheck disable=SC2086
  if ! cat $1/$2 | cmp -s - "$work/source.bin"; then
    echo "the parts in $1 do not join to the source" >&2
    exit 1
  fi
}

run_quarnimo() {  # NAME OPTION
  out="$work/$1"
  mkdir -p "$out"
  result=$(QUARNIMO_WINEPREFIX="$prefix" QUARNIMO_BUILD_DIR="$build" DISPLAY=":$display" \
    "$source_dir/tests/wine/wine-run.sh" "$driver" \
    "Z:$(echo "$work/source.bin" | tr / '\\')" "Z:$(echo "$out" | tr / '\\')" "$2" "Z:$(echo "$work" | tr / '\\')")
  secs=$(echo "$result" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')
  peak=$(echo "$result" | sed -n 's/.*peak_kb=\([-0-9]*\).*/\1/p')
  check_join "$out" '*.[0-9][0-9][0-9]*'
  rm -rf "$out"
}

cat "$work/source.bin" > /dev/null  # every run starts from a warm cache

timed cp "$work/source.bin" "$work/copy.bin"
report "cp" "$secs" "$peak"
rm -f "$work/copy.bin"

mkdir -p "$work/s1"
timed split -b 1457664 -a 3 -d "$work/source.bin" "$work/s1/x."
check_join "$work/s1" 'x.*'
report "split -b 1457664" "$secs" "$peak"
rm -rf "$work/s1"

run_quarnimo q1 0
report "Quarnimo 1.44 MB parts (Wine)" "$secs" "$peak"

mkdir -p "$work/s2"
timed split -b 681984000 -a 3 -d "$work/source.bin" "$work/s2/x."
check_join "$work/s2" 'x.*'
report "split -b 681984000" "$secs" "$peak"
rm -rf "$work/s2"

run_quarnimo q2 2
report "Quarnimo 650 MB parts (Wine)" "$secs" "$peak"
