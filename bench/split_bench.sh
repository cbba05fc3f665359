#!/bin/sh
# Split benchmark. A 1 GiB file of random bytes is split into 1.44 MB and
# 650 MB parts by the real Quarnimo.exe under Wine, by a plain
# ReadFile/WriteFile loop under Wine that writes the same parts through one
# buffer (plain_split.exe: the platform's limit), and by coreutils split;
# cp copies it whole. Three interleaved rounds, medians. Every time runs from
# the first part's creation to the last part's last write, read from the
# files' birth and modification times, so program start-up and end messages
# do not count. Then a 2,000,000,000-byte file is split into 1.44 MB parts and
# the mean time per part of the first and of the last 100 parts is printed:
# it must not grow with the parts already in the folder.
#
# Not part of ctest: it takes several minutes and needs about 6 GB of disk.
# Usage: bench/split_bench.sh [WIN64_BUILD_DIR [DISPLAY_NUMBER [ROUNDS]]]
#   WIN64_BUILD_DIR defaults to build/win64 (configured with the win64 preset);
#   the script builds Quarnimo.exe, the driver and the plain loop there.
#   QUARNIMO_BENCH_EXE=path/Quarnimo.exe measures that program instead of the
#   build's own (an older one, say), with the same driver and plain loop.
set -eu
. "$(dirname "$0")/bench_common.sh"

run_plain() {  # NAME PARTBYTES SOURCE
  out="$work/$1"
  rm -rf "$out" && mkdir -p "$out"
  settle "$3"
  wine_run "$plain" "$(winpath "$3")" "$(winpath "$out")\\source." "$2"
}

run_split() {  # NAME PARTBYTES SOURCE
  out="$work/$1"
  rm -rf "$out" && mkdir -p "$out"
  settle "$3"
  split -b "$2" -a 3 --numeric-suffixes=1 "$3" "$out/source."
}

echo "making a 1 GiB source of random bytes..."
head -c "$gib" /dev/urandom > "$work/source.bin"
cat "$work/source.bin" > /dev/null  # every run starts from a warm cache

round=1
while [ "$round" -le "$rounds" ]; do
  echo "round $round of $rounds"
  for size in fd cd; do
    if [ "$size" = fd ]; then option=0 bytes=$fd_part; else option=2 bytes=$cd_part; fi
    run_quarnimo q "$option" "$work/source.bin"
    record "quarnimo_$size" "$(span "$work/q")"
    record "idle_kb_$size" "$idle_kb"
    record "peak_kb_$size" "$peak_kb"
    check_join "$work/q" "$work/source.bin"
    rm -rf "$work/q"

    run_plain p "$bytes" "$work/source.bin"
    record "plain_$size" "$(span "$work/p")"
    check_join "$work/p" "$work/source.bin"
    rm -rf "$work/p"

    run_split s "$bytes" "$work/source.bin"
    record "split_$size" "$(span "$work/s")"
    rm -rf "$work/s"
  done
  rm -f "$work/copy.bin"
  settle "$work/source.bin"
  cp "$work/source.bin" "$work/copy.bin"
  record cp "$(stat -c '%.9W %.9Y' "$work/copy.bin" | awk '{ printf "%.3f", $2 - $1 }')"
  rm -f "$work/copy.bin"
  round=$((round + 1))
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo
echo "1 GiB of random bytes, medians of $rounds interleaved rounds (seconds from the first part's creation to the last part's last write)"
printf "%-12s %10s %10s %10s %10s %12s %12s\n" parts Quarnimo plain split "Q/plain" "Q/split" "cp (whole)"
for size in fd cd; do
  q=$(median "quarnimo_$size") p=$(median "plain_$size") s=$(median "split_$size")
  label="1.44 MB"; [ "$size" = cd ] && label="650 MB"
  printf "%-12s %10s %10s %10s %10s %12s %12s\n" "$label" "$q" "$p" "$s" "$(ratio "$q" "$p")" "$(ratio "$q" "$s")" "$(median cp)"
done
echo
print_rounds quarnimo_fd plain_fd split_fd quarnimo_cd plain_cd split_cd cp
echo
print_memory "Peak memory of Quarnimo's Wine process (VmHWM, medians)"

# Mean seconds a part of the parts FROM..TO (in part order) in folder $1 took:
# from the previous part's last write (the first part: its birth) to its own.
per_part() {
  # shellcheck disable=SC2046
  stat -c '%.9W %.9Y' $(parts_in_order "$1") | awk -v from="$2" -v to="$3" '
    { done_at[NR] = $2; born[NR] = $1 }
    END {
      if (to > NR) to = NR
      for (i = from; i <= to; i++) total += done_at[i] - (i == 1 ? born[1] : done_at[i - 1])
      printf "%.2f", 1000 * total / (to - from + 1)
    }'
}

echo
echo "making a 2,000,000,000-byte source..."
rm -f "$work/source.bin"
head -c 2000000000 /dev/urandom > "$work/big.bin"
cat "$work/big.bin" > /dev/null
run_quarnimo q 0 "$work/big.bin"
count=$(parts_in_order "$work/q" | wc -l)
printf "Quarnimo, %d parts of 1.44 MB: first 100 parts %s ms a part, last 100 parts %s ms a part\n" "$count" \
  "$(per_part "$work/q" 1 100)" "$(per_part "$work/q" $((count - 99)) "$count")"
check_join "$work/q" "$work/big.bin"
rm -rf "$work/q"
run_plain p "$fd_part" "$work/big.bin"
printf "plain loop, %d parts of 1.44 MB: first 100 parts %s ms a part, last 100 parts %s ms a part\n" "$count" \
  "$(per_part "$work/p" 1 100)" "$(per_part "$work/p" $((count - 99)) "$count")"
rm -rf "$work/p"
