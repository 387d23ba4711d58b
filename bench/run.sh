#!/usr/bin/env bash
# Runs the citation store and the search benchmarks on the embedded engine and on a throw-away PostgreSQL server started here on
# a loopback port (with fsync on, as a real server has it) and stopped again.
#
#   bench/run.sh [benchmark arguments]      e.g. LEXORIUM_BENCH_SIZES=2000,20000 bench/run.sh
#
# The build folder is LEXORIUM_BUILD_DIR (default build); the databases go to TMPDIR (default /tmp).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${LEXORIUM_BUILD_DIR:-build}
benches=${LEXORIUM_BENCHES:-"bench_citation_store bench_search"}
for b in $benches; do
    [ -x "$build/bin/$b" ] || { echo "Build first: $build/bin/$b is missing" >&2; exit 1; }
done
engines=${LEXORIUM_BENCH_ENGINES:-"sqlite postgres"}

if [[ " $engines " == *" sqlite "* ]]; then
    for b in $benches; do
        echo "== $b, embedded engine"
        LEXORIUM_TEST_ENGINE=sqlite "$build/bin/$b" "$@"
    done
fi
[[ " $engines " == *" postgres "* ]] || exit 0

fsync=${LEXORIUM_BENCH_PG_FSYNC:-on}
. scripts/throwaway-pg.sh
start_throwaway_pg "-c fsync=$fsync -c shared_buffers=256MB"

for b in $benches; do
    echo "== $b, PostgreSQL (fsync=$fsync)"
    LEXORIUM_TEST_ENGINE=postgres LEXORIUM_TEST_PG="127.0.0.1:$pg_port" LEXORIUM_TEST_PG_USER=lexorium \
        LEXORIUM_TEST_PG_PASSWORD="$pg_password" LEXORIUM_REQUIRE_PG=1 "$build/bin/$b" "$@"
done
