#!/bin/sh
# Runs a Windows test that makes windows, inside the X display xvfb-run gave
# it. Wine's desktop keeps the display of the wineserver it started with, so
# the test gets a prefix and a wineserver of its own.
# Usage: wine_display.sh PREFIX PROGRAM [ARGUMENTS...]
set -eu
export WINEPREFIX="$1"
shift
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true
status=0
wine "$@" </dev/null || status=$?
wineserver -k 2>/dev/null || true
exit $status
