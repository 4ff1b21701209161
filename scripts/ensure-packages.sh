#!/usr/bin/env bash
# Installs the Debian packages Varnello needs to build, run and test, when any
# is missing. As root it uses apt-get; otherwise it prints the line to run.
set -euo pipefail

packages=(build-essential cmake ninja-build zlib1g-dev libgtest-dev qt6-base-dev
          python3 python3-mutagen clang-format libcli11-dev
          wine64 g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
    echo "Missing packages. Run:"
    echo "  sudo apt-get install -y ${missing[*]}"
    exit 1
fi
