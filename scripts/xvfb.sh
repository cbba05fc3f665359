#!/bin/sh
# Makes sure an X server answers on display :N, starting Xvfb when none does;
# prints the pid of a server it started (nothing when one was running).
# Usage: xvfb.sh N WIDTHxHEIGHT
set -eu
display=$1 size=$2
# A server killed without cleaning up leaves its lock and socket behind; only
# a live process behind the lock means the display can be reused. Xvfb itself
# clears a stale lock.
owner=$(tr -d ' ' 2>/dev/null < "/tmp/.X$display-lock" || true)
if [ -n "$owner" ] && kill -0 "$owner" 2>/dev/null; then exit 0; fi
rm -f "/tmp/.X11-unix/X$display"
Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp </dev/null >/dev/null 2>&1 &
echo $!
i=0
while [ ! -e "/tmp/.X11-unix/X$display" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
