#!/usr/bin/env bash
# Installs what the console and its tests need, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/install-deps.sh --tests

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"

# A private PostgreSQL server for the database tests, stopped on exit.
source scripts/pg-test-cluster.sh
pg_test_cluster_start
trap pg_test_cluster_stop EXIT

cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2
