#!/bin/sh
# Runs a program of the win64 build under Wine with the test prefix: the
# emulator CMake uses for every test of that build.
# With QUARNIMO_WINE_VERSION set (win98, nt40, win2k, ...) the prefix reports
# that Windows version (HKCU\Software\Wine, value Version) while the program
# runs, and Wine's own default again afterwards.
set -eu
export WINEPREFIX="${QUARNIMO_WINEPREFIX:-${TMPDIR:-/tmp}/quarnimo-wine-$(id -u)}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No winedbg: a crashing test would wait in the crash dialog until ctest's
# timeout instead of failing at once.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
export DISPLAY="${DISPLAY:-:${QUARNIMO_DISPLAY:-97}}"
version="${QUARNIMO_WINE_VERSION:-}"
[ -n "$version" ] || exec /usr/lib/wine/wine64 "$@"

wine_reg() {
  WINEDEBUG=-all /usr/lib/wine/wine64 reg "$@" >/dev/null 2>&1 </dev/null
}
trap 'wine_reg delete "HKCU\\Software\\Wine" /v Version /f || true' EXIT
trap 'exit 143' INT TERM
wine_reg add 'HKCU\Software\Wine' /v Version /d "$version" /f
status=0
/usr/lib/wine/wine64 "$@" || status=$?
exit $status
