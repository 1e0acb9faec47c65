#!/bin/sh
# units.sh TEST.EXE
# Runs one Windows build of a unit's Qt Test program in a private copy of the
# template prefix with a wineserver of its own, prints the test's output
# (Qt Test writes to OutputDebugString under Wine, so it goes to a file) and
# exits with the test's exit code. Environment from tests/winprogram/CMakeLists.txt.
set -eu
exe=$1
work=$(mktemp -d)
export WINEPREFIX="$work/prefix"
finish() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

if [ ! -f "$exe" ]; then
    echo "missing: $exe (scripts/build-windows.sh builds it)" >&2
    exit 1
fi
cp -a "$QUORBILAN_WINE_TEMPLATE_PREFIX" "$WINEPREFIX"
# The program's DLLs and plugins from the deployed folder, Qt Test's from Qt's own.
export WINEPATH="$(winpath "$QUORBILAN_WINDOWS_DEPLOY");$(winpath "$QUORBILAN_WINDOWS_QT/bin")"
# Wine hands no QT_* variable of ours to a Windows process (nor QT_QPA_PLATFORM,
# so the Linux tests' offscreen choice stays out); WINEQT_X arrives as QT_X.
# Without its plugin path a QApplication finds no platform plugin and, having
# no console window under Wine, waits on a message box that says so.
if [ ! -f "$QUORBILAN_WINDOWS_DEPLOY/platforms/qwindows.dll" ]; then
    echo "missing: $QUORBILAN_WINDOWS_DEPLOY/platforms/qwindows.dll (the deploy target lays it out)" >&2
    exit 1
fi
export WINEQT_PLUGIN_PATH="$(winpath "$QUORBILAN_WINDOWS_DEPLOY")"
wineserver -p </dev/null >/dev/null 2>&1
rc=0
# A hang ends here, so the prefix's server goes with the run.
timeout 240 wine "$exe" -o "$(winpath "$work/output.txt"),txt" </dev/null || rc=$?
if [ -f "$work/output.txt" ]; then
    cat "$work/output.txt"
else
    echo "no test output from $exe" >&2
    [ "$rc" -ne 0 ] || rc=1
fi
exit "$rc"
