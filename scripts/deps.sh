#!/usr/bin/env bash
# Installs what building and testing Lumo needs on Debian 12 (run as root); a no-op when present.
set -euo pipefail
PKGS="cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libudev-dev libboost-dev pkg-config qt6-base-dev fonts-dejavu-core python3 file qemu-system-x86 busybox-static cpio ccache clang libclang-rt-14-dev"
missing=""
for p in $PKGS; do dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"; done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends $missing
fi
