#!/usr/bin/env bash
# make-demo.sh BUILD_DIR DEMO_DIR
# Prepares the demo folder: the SQLite demo database (built once, kept
# afterwards) and the vox.ini that points the console and the stand-in risk
# manager at it.
set -euo pipefail
BUILD=$1
DEMO=$2
mkdir -p "$DEMO" "$DEMO/printed"
DB="$DEMO/voxdemo.db"
DEMODB="$BUILD/tools/voxdemodb/voxdemodb"
if [ ! -f "$DB" ] && [ -x "$DEMODB" ]; then
  "$DEMODB" --sqlite "$DB"
fi
cat > "$DEMO/vox.ini" <<INI
[VOX_DATABASE]
DSN_source=DRIVER={SQLite3};Database=$DB;Timeout=5000;StepAPI=1
DSN_user=
DSN_password=

[VOX_RISKMAN]
host=127.0.0.1
port=7101

[VOX_SVR]
host=127.0.0.1
port=7102

[TAMSEL]
devicelist=WAP,Phone

[TAMSEL_PRINT]
passwordx=3
passwordy=2
datex=15
datey=3
printlabel=y
labelcontent=VOX Channel Password
INI
