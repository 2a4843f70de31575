#!/usr/bin/env bash
# A private PostgreSQL cluster and private ODBC settings for the tests.
#
#   source tests/support/pg_cluster.sh; kwo_pg_start; ...; kwo_pg_stop
#   bash tests/support/pg_cluster.sh run COMMAND...   (start, run, stop)
#
# kwo_pg_start makes a cluster in a temporary folder (owned by user postgres
# when run as root, as in CI), starts it on a free port of 127.0.0.1 and
# exports:
#   ODBCSYSINI      a folder with odbcinst.ini and odbc.ini (DSN kwo_pg, CommLog=0)
#   KWO_PG_CONN     the DSN-less ODBC connection string of the test database
#   KWO_PG_PORT, KWO_PG_DIR, KWO_PG_BIN, KWO_PG_PSQL (a psql command line),
#   KWO_PG_CLUSTER_SCRIPT (this script: "bash $KWO_PG_CLUSTER_SCRIPT pause|resume")
#   KWO_PG_LOGIN_CONN  the connection string of role kwo_login, whose password
#                   (kwo-login) the server checks: for refused-login tests; the
#                   server's log ($KWO_PG_DIR/data/server.log) names each refusal
# kwo_pg_stop stops the server and removes the folder; kwo_pg_pause and
# kwo_pg_resume stop and restart the server, for fault tests.

kwo_pg_bin() {
  local d
  for d in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
    [ -x "$d/initdb" ] && { echo "$d"; return 0; }
  done
  echo "pg_cluster: PostgreSQL server binaries not found (apt-get install postgresql)" >&2
  return 1
}

kwo_pg_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

kwo_pg_free_port() {
  local port
  for _ in $(seq 1 50); do
    port=$((20000 + RANDOM % 30000))
    ss -Hltn "sport = :$port" 2>/dev/null | grep -q . || { echo "$port"; return 0; }
  done
  return 1
}

kwo_pg_start() {
  KWO_PG_BIN=$(kwo_pg_bin) || return 1
  KWO_PG_DIR=$(mktemp -d /tmp/kwo-pg.XXXXXX)
  chmod 755 "$KWO_PG_DIR"
  mkdir -p "$KWO_PG_DIR/data" "$KWO_PG_DIR/odbc"
  [ "$(id -u)" -eq 0 ] && chown postgres "$KWO_PG_DIR/data"
  kwo_pg_as_owner "$KWO_PG_BIN/initdb" -D "$KWO_PG_DIR/data" -U kwo -E UTF8 --locale=C.UTF-8 \
    --auth=trust >"$KWO_PG_DIR/initdb.log" 2>&1 || { cat "$KWO_PG_DIR/initdb.log" >&2; return 1; }
  # One role whose password is checked; the rest trust as before.
  kwo_pg_as_owner sed -i '1i host all kwo_login 127.0.0.1/32 scram-sha-256' "$KWO_PG_DIR/data/pg_hba.conf"
  local tries
  for tries in 1 2 3 4 5; do
    KWO_PG_PORT=$(kwo_pg_free_port) || return 1
    if kwo_pg_resume; then break; fi
    [ "$tries" -eq 5 ] && return 1
  done
  kwo_pg_as_owner "$KWO_PG_BIN/psql" -h 127.0.0.1 -p "$KWO_PG_PORT" -U kwo -d postgres -qAt \
    -c "alter role kwo password 'kwo-test'" -c "create database kwo encoding 'UTF8' template template0" \
    -c "create role kwo_login login password 'kwo-login' in role kwo" >/dev/null ||
    return 1
  local driver=/usr/lib/x86_64-linux-gnu/odbc
  cat >"$KWO_PG_DIR/odbc/odbcinst.ini" <<INI
[PostgreSQL Unicode]
Driver=$driver/psqlodbcw.so
CommLog=0
Debug=0

[SQLite3]
Driver=$driver/libsqlite3odbc.so
INI
  cat >"$KWO_PG_DIR/odbc/odbc.ini" <<INI
[kwo_pg]
Driver=PostgreSQL Unicode
Servername=127.0.0.1
Port=$KWO_PG_PORT
Database=kwo
CommLog=0
Debug=0
INI
  export ODBCSYSINI="$KWO_PG_DIR/odbc" ODBCINI="$KWO_PG_DIR/odbc/odbc.ini"
  export KWO_PG_DIR KWO_PG_PORT KWO_PG_BIN
  export KWO_PG_CONN="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$KWO_PG_PORT;Database=kwo;Uid=kwo;Pwd=kwo-test"
  export KWO_PG_LOGIN_CONN="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$KWO_PG_PORT;Database=kwo;Uid=kwo_login;Pwd=kwo-login"
  export KWO_PG_PSQL="$KWO_PG_BIN/psql -h 127.0.0.1 -p $KWO_PG_PORT -U kwo -d kwo -qAt"
  KWO_PG_CLUSTER_SCRIPT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")"
  export KWO_PG_CLUSTER_SCRIPT
}

kwo_pg_pause() {
  kwo_pg_as_owner "$KWO_PG_BIN/pg_ctl" -D "$KWO_PG_DIR/data" -m fast -w stop >/dev/null 2>&1
}

kwo_pg_resume() {
  kwo_pg_as_owner "$KWO_PG_BIN/pg_ctl" -D "$KWO_PG_DIR/data" -w -t 60 -l "$KWO_PG_DIR/data/server.log" \
    -o "-p $KWO_PG_PORT -c listen_addresses=127.0.0.1 -k $KWO_PG_DIR/data -c fsync=off" start >/dev/null
}

# The server's processes: the postmaster (from its pid file) and its children.
_kwo_pg_processes() {
  local main stat
  main=$(head -1 "$KWO_PG_DIR/data/postmaster.pid" 2>/dev/null) || return 0
  [ -n "$main" ] && [ -d "/proc/$main" ] || return 0
  echo "$main"
  for stat in /proc/[0-9]*/stat; do
    # Field 4 of stat is the parent; the name in field 2 may hold spaces, so cut after its ")".
    [ "$(sed 's/^.*) [A-Za-z] \([0-9]*\) .*$/\1/' "$stat" 2>/dev/null)" = "$main" ] && basename "$(dirname "$stat")"
  done
  return 0
}

kwo_pg_stop() {
  [ -n "${KWO_PG_DIR:-}" ] && [ -d "$KWO_PG_DIR" ] || return 0
  # A fault test that stopped a server process and then failed leaves it
  # stopped: it could neither end nor let the server end.
  local pids; pids=$(_kwo_pg_processes)
  [ -n "$pids" ] && kill -CONT $pids 2>/dev/null
  kwo_pg_pause
  pids=$(_kwo_pg_processes)
  [ -n "$pids" ] && kill -KILL $pids 2>/dev/null
  rm -rf "$KWO_PG_DIR"
  KWO_PG_DIR=
}

# "pause" and "resume" act on the cluster that the environment names, for a
# test program that stops and restarts the server under its own feet.
if [ "${BASH_SOURCE[0]}" = "$0" ] && { [ "${1:-}" = pause ] || [ "${1:-}" = resume ]; }; then
  "kwo_pg_$1"
  exit $?
fi

if [ "${BASH_SOURCE[0]}" = "$0" ] && [ "${1:-}" = run ]; then
  shift
  kwo_pg_start || { kwo_pg_stop; exit 1; }
  trap kwo_pg_stop EXIT
  trap 'exit 130' INT TERM
  "$@"
  exit $?
fi
