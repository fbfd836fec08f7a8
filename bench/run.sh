#!/usr/bin/env bash
# bench/run.sh [--markdown] [--build DIR] [--cache DIR] [--no-build]
#
# Runs every benchmark of the console and prints one table of results:
# figure, goal, measured, and whether the goal is met.
#
#   --markdown    print the table (with the machine and the date) in
#                 Markdown, as README.md shows it
#   --build DIR   the Release build folder (default: build/, or
#                 $VOX_BENCH_BUILD); configured when it does not exist
#   --cache DIR   where the large benchmark databases are kept once built
#                 (default: DIR/bench-cache of the build, or $VOX_BENCH_CACHE)
#   --no-build    run the programs already built in the build folder
#
# The benchmark programs are built first if needed (one job unless
# VOX_BUILD_JOBS says otherwise). Each program's JSON results and output
# are kept in bench-results/ of the build folder. Progress goes to standard
# error, the table to standard output; the exit status is 1 when a
# program failed (a goal missed is shown in the table, not in the status).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${VOX_BENCH_BUILD:-$ROOT/build}
CACHE=${VOX_BENCH_CACHE:-}
MARKDOWN=0
BUILD_FIRST=1
while [ $# -gt 0 ]; do
  case $1 in
    --markdown) MARKDOWN=1 ;;
    --build) BUILD=$2; shift ;;
    --cache) CACHE=$2; shift ;;
    --no-build) BUILD_FIRST=0 ;;
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done
BUILD=$(mkdir -p "$BUILD" && cd "$BUILD" && pwd)
CACHE=${CACHE:-$BUILD/bench-cache}

PROGRAMS=(bench_startup bench_customers bench_dataset bench_logins bench_service_client
          bench_audit bench_sha bench_config bench_riskman)

if [ "$BUILD_FIRST" = 1 ]; then
  # Google Benchmark and the sqlite3 tool come with the test packages.
  if ! dpkg-query -W -f='${Status}' libbenchmark-dev 2>/dev/null | grep -q "install ok installed"; then
    "$ROOT/scripts/install-deps.sh" --tests
  fi
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >&2
  else
    type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$BUILD/CMakeCache.txt")
    if [ "$type" != Release ]; then
      echo "run.sh: $BUILD is a '$type' build; give a Release build folder with --build" >&2
      exit 1
    fi
    # Finds Google Benchmark if it was installed after the folder was configured.
    cmake "$BUILD" >/dev/null
  fi
  echo "Building the benchmarks in $BUILD ..." >&2
  nice cmake --build "$BUILD" -j"${VOX_BUILD_JOBS:-1}" --target "${PROGRAMS[@]}" bench_report >&2
fi

BIN=$BUILD/bench
RESULTS=$BUILD/bench-results
rm -rf "$RESULTS"
mkdir -p "$RESULTS" "$CACHE"
export VOX_BENCH_CACHE=$CACHE
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
unset VOX_LOG VOX_PRINT_DIR

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
STARTED=$SECONDS
FAILED=()
for p in "${PROGRAMS[@]}"; do
  printf '%-22s' "$p" >&2
  began=$SECONDS
  if "$BIN/$p" --benchmark_out="$RESULTS/$p.json" --benchmark_out_format=json >"$RESULTS/$p.log" 2>&1; then
    echo "$((SECONDS - began)) s" >&2
  else
    echo "FAILED after $((SECONDS - began)) s (see $RESULTS/$p.log)" >&2
    FAILED+=("$p")
  fi
done
echo "All benchmarks: $((SECONDS - STARTED)) s; results in $RESULTS" >&2
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

CPU=$(sed -n 's/^Model name:[[:space:]]*//p' <(lscpu) | head -1)
MEM=$(awk '/^MemTotal:/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
MACHINE="$CPU, $(nproc) cores, $MEM; load average $LOAD_BEFORE before the run, $LOAD_AFTER after"
DATE=$(date -u '+%Y-%m-%d %H:%M UTC')
if [ "$MARKDOWN" = 1 ]; then
  echo "Measured $DATE on $MACHINE."
  echo
  "$BIN/bench_report" --markdown "$RESULTS"
else
  echo "Measured $DATE on $MACHINE"
  echo
  "$BIN/bench_report" "$RESULTS"
fi
if [ ${#FAILED[@]} -gt 0 ]; then
  echo "run.sh: failed: ${FAILED[*]}" >&2
  exit 1
fi
