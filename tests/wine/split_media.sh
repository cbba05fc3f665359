#!/bin/sh
# Real media for the split tests under Wine, made of small tmpfs mounts:
# three 1.44 MB floppy disks (fd1..fd3) for drive A:, which Wine reports as
# removable, and a 3 MB disk for drive M:, a fixed drive that fills up.
#
# Usage: split_media.sh ACTION BUILD_DIR PREFIX [N]
#   up          mounts everything and maps the drives (a ctest fixture)
#   down        unmaps and unmounts everything, whatever state it is in
#   insert N    puts floppy N into drive A:
#   eject       leaves drive A: without a disk
#   protect N   makes floppy N write-protected; unprotect N undoes it
#   format N    empties floppy N (and makes it writable)
#   wipe        empties the fixed disk of drive M:
# Where mounting is impossible (not root, no permission), "up" writes the
# reason to MEDIA/unavailable and succeeds, and the tests skip their media
# cases with that reason.
set -u
action=$1 build=$2 prefix=$3 n=${4:-}
media="$build/split-media"

# Wine as the tests run it (locale, display, no debugger), in this prefix.
wine_reg() {
  QUARNIMO_WINEPREFIX="$prefix" "$(dirname "$0")/wine-run.sh" reg "$@" >/dev/null 2>&1 </dev/null
}

unmount_all() {
  for dir in "$media"/fd1 "$media"/fd2 "$media"/fd3 "$media"/full; do
    if mountpoint -q "$dir" 2>/dev/null; then
      umount "$dir" 2>/dev/null || umount -l "$dir" 2>/dev/null || true
    fi
  done
}

case "$action" in
up)
  rm -f "$prefix/dosdevices/a:" "$prefix/dosdevices/m:"
  unmount_all
  rm -rf "$media"
  mkdir -p "$media"
  reason=""
  if [ "$(id -u)" != 0 ]; then
    reason="mounting the test disks needs root (uid $(id -u))"
  else
    for disk in fd1:1457664 fd2:1457664 fd3:1457664 full:3145728; do
      mkdir -p "$media/${disk%:*}"
      if ! err=$(mount -t tmpfs -o "size=${disk#*:},mode=0777" tmpfs "$media/${disk%:*}" 2>&1); then
        reason="cannot mount a tmpfs: $err"
        break
      fi
    done
  fi
  if [ -n "$reason" ]; then
    unmount_all
    echo "$reason" > "$media/unavailable"
    echo "split media unavailable: $reason"
    exit 0
  fi
  ln -sfn "$media/fd1" "$prefix/dosdevices/a:"
  ln -sfn "$media/full" "$prefix/dosdevices/m:"
  wine_reg add 'HKLM\Software\Wine\Drives' /v a: /d floppy /f
  # Wine's mount manager learns the drives and their types when it starts:
  # restart the prefix's server (persistent again, as the prefix fixture
  # left it) so that it starts anew and sees A: as a floppy drive.
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w 2>/dev/null || true
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null
  # A first Wine program from here, with its output going nowhere: the
  # services Wine starts with it must not inherit a test's output pipe, on
  # which ctest would wait forever.
  wine_reg query 'HKLM\Software\Wine\Drives' /v a:
  echo "split media ready in $media: A: floppy, M: 3 MB fixed disk"
  ;;
down)
  rm -f "$prefix/dosdevices/a:" "$prefix/dosdevices/m:"
  wine_reg delete 'HKLM\Software\Wine\Drives' /v a: /f || true
  unmount_all
  rm -rf "$media"
  ;;
insert) ln -sfn "$media/fd$n" "$prefix/dosdevices/a:" ;;
eject) ln -sfn "$media/no-disk" "$prefix/dosdevices/a:" ;;
protect) mount -o remount,ro "$media/fd$n" ;;
unprotect) mount -o remount,rw "$media/fd$n" ;;
format) mount -o remount,rw "$media/fd$n" && find "$media/fd$n" -mindepth 1 -delete ;;
wipe) find "$media/full" -mindepth 1 -delete ;;
*)
  echo "usage: $0 up|down|insert|eject|protect|unprotect|format|wipe BUILD_DIR PREFIX [N]" >&2
  exit 2
  ;;
esac
