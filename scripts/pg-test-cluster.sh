# Sourced by test.sh: starts a throw-away PostgreSQL 15 cluster on 127.0.0.1
# on a free port, creates the test database with schema dbo, and exports
# VOX_TEST_PG (an ODBC connection string) for the tests.

pg_test_cluster_start() {
  local bindir
  bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
  if [ -z "$bindir" ]; then
    echo "PostgreSQL server binaries not found" >&2
    return 1
  fi
  PG_TEST_DIR=$(mktemp -d /tmp/voxpg.XXXXXX)
  chmod 755 "$PG_TEST_DIR"
  local run=""
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres:postgres "$PG_TEST_DIR"
    run="runuser -u postgres --"
  fi
  PG_TEST_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null || echo 54329)
  $run "$bindir/initdb" -D "$PG_TEST_DIR/data" -U voxtest -A trust -E UTF8 >/dev/null
  # The data is thrown away after the run: nothing is synchronised to disk,
  # so a restart's shutdown checkpoint stays short on a busy machine.
  $run "$bindir/pg_ctl" -D "$PG_TEST_DIR/data" -l "$PG_TEST_DIR/log" -w \
      -o "-p $PG_TEST_PORT -k $PG_TEST_DIR -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
      start >/dev/null
  PG_TEST_BINDIR=$bindir
  PG_TEST_RUN=$run
  "$bindir/psql" -h 127.0.0.1 -p "$PG_TEST_PORT" -U voxtest -d postgres -q \
      -c "CREATE DATABASE voxtest" >/dev/null
  "$bindir/psql" -h 127.0.0.1 -p "$PG_TEST_PORT" -U voxtest -d voxtest -q \
      -c "CREATE SCHEMA dbo; ALTER DATABASE voxtest SET search_path = dbo, public" >/dev/null
  export VOX_TEST_PG="DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=$PG_TEST_PORT;DATABASE=voxtest;UID=voxtest;PWD=;"
  export VOX_TEST_PG_CTL="$PG_TEST_RUN $bindir/pg_ctl -D $PG_TEST_DIR/data -w"
  export VOX_TEST_PG_PORT=$PG_TEST_PORT
  echo "PostgreSQL test server on 127.0.0.1:$PG_TEST_PORT"
}

pg_test_cluster_stop() {
  if [ -n "${PG_TEST_DIR:-}" ] && [ -d "$PG_TEST_DIR/data" ]; then
    $PG_TEST_RUN "$PG_TEST_BINDIR/pg_ctl" -D "$PG_TEST_DIR/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$PG_TEST_DIR"
  fi
}
