#!/usr/bin/env bash
# Installs what the console and its tests need, builds, and runs every test.
#
#   ./test.sh              the suite, in build/
#   ./test.sh --sanitize   the suite built with AddressSanitizer and
#                          UndefinedBehaviorSanitizer, in build-asan/
#                          (or VOX_SANITIZE=1 ./test.sh)
# Either way the fuzzers then run, each for a bounded time, from their own
# clang build in build-fuzz/ (ctest label "fuzz").
#
# With CI=true compiler warnings fail the build.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)

SANITIZE=${VOX_SANITIZE:-0}
for arg in "$@"; do
  case "$arg" in
    --sanitize) SANITIZE=1 ;;
    *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
  esac
done

bash scripts/install-deps.sh --tests

CMAKE_ARGS=(-G Ninja -DCMAKE_BUILD_TYPE=Release)
if [ "${CI:-}" = "true" ]; then
  CMAKE_ARGS+=(-DVOX_WERROR=ON)
else
  CMAKE_ARGS+=(-DVOX_WERROR=OFF)
fi
if [ "$SANITIZE" = "1" ]; then
  BUILD_DIR=${BUILD_DIR:-build-asan}
  CMAKE_ARGS+=(-DVOX_SANITIZE=ON)
else
  BUILD_DIR=${BUILD_DIR:-build}
  CMAKE_ARGS+=(-DVOX_SANITIZE=OFF)
fi
if command -v ccache >/dev/null 2>&1; then
  CMAKE_ARGS+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$BUILD_DIR" "${CMAKE_ARGS[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"

# A private PostgreSQL server for the database tests and a private CUPS
# scheduler with a PDF printer as the default printer, stopped on exit.
source scripts/pg-test-cluster.sh
source scripts/cups-test-printer.sh
trap 'cups_test_printer_stop; pg_test_cluster_stop' EXIT
pg_test_cluster_start
cups_test_printer_start

cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2

cd "$ROOT"
FUZZ_ARGS=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DVOX_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++)
for arg in "${CMAKE_ARGS[@]}"; do
  case "$arg" in -DVOX_WERROR=*|-DCMAKE_CXX_COMPILER_LAUNCHER=*) FUZZ_ARGS+=("$arg") ;; esac
done
cmake -S . -B build-fuzz "${FUZZ_ARGS[@]}" >/dev/null
cmake --build build-fuzz -j "$(nproc)"
cd build-fuzz
ctest -L fuzz --output-on-failure -j 2
