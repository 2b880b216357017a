#!/usr/bin/env bash
# Installs what building and testing Zol needs on Debian 12 (run as root).
# Idempotent: packages already present are not fetched again.
set -euo pipefail
# The image codecs' libraries, and the tools their oracle tests run.
# libcurl carries HTTP; xclip and Xvfb let the clipboard tests reach a desktop
# clipboard on a virtual display.
packages=(g++ cmake ninja-build libgtest-dev googletest clang libclang-rt-14-dev libfuzzer-14-dev libssl-dev python3 tmux
          libpng-dev libjpeg62-turbo-dev libtiff-dev libgif-dev zlib1g-dev netpbm libtiff-tools libpng-tools
          libcurl4-openssl-dev xclip xvfb)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
