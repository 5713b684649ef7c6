#!/usr/bin/env bash
# Installs what building, running, packaging and testing QIVRA needs on Debian 12 (as root, or
# as a user with sudo: it asks for sudo only when not root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
$sudo_cmd apt-get update -qq

# The IRC servers and miniupnpd come as packages whose services start themselves; the tests
# start copies of their own. Only the services of the packages this run installs are kept
# from starting (and from starting at boot): a server the user already runs is left alone,
# and no process is ever stopped by its name.
servers="ngircd inspircd miniupnpd"
fresh=""
for p in $servers; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q " installed$" || fresh="$fresh $p"
done
# invoke-rc.d and deb-systemd-invoke ask policy-rc.d before a package's maintainer scripts
# start a service; 101 forbids it. One the machine already has is honoured and left in place.
policy=/usr/sbin/policy-rc.d
own_policy=""
if [ -n "$fresh" ] && [ ! -e "$policy" ]; then
  own_policy=1
  trap '$sudo_cmd rm -f "$policy"' EXIT
  # shellcheck disable=SC2016  # the script's own "$@" and "$word", not this one's
  printf '%s\n' '#!/bin/sh' '# Written by QIVRA'"'"'s tools/install-deps.sh for the length of its apt run.' \
    'for word in "$@"; do' \
    '  case "$word" in ngircd|ngircd.service|inspircd|inspircd.service|miniupnpd|miniupnpd.service) exit 101 ;; esac' \
    'done' 'exit 0' | $sudo_cmd tee "$policy" >/dev/null
  $sudo_cmd chmod 755 "$policy"
fi
$sudo_cmd apt-get install -y -qq --no-install-recommends \
  build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
  libfltk1.3-dev libfltk-gl1.3 fluid libgl1-mesa-dri libglu1-mesa-dev libgl-dev \
  libosmesa6-dev libx11-dev xvfb xauth xdotool x11-utils x11-apps imagemagick openbox \
  ngircd inspircd iproute2 python3-irc fonts-dejavu-core libfreetype-dev procps psmisc \
  zlib1g-dev dpkg-dev desktop-file-utils appstream man-db xclip \
  clang libclang-rt-14-dev libssl-dev openssl atheme-services \
  libsodium-dev libminiupnpc-dev libnatpmp-dev miniupnpd miniupnpd-iptables iptables conntrack \
  libpango1.0-dev libcairo2-dev fonts-noto-cjk fonts-noto-color-emoji >/dev/null
if [ -n "$own_policy" ]; then
  $sudo_cmd rm -f "$policy"
  trap - EXIT
fi
for s in $fresh; do
  if [ -d /run/systemd/system ]; then
    $sudo_cmd systemctl disable --now "$s.service" >/dev/null 2>&1 || true
  else  # no systemd running (a container): the package's init script and its boot links
    $sudo_cmd service "$s" stop >/dev/null 2>&1 || true
    $sudo_cmd update-rc.d "$s" disable >/dev/null 2>&1 || true
  fi
done
