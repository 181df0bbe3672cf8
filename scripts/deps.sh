#!/usr/bin/env bash
# Installs what the build needs on a Debian machine, only where it is missing.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
          zlib1g-dev libminizip-dev libxml2-utils pkg-config libcairo2-dev libpango1.0-dev fonts-dejavu-core
          fonts-wine chromium-headless-shell libgtk-3-dev libxtst-dev xvfb xauth
          python3 clang-format)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
