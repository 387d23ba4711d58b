# Sourced by scripts/test.sh and bench/run.sh. start_throwaway_pg "SERVER OPTIONS" starts a PostgreSQL cluster of
# its own in a temporary folder on a free loopback port (LEXORIUM_TEST_PG_PORT fixes the port), logging in as
# "lexorium" with a scram password; it sets pg_port and pg_password, and the cluster is stopped and removed when
# the calling script exits.
start_throwaway_pg() {
    local options=$1
    pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
    [ -x "$pgbin/initdb" ] || { echo "PostgreSQL server binaries not found" >&2; exit 1; }
    pg_runas=()
    # The server refuses to run as root.
    [ "$(id -u)" -eq 0 ] && pg_runas=(runuser -u postgres --)
    pgdir=$(mktemp -d "${TMPDIR:-/tmp}/lexorium-pg.XXXXXX")
    chmod 755 "$pgdir"
    [ ${#pg_runas[@]} -gt 0 ] && chown postgres "$pgdir"
    pg_password="lexorium-$$"
    trap stop_throwaway_pg EXIT
    echo "$pg_password" > "$pgdir/pw"
    [ ${#pg_runas[@]} -gt 0 ] && chown postgres "$pgdir/pw"
    "${pg_runas[@]}" "$pgbin/initdb" -D "$pgdir/data" -U lexorium --pwfile="$pgdir/pw" --auth=scram-sha-256 \
        -E UTF8 --locale=C.UTF-8 >/dev/null
    # Another run may hold a port: try a few.
    local started="" try
    for try in 0 1 2 3 4 5 6 7; do
        pg_port=${LEXORIUM_TEST_PG_PORT:-$((54000 + (RANDOM % 2000)))}
        if "${pg_runas[@]}" "$pgbin/pg_ctl" -D "$pgdir/data" -w -l "$pgdir/log" \
            -o "-p $pg_port -k $pgdir -c listen_addresses=127.0.0.1 $options" start >/dev/null; then
            started=yes
            break
        fi
        [ -n "${LEXORIUM_TEST_PG_PORT:-}" ] && break
    done
    if [ -z "$started" ]; then
        echo "The throw-away PostgreSQL server did not start:" >&2
        cat "$pgdir/log" >&2 || true
        exit 1
    fi
}

stop_throwaway_pg() {
    "${pg_runas[@]}" "$pgbin/pg_ctl" -D "$pgdir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$pgdir"
}
