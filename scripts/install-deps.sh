#!/usr/bin/env bash
# Installs every Debian package the console needs to build, run and test.
# Usage: scripts/install-deps.sh [--tests]
# This is the only place that names packages.
set -euo pipefail

RUNTIME_PKGS=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-odbc libqt6opengl6-dev
  unixodbc unixodbc-dev odbcinst libsqliteodbc sqlite3
  libboost-stacktrace-dev
  xvfb xauth fonts-dejavu-core
)
TEST_PKGS=(
  odbc-postgresql postgresql postgresql-client
  libbenchmark-dev
  poppler-utils
  cups cups-client printer-driver-cups-pdf
  clang libclang-rt-dev
)

want=("${RUNTIME_PKGS[@]}")
if [ "${1:-}" = "--tests" ]; then
  want+=("${TEST_PKGS[@]}")
fi

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
