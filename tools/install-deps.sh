#!/usr/bin/env bash
# Installs what building, running, packaging and testing QIVRA needs on Debian 12 (as root, or
# as a user with sudo: it asks for sudo only when not root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
$sudo_cmd apt-get update -qq
$sudo_cmd apt-get install -y -qq --no-install-recommends \
  build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
  libfltk1.3-dev libfltk-gl1.3 fluid libgl1-mesa-dri libglu1-mesa-dev libgl-dev \
  libosmesa6-dev libx11-dev xvfb xauth xdotool x11-utils x11-apps imagemagick openbox \
  ngircd inspircd iproute2 python3-irc fonts-dejavu-core libfreetype-dev procps psmisc \
  zlib1g-dev dpkg-dev desktop-file-utils appstream man-db xclip \
  clang libclang-rt-14-dev libssl-dev openssl atheme-services \
  libminiupnpc-dev libnatpmp-dev miniupnpd miniupnpd-iptables iptables conntrack \
  libpango1.0-dev libcairo2-dev fonts-noto-cjk fonts-noto-color-emoji >/dev/null
# The packaged servers start themselves; the tests start their own copies.
for s in ngircd inspircd miniupnpd; do
  $sudo_cmd systemctl stop "$s" >/dev/null 2>&1 || $sudo_cmd service "$s" stop >/dev/null 2>&1 || true
  $sudo_cmd pkill -x "$s" >/dev/null 2>&1 || true
done
