#!/usr/bin/env bash
# Installs the Debian packages Lexorium needs to build, run (and, with --test, to test) when any is missing.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql
          libgl-dev libmspack-dev fp-utils libxlsxwriter-dev libminizip-dev)
if [ "${1:-}" = "--test" ]; then
    packages+=(postgresql poppler-utils python3-xlrd python3-openpyxl sqlite3 clang-format desktop-file-utils
               appstream)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
