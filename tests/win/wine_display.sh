#!/bin/sh
# Runs one group of the Windows tests that shows dialogs: in a prefix of its own
# ($1) whose wineserver starts here, so that Wine's desktop belongs to the X
# server this script runs under (xvfb-run), and ends with it.
set -u
WINEPREFIX="$1"
export WINEPREFIX
shift
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null
wine "$@" </dev/null
rc=$?
wineserver -k 2>/dev/null
exit $rc
