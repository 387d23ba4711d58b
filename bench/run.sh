#!/usr/bin/env bash
# Runs the citation store benchmark on the embedded engine and on a throw-away PostgreSQL server started here on
# a loopback port (with fsync on, as a real server has it) and stopped again.
#
#   bench/run.sh [benchmark arguments]      e.g. LEXORIUM_BENCH_SIZES=2000,20000 bench/run.sh
#
# The build folder is LEXORIUM_BUILD_DIR (default build); the databases go to TMPDIR (default /tmp).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${LEXORIUM_BUILD_DIR:-build}
bench="$build/bin/bench_citation_store"
[ -x "$bench" ] || { echo "Build first: $bench is missing" >&2; exit 1; }
engines=${LEXORIUM_BENCH_ENGINES:-"sqlite postgres"}

if [[ " $engines " == *" sqlite "* ]]; then
    echo "== embedded engine"
    LEXORIUM_TEST_ENGINE=sqlite "$bench" "$@"
fi
[[ " $engines " == *" postgres "* ]] || exit 0

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$pgbin/initdb" ] || { echo "PostgreSQL server binaries not found" >&2; exit 1; }
runas=()
[ "$(id -u)" -eq 0 ] && runas=(runuser -u postgres --) # the server refuses to run as root
pgdir=$(mktemp -d "${TMPDIR:-/tmp}/lexorium-bench-pg.XXXXXX")
chmod 755 "$pgdir"
[ ${#runas[@]} -gt 0 ] && chown postgres "$pgdir"
pass="lexorium-bench-$$"
cleanup() {
    "${runas[@]}" "$pgbin/pg_ctl" -D "$pgdir/data" -m fast stop >/dev/null 2>&1 || true
    rm -rf "$pgdir"
}
trap cleanup EXIT
echo "$pass" > "$pgdir/pw"
[ ${#runas[@]} -gt 0 ] && chown postgres "$pgdir/pw"
"${runas[@]}" "$pgbin/initdb" -D "$pgdir/data" -U lexorium --pwfile="$pgdir/pw" --auth=scram-sha-256 \
    -E UTF8 --locale=C.UTF-8 >/dev/null
fsync=${LEXORIUM_BENCH_PG_FSYNC:-on}
started=""
for try in 0 1 2 3 4 5 6 7; do
    port=$((55000 + (RANDOM % 1000)))
    if "${runas[@]}" "$pgbin/pg_ctl" -D "$pgdir/data" -w -l "$pgdir/log" \
        -o "-p $port -k $pgdir -c listen_addresses=127.0.0.1 -c fsync=$fsync -c shared_buffers=256MB" \
        start >/dev/null; then
        started=yes
        break
    fi
done
[ -n "$started" ] || { echo "The PostgreSQL server did not start:" >&2; cat "$pgdir/log" >&2; exit 1; }

echo "== PostgreSQL (fsync=$fsync)"
LEXORIUM_TEST_ENGINE=postgres LEXORIUM_TEST_PG="127.0.0.1:$port" LEXORIUM_TEST_PG_USER=lexorium \
    LEXORIUM_TEST_PG_PASSWORD="$pass" LEXORIUM_REQUIRE_PG=1 "$bench" "$@"
