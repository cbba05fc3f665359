#!/bin/sh
# Starts the real Quarnimo.exe with Wine reporting another Windows version and
# its relay trace on, closes it once the window is up, and checks which
# functions the program itself called: on the 9x line (win98) the A functions
# and no W function, on the NT line the W functions for its windows and files.
# Usage: relay_start.sh VERSION PROGRAM WORKDIR
set -eu
version=$1 program=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
cp "$program" "$work/Quarnimo.exe"
log="$work/relay.log"

QUARNIMO_WINE_VERSION="$version" WINEDEBUG=+relay "$here/wine-run.sh" "$work/Quarnimo.exe" \
  >/dev/null 2>"$log" </dev/null &
pid=$!
# The window is up once the program has shown it; 60 s at most.
i=0
while ! grep -q 'Call user32.ShowWindow' "$log" 2>/dev/null && [ $i -lt 600 ] && kill -0 $pid 2>/dev/null; do
  sleep 0.1
  i=$((i + 1))
done
sleep 2
# Closed as a person would; forced when it does not go within 10 s.
for force in "" /f; do
  QUARNIMO_WINE_VERSION= "$here/wine-run.sh" taskkill $force /im Quarnimo.exe >/dev/null 2>&1 </dev/null || true
  i=0
  while kill -0 $pid 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
  kill -0 $pid 2>/dev/null || break
done
wait $pid 2>/dev/null || true

# Calls whose return address lies inside the program's image: "dll.Function".
base=$(x86_64-w64-mingw32-objdump -p "$program" | awk '/^ImageBase/ { print $2 }')
size=$(x86_64-w64-mingw32-objdump -p "$program" | awk '/^SizeOfImage/ { print $2 }')
own=$(awk -v base="$base" -v size="$size" '
  function hex(s,   i, c, v) { v = 0; s = tolower(s); sub(/^0x/, "", s)
    for (i = 1; i <= length(s); i++) { c = index("0123456789abcdef", substr(s, i, 1)) - 1; v = v * 16 + c }
    return v }
  BEGIN { lo = hex(base); hi = lo + hex(size) }
  /:Call / && / ret=/ {
    name = $0; sub(/^[^:]*:Call /, "", name); sub(/\(.*/, "", name)
    dot = index(name, "."); name = tolower(substr(name, 1, dot)) substr(name, dot + 1)
    ret = $0; sub(/.* ret=/, "", ret); sub(/[^0-9a-fA-F].*/, "", ret)
    r = hex(ret); if (r >= lo && r < hi) print name
  }' "$log" | sort -u)

fail=0
expect() {  # expect PRESENT|ABSENT dll.Function...
  mode=$1
  shift
  for f in "$@"; do
    if echo "$own" | grep -qx "$f"; then found=1; else found=0; fi
    if [ "$mode" = PRESENT ] && [ $found = 0 ]; then echo "relay $version: the program never called $f" >&2; fail=1; fi
    if [ "$mode" = ABSENT ] && [ $found = 1 ]; then echo "relay $version: the program called $f" >&2; fail=1; fi
  done
}
[ -n "$own" ] || { echo "relay $version: no call of the program in the trace ($log)" >&2; exit 1; }
case "$version" in
win9*|winme)
  expect PRESENT user32.RegisterClassExA user32.CreateWindowExA user32.SendMessageA user32.GetMessageA \
    user32.DispatchMessageA user32.SetWindowTextA kernel32.GetModuleFileNameA kernel32.GetFileAttributesA
  wide=$(echo "$own" | grep -E '^[a-z0-9_]+\.[A-Za-z0-9_]*[a-z0-9]W$' || true)
  if [ -n "$wide" ]; then
    echo "relay $version: the program called W functions the 9x line lacks:" >&2
    echo "$wide" | sed 's/^/  /' >&2
    fail=1
  fi
  ;;
*)
  expect PRESENT user32.RegisterClassExW user32.CreateWindowExW user32.SendMessageW user32.GetMessageW \
    kernel32.GetModuleFileNameW kernel32.GetFileAttributesW
  expect ABSENT user32.CreateWindowExA user32.RegisterClassExA user32.SetWindowTextA
  ;;
esac
[ $fail = 0 ] || exit 1
echo "relay $version: $(echo "$own" | wc -l) functions called by the program, of the kind this version takes"
rm -f "$log"
