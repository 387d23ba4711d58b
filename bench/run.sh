#!/usr/bin/env bash
# Runs the benchmarks on the embedded engine and on a throw-away PostgreSQL server started here on
# a loopback port (with fsync on, as a real server has it) and stopped again.
#
#   bench/run.sh [benchmark arguments]      e.g. LEXORIUM_BENCH_SIZES=2000,20000 bench/run.sh
#
# The build folder is LEXORIUM_BUILD_DIR (default build); the databases go to TMPDIR (default /tmp).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${LEXORIUM_BUILD_DIR:-build}
# LEXORIUM_BENCH chooses the benchmarks: any of store, search, merge, import and backup (the first four by
# default).
benches=()
for b in ${LEXORIUM_BENCH:-store search merge import}; do
    case $b in
        store) benches+=("$build/bin/bench_citation_store") ;;
        search) benches+=("$build/bin/bench_search") ;;
        merge) benches+=("$build/bin/bench_merge") ;;
        backup) benches+=("$build/bin/bench_backup") ;;
        import) benches+=("$build/bin/bench_import") ;;
        *) echo "Unknown benchmark $b" >&2; exit 1 ;;
    esac
done
for bench in "${benches[@]}"; do
    [ -x "$bench" ] || { echo "Build first: $bench is missing" >&2; exit 1; }
done
engines=${LEXORIUM_BENCH_ENGINES:-"sqlite postgres"}
# Filling and merging tens of thousands of citations outlasts the test framework's five minutes per function.
export QTEST_FUNCTION_TIMEOUT=${QTEST_FUNCTION_TIMEOUT:-7200000}

if [[ " $engines " == *" sqlite "* ]]; then
    for bench in "${benches[@]}"; do
        echo "== ${bench##*/}, embedded engine"
        LEXORIUM_TEST_ENGINE=sqlite "$bench" "$@"
    done
fi
[[ " $engines " == *" postgres "* ]] || exit 0

fsync=${LEXORIUM_BENCH_PG_FSYNC:-on}
. scripts/throwaway-pg.sh
start_throwaway_pg "-c fsync=$fsync -c shared_buffers=256MB"

for bench in "${benches[@]}"; do
    echo "== ${bench##*/}, PostgreSQL (fsync=$fsync)"
    LEXORIUM_TEST_ENGINE=postgres LEXORIUM_TEST_PG="127.0.0.1:$pg_port" LEXORIUM_TEST_PG_USER=lexorium \
        LEXORIUM_TEST_PG_PASSWORD="$pg_password" LEXORIUM_REQUIRE_PG=1 "$bench" "$@"
done
