#!/bin/sh
# Runs a program of the win64 build under Wine with the test prefix: the
# emulator CMake uses for every test of that build.
set -eu
export WINEPREFIX="${QUARNIMO_WINEPREFIX:-${TMPDIR:-/tmp}/quarnimo-wine-$(id -u)}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No winedbg: a crashing test would wait in the crash dialog until ctest's
# timeout instead of failing at once.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
export DISPLAY="${DISPLAY:-:${QUARNIMO_DISPLAY:-97}}"
exec /usr/lib/wine/wine64 "$@"
