#!/bin/sh
# Checks that a 32-bit Windows program imports only what tests/imports-95-nt4.txt
# allows: functions both Windows 95 and NT 4.0 export, per DLL. Prints every
# import that is not allowed and fails then.
# Usage: check-imports.sh FILE [ALLOWLIST]
set -eu
file=$1
allow=${2:-$(dirname "$0")/imports-95-nt4.txt}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

[ -f "$file" ] || { echo "check-imports: $file: missing" >&2; exit 1; }
imports=$(mktemp) allowed=$(mktemp)
trap 'rm -f "$imports" "$allowed"' EXIT

# "DLL function" per import, DLL names upper case.
"$objdump" -p "$file" | awk '
  /DLL Name:/ { dll = toupper($3); next }
  /^[ \t]*$/ { next }
  dll != "" && NF == 3 && $2 ~ /^[0-9]+$/ { print dll, $3 }
  /^The Export Tables|^PE File Base Relocations|^There is an export/ { dll = "" }
' | sort -u > "$imports"
awk '
  /^\[.*\]$/ { dll = toupper(substr($0, 2, length($0) - 2)); next }
  /^#/ || NF == 0 { next }
  dll != "" { print dll, $1 }
' "$allow" | sort -u > "$allowed"

[ -s "$imports" ] || { echo "check-imports: $file: no imports read" >&2; exit 1; }
extra=$(comm -23 "$imports" "$allowed")
count=$(wc -l < "$imports")
if [ -n "$extra" ]; then
  echo "check-imports: $file imports what Windows 95 or NT 4.0 does not export:" >&2
  echo "$extra" | sed 's/^/  /' >&2
  exit 1
fi
echo "check-imports: $file: $count imports, all exported by Windows 95 and NT 4.0"
