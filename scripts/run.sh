#!/bin/sh
# Builds Quarnimo.exe (x86_64, which this host's Wine runs) and starts it under
# Wine. Without a display an Xvfb server is started for it.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc 2>/dev/null || echo 2)" --target Quarnimo

export WINEPREFIX="${WINEPREFIX:-$HOME/.quarnimo-wine}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:99
  sh scripts/xvfb.sh 99 1024x768 >/dev/null
  echo "no display given: running on Xvfb $DISPLAY (screenshot: xwd -root -display :99 | convert xwd:- shot.png)"
fi
[ -d "$WINEPREFIX" ] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
exec /usr/lib/wine/wine64 build/win64/app/Quarnimo.exe "$@"
