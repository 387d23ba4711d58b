#!/usr/bin/env bash
# Builds Lexorium and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEXORIUM_BUILD_TESTS=OFF -DLEXORIUM_BUILD_BENCH=OFF
cmake --build build-app -j"$(nproc)"
exec build-app/bin/lexorium "$@"
