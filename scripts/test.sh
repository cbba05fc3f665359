#!/bin/sh
# Builds all three trees and runs every test: the native unit tests against the
# simulated machine, and the Wine tests of the win64 build against real Win32.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
for preset in native win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

status=0
# The shipped program must be a 32-bit (PE32, not PE32+) Windows GUI program.
sh tests/check-pe.sh build/win32/app/Quarnimo.exe || status=1
# It imports only what Windows 95 and NT 4.0 both export (tests/imports-95-nt4.txt).
sh tests/check-imports.sh build/win32/app/Quarnimo.exe || status=1
ctest --test-dir build/native --output-on-failure -j "$jobs" || status=1
# The Wine tests share one prefix and one X display; they run one at a time.
ctest --test-dir build/win64 --output-on-failure || status=1
exit $status
