#!/usr/bin/env bash
# Builds Lexorium and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEXORIUM_BUILD_TESTS=OFF -DLEXORIUM_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)"
exec build/bin/lexorium "$@"
