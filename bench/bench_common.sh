#!/bin/sh
# What the benchmarks share: the build, a Wine prefix of their own on their
# own display, the source's warm start, the real program driven through the
# driver, and the span of a split read from its files' times. Sourced with
# BENCH_WORK naming the work folder's name under the build tree.

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build=$(cd "${1:-$source_dir/build/win64}" && pwd)
display=${2:-95}
rounds=${3:-3}
gib=$((1024 * 1024 * 1024))
fd_part=1457664
cd_part=681984000
work="$build/${BENCH_WORK:-bench-work}"
prefix="$build/${BENCH_WORK:-bench-work}-prefix"

cmake --build "$build" -j2 --target Quarnimo split_bench_driver plain_split >/dev/null
driver="$build/tests/wine/split_bench_driver.exe"
plain="$build/tests/wine/plain_split.exe"

cleanup() {
  "$source_dir/tests/wine/prefix.sh" down "$prefix" "$display" >/dev/null 2>&1 || true
  rm -rf "$work" "$prefix"
}
trap cleanup EXIT INT TERM
"$source_dir/tests/wine/prefix.sh" up "$prefix" "$display" >/dev/null

rm -rf "$work"
mkdir -p "$work"
results="$work/results.txt"
: > "$results"

# printf, not echo: dash's echo would read the backslashes as escapes.
winpath() { printf 'Z:%s\n' "$(echo "$1" | tr / '\\')"; }
# The driver takes the program from app\Quarnimo.exe of this folder.
program_dir=$build
if [ -n "${QUARNIMO_BENCH_EXE:-}" ]; then
  program_dir="$work/program"
  mkdir -p "$program_dir/app"
  cp "$QUARNIMO_BENCH_EXE" "$program_dir/app/Quarnimo.exe"
fi
wine_run() {
  QUARNIMO_WINEPREFIX="$prefix" QUARNIMO_BUILD_DIR="$program_dir" DISPLAY=":$display" \
    "$source_dir/tests/wine/wine-run.sh" "$@"
}

# The files of folder $1 in part order (by the number after the last dot).
parts_in_order() { ls "$1" | grep -E '\.[0-9]{3,}$' | sort -t. -k2,2n | sed "s|^|$1/|"; }

# Seconds from the first file's birth to the last modification of any file in $1.
span() {
  # shellcheck disable=SC2046
  stat -c '%.9W %.9Y' $(parts_in_order "$1") |
    awk 'NR == 1 || $1 < first { first = $1 } $2 > last { last = $2 } END { printf "%.3f", last - first }'
}

# Checks that the parts in $1 join to $2.
check_join() {
  # shellcheck disable=SC2046
  if ! cat $(parts_in_order "$1") | cmp -s - "$2"; then
    echo "the parts in $1 do not join to $2" >&2
    exit 1
  fi
}

record() { echo "$1 $2" >> "$results"; }  # NAME SECONDS
median() { awk -v k="$1" '$1 == k { print $2 }' "$results" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

# Every round's time of each KEY given, in the order they ran.
print_rounds() {
  echo "Each round's times (seconds), in the order they ran"
  for key in "$@"; do
    printf "%-12s %s\n" "$key" "$(awk -v k="$key" '$1 == k { printf "%s ", $2 }' "$results")"
  done
}

# The peak memory medians of the 1.44 MB and the 650 MB runs, under TITLE.
print_memory() {
  echo "$1"
  for size in fd cd; do
    label="1.44 MB"; [ "$size" = cd ] && label="650 MB"
    idle=$(median "idle_kb_$size") peak=$(median "peak_kb_$size")
    printf "%-12s idle window %8s MiB   during the split %8s MiB   difference %6s MiB\n" "$label" \
      "$(mib "$idle")" "$(mib "$peak")" "$(mib $((peak - idle)))"
  done
}

# Every run starts with nothing dirty in the page cache (the source just
# written, or an earlier run's parts, would be written back during the run
# and throttle it) and with the source read just before: this machine pages
# out memory it finds idle, and whichever tool ran first in a round would
# otherwise read the source from disk for the others.
# A rest before each run, too: on this shared machine a run that follows
# seconds of full load (par2 create's, say) ran up to 40% slower than the
# same run after a pause.
settle() { sync; cat "$1" > /dev/null; sleep "${BENCH_REST:-10}"; }

# NAME OPTION SOURCE [par2]: splits SOURCE with the size option into
# $work/NAME, with recovery data when asked; sets seconds (click to end
# message), idle_kb and peak_kb.
run_quarnimo() {
  out="$work/$1"
  rm -rf "$out" && mkdir -p "$out"
  settle "$3"
  line=$(wine_run "$driver" "$(winpath "$3")" "$(winpath "$out")" "$2" "$(winpath "$work")" ${4:-})
  seconds=$(echo "$line" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')
  idle_kb=$(echo "$line" | sed -n 's/.*idle_kb=\([-0-9]*\).*/\1/p')
  peak_kb=$(echo "$line" | sed -n 's/.*peak_kb=\([-0-9]*\).*/\1/p')
  [ -n "${KEEP_BAT:-}" ] || rm -f "$out"/*.bat
}

