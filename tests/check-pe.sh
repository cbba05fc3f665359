#!/bin/sh
# Checks that a file is a 32-bit Windows GUI program: a PE32 image (not
# PE32+) for i386 with the Windows GUI subsystem (2), version 4 at most. Reads the header bytes
# with od, so it needs nothing beyond POSIX tools.
# Usage: check-pe.sh FILE
set -eu
file=$1

# Little-endian unsigned number of $2 bytes at offset $1.
number() {
  od -An -tu1 -j "$1" -N "$2" "$file" | awk '{ for (i = NF; i >= 1; i--) v = v * 256 + $i } END { print v + 0 }'
}

fail() {
  echo "check-pe: $file: $*" >&2
  exit 1
}

[ -f "$file" ] || fail "missing"
[ "$(number 0 2)" = 23117 ] || fail "no MZ header"  # "MZ"
pe=$(number 60 4)
[ "$(number "$pe" 4)" = 17744 ] || fail "no PE signature"  # "PE\0\0"
machine=$(number $((pe + 4)) 2)
magic=$(number $((pe + 24)) 2)
subsystem=$(number $((pe + 24 + 68)) 2)
# Windows 95 and NT 4.0 refuse to load a program that asks for a later system.
os_major=$(number $((pe + 24 + 40)) 2)
subsystem_major=$(number $((pe + 24 + 48)) 2)
[ "$magic" = 267 ] || fail "optional header magic $magic: not PE32 (267; PE32+ is 523)"
[ "$machine" = 332 ] || fail "machine $machine: not i386 (332)"
[ "$subsystem" = 2 ] || fail "subsystem $subsystem: not the Windows GUI (2)"
[ "$subsystem_major" -le 4 ] || fail "subsystem version $subsystem_major: Windows 95 and NT 4.0 load 4 and below"
[ "$os_major" -le 4 ] || fail "operating system version $os_major: Windows 95 and NT 4.0 load 4 and below"
echo "check-pe: $file: PE32 i386 GUI program for Windows 4.0"
