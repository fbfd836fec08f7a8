#!/usr/bin/env bash
# Installs what the console needs, builds it, prepares the demo folder (an
# embedded SQLite demo database and its vox.ini) and starts the console on
# it, with the stand-in risk manager running beside it.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)

bash scripts/install-deps.sh

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"

DEMO=${VOX_DEMO_DIR:-$ROOT/demo}
bash scripts/make-demo.sh "$ROOT/$BUILD_DIR" "$DEMO"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  echo "No display found. Run the console under a virtual display:"
  echo "  xvfb-run -a -s '-screen 0 1280x1024x24' ./run.sh"
  exit 1
fi

cd "$DEMO"
RISKMAN=""
if [ -x "$ROOT/$BUILD_DIR/tools/voxriskman/voxriskman" ]; then
  "$ROOT/$BUILD_DIR/tools/voxriskman/voxriskman" >>"$DEMO/voxriskman.log" 2>&1 &
  RISKMAN=$!
  trap '[ -n "$RISKMAN" ] && kill "$RISKMAN" 2>/dev/null || true' EXIT
fi
VOX_PRINT_DIR=${VOX_PRINT_DIR:-$DEMO/printed} "$ROOT/$BUILD_DIR/src/app/voxadmin"
