#!/bin/sh
# Builds all three trees and runs every test: the native unit tests against the
# simulated machine, and the Wine tests of the win64 build against real Win32.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
for preset in native win64 win32; do
  # CMake keeps the compiler a tree was first configured with: a tree made
  # before its toolchain file named another one is configured afresh.
  if [ "$preset" != native ] && [ -d "build/$preset/CMakeFiles" ]; then
    toolchain=cmake/mingw-$( [ "$preset" = win32 ] && echo i686 || echo x86_64 ).cmake
    compiler=$(sed -n 's/^set(CMAKE_CXX_COMPILER \(.*\))$/\1/p' "$toolchain")
    grep -qs "/$compiler\"" build/"$preset"/CMakeFiles/*/CMakeCXXCompiler.cmake || rm -rf "build/$preset"
  fi
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
