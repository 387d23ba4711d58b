#!/usr/bin/env bash
# Builds Lexorium and runs every test: on the embedded engine, and on a throw-away PostgreSQL cluster that
# this script starts on a loopback port and stops again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh --test

build=${LEXORIUM_BUILD_DIR:-build}
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLEXORIUM_WERROR=$werror
cmake --build "$build" -j"$(nproc)"

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$pgbin/initdb" ] || { echo "PostgreSQL server binaries not found" >&2; exit 1; }
runas=()
if [ "$(id -u)" -eq 0 ]; then
    # The server refuses to run as root.
    runas=(runuser -u postgres --)
fi
pgdir=$(mktemp -d /tmp/lexorium-pg.XXXXXX)
chmod 755 "$pgdir"
[ ${#runas[@]} -gt 0 ] && chown postgres "$pgdir"
pass="lexorium-test-$$"
cleanup() {
    "${runas[@]}" "$pgbin/pg_ctl" -D "$pgdir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$pgdir"
}
trap cleanup EXIT
echo "$pass" > "$pgdir/pw"
[ ${#runas[@]} -gt 0 ] && chown postgres "$pgdir/pw"
"${runas[@]}" "$pgbin/initdb" -D "$pgdir/data" -U lexorium --pwfile="$pgdir/pw" --auth=scram-sha-256 \
    -E UTF8 --locale=C.UTF-8 >/dev/null
# Another run may hold a port: try a few.
started=""
for try in 0 1 2 3 4 5 6 7; do
    port=${LEXORIUM_TEST_PG_PORT:-$((54000 + (RANDOM % 1000)))}
    if "${runas[@]}" "$pgbin/pg_ctl" -D "$pgdir/data" -w -l "$pgdir/log" \
        -o "-p $port -k $pgdir -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off" start >/dev/null; then
        started=yes
        break
    fi
    [ -n "${LEXORIUM_TEST_PG_PORT:-}" ] && break
done
if [ -z "$started" ]; then
    echo "The test PostgreSQL server did not start:" >&2
    cat "$pgdir/log" >&2 || true
    exit 1
fi

export LEXORIUM_TEST_PG="127.0.0.1:$port"
export LEXORIUM_TEST_PG_USER=lexorium
export LEXORIUM_TEST_PG_PASSWORD="$pass"
export LEXORIUM_REQUIRE_PG=1
cd "$build"
ctest --output-on-failure -j2 "$@"
