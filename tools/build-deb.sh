#!/usr/bin/env bash
# Builds the program without its tests in build-deb/ (or the folder given) and makes the Debian
# package there; prints the package's path. Installing it is then apt's work (see the README).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-deb}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" >"$dir.log" 2>&1 || { tail -30 "$dir.log"; exit 1; }
rm -rf "$dir/package"
(cd "$dir" && cpack -G DEB) >>"$dir.log" 2>&1 || { tail -30 "$dir.log"; exit 1; }
ls "$PWD/$dir"/package/qivra_*.deb
