#!/bin/sh
# Installs what building and testing need, and only what is missing.
# Debian (bookworm) as root; a no-op on a machine that has everything.
set -eu

packages="cmake make g++ googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 xvfb x11-apps
  fonts-ipafont-gothic fonts-wine imagemagick xdotool locales par2"

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
fi

# Wine takes its Windows locale (and so the ANSI code page 932) from LC_ALL;
# the host needs the locale for Wine's own file-name conversion.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
