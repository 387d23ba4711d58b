#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what .clang-format makes of it; `cmake --build build --target format`
# (or clang-format -i on the files it names) mends it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h')
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/lexorium-format.$$; then
    grep -E "^[^ ].*(warning|error):" /tmp/lexorium-format.$$ | cut -d: -f1 | sort -u | sed 's/^/not formatted: /' >&2
    rm -f /tmp/lexorium-format.$$
    exit 1
fi
rm -f /tmp/lexorium-format.$$
echo "format: ${#files[@]} files as .clang-format makes them"
