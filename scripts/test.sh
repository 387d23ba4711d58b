#!/usr/bin/env bash
# Builds Lexorium and runs every test: on the embedded engine, and on a throw-away PostgreSQL cluster that
# this script starts on a loopback port and stops again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh --test
scripts/check-format.sh

build=${LEXORIUM_BUILD_DIR:-build}
# Warnings are errors on every machine, so that what passes here passes the CI build too.
# A compiler cache, where one is installed, lets several work trees share what is already compiled.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLEXORIUM_WERROR=ON "${launcher[@]}"
cmake --build "$build" -j"$(nproc)"

. scripts/throwaway-pg.sh
start_throwaway_pg "-c fsync=off -c full_page_writes=off"

export LEXORIUM_TEST_PG="127.0.0.1:$pg_port"
export LEXORIUM_TEST_PG_USER=lexorium
export LEXORIUM_TEST_PG_PASSWORD="$pg_password"
export LEXORIUM_REQUIRE_PG=1
# The server's own pg_dump and pg_restore, for the tests of restored backups.
export LEXORIUM_TEST_PG_BIN="$pgbin"
cd "$build"
ctest --output-on-failure -j2 "$@"
