#!/usr/bin/env bash
# Installs the Debian 12 packages the programs need to build and run; with
# --test also those the whole test suite needs. Run as root.
set -euo pipefail

packages=(build-essential cmake file qt6-base-dev libgtest-dev libgmock-dev fonts-ipafont-gothic)
if [[ "${1:-}" == "--test" ]]; then
  packages+=(xvfb imagemagick iproute2 util-linux procps clang libclang-rt-14-dev
             g++-mingw-w64-x86-64 wine wine64 x11-utils xdotool xclip ccache lintian appstream)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
