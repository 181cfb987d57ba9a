#!/usr/bin/env bash
# Installs what building, running and testing need on a Debian machine. Idempotent and
# quiet when everything is already there. Run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake ninja-build ccache g++ clang libclang-rt-14-dev clang-format
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  googletest libgtest-dev
  wine wine64 xvfb xdotool imagemagick socat python3 python3-pytest procps
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
