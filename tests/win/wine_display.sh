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
# Windows that no window manager looks after: Wine otherwise waits up to two
# seconds for one each time a window goes away.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
status=0
wine "$@" </dev/null || status=$?
wineserver -k 2>/dev/null || true
exit $status
