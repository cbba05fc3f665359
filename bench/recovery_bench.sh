#!/bin/sh
# Recovery-data benchmark. A 1 GiB file of random bytes is split into
# 1.44 MB and into 650 MB parts by the real Quarnimo.exe under Wine, with the
# recovery-data option off and on; then par2cmdline's `par2 create` makes the
# same recovery data for the same parts (the same slice size, two recovery
# slices in two files, both cores). Interleaved rounds, medians. The split
# times run from the click on the split button to the end message; what the
# option adds is the difference. Also prints the peak memory of the split
# with the option on, against the idle window's.
#
# Target: what the option adds is at most half of par2 create's time.
# Not part of ctest: it takes minutes and about 4 GB of disk.
# Usage: bench/recovery_bench.sh [WIN64_BUILD_DIR [DISPLAY_NUMBER [ROUNDS]]]
set -eu
BENCH_WORK=recovery-bench
. "$(dirname "$0")/bench_common.sh"

command -v par2 >/dev/null || { echo "par2 (par2cmdline) is needed" >&2; exit 1; }

# The slice size Quarnimo chooses: half the part, rounded up to 4 bytes.
slice_of() { echo $(((($1 + 1) / 2 + 3) / 4 * 4)); }

echo "making a 1 GiB source of random bytes..."
head -c "$gib" /dev/urandom > "$work/source.bin"

round=1
while [ "$round" -le "$rounds" ]; do
  echo "round $round of $rounds"
  for size in fd cd; do
    if [ "$size" = fd ]; then option=0 bytes=$fd_part; else option=2 bytes=$cd_part; fi
    run_quarnimo off "$option" "$work/source.bin"
    record "off_$size" "$seconds"

    run_quarnimo on "$option" "$work/source.bin" par2
    record "on_$size" "$seconds"
    record "idle_kb_$size" "$idle_kb"
    record "peak_kb_$size" "$peak_kb"
    check_join "$work/on" "$work/source.bin"
    (cd "$work/on" && par2 verify -q source.par2 >/dev/null) || { echo "par2 rejects the $size set" >&2; exit 1; }
    rm -rf "$work/on"

    # The same recovery data from the option-off parts.
    settle "$work/source.bin"
    cat "$work/off"/source.* > /dev/null
    start=$(date +%s.%N)
    (cd "$work/off" && par2 create -q -q -s"$(slice_of "$bytes")" -c2 -n2 source.par2 source.[0-9]* >/dev/null)
    end=$(date +%s.%N)
    record "par2_$size" "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')"
    rm -rf "$work/off"
  done
  round=$((round + 1))
done


echo
echo "1 GiB of random bytes, medians of $rounds interleaved rounds (seconds)"
printf "%-10s %10s %10s %10s %12s %14s\n" parts "option off" "option on" added "par2 create" "added/par2"
for size in fd cd; do
  off=$(median "off_$size") on=$(median "on_$size") p=$(median "par2_$size")
  label="1.44 MB"; [ "$size" = cd ] && label="650 MB"
  printf "%-10s %10s %10s %10s %12s %14s\n" "$label" "$off" "$on" \
    "$(awk -v a="$on" -v b="$off" 'BEGIN { printf "%.3f", a - b }')" "$p" \
    "$(awk -v a="$on" -v b="$off" -v p="$p" 'BEGIN { printf "%.2f", (a - b) / p }')"
done
echo
print_rounds off_fd on_fd par2_fd off_cd on_cd par2_cd
echo
print_memory "Peak memory of Quarnimo's Wine process with the option on (VmHWM, medians)"
