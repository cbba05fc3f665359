#!/bin/sh
# up: creates the Wine prefix of a test run and starts an X server for the
#     GUI tests; down: stops Wine (and the X server if this script started it).
# Usage: prefix.sh up|down PREFIX DISPLAYNUMBER
set -eu
action=$1 prefix=$2 display=$3
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" LC_ALL=ja_JP.UTF-8
export DISPLAY=":$display"
pidfile="$prefix.xvfb.pid"

case "$action" in
up)
  started=$(sh "$(dirname "$0")/../../scripts/xvfb.sh" "$display" 1280x1024)
  [ -z "$started" ] || echo "$started" > "$pidfile"
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  rm -rf "$prefix"
  mkdir -p "$prefix"
  # One persistent wineserver for the whole run instead of one per test. It
  # must start before wineboot: once a server runs, "wineserver -p" only
  # fails. Nothing Wine leaves running may hold ctest's output pipes, or
  # ctest waits for it: every background start is redirected.
  /usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 </dev/null
  # Wine draws the title bars itself (no window manager on Xvfb), so caption
  # and icon show in screenshots. Being a second start, it also lets the
  # services wineboot left starting settle before the first test.
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 </dev/null || true
  # Unmanaged windows close at once; managed ones wait about 2 s for a window
  # manager that Xvfb does not have.
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
  echo "wine prefix $prefix ready on display :$display"
  ;;
down)
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  if [ -f "$pidfile" ]; then
    kill "$(cat "$pidfile")" 2>/dev/null || true
    rm -f "$pidfile"
  fi
  ;;
esac
