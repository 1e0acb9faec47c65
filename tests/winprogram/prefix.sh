#!/bin/sh
# The Wine prefixes the Windows program's tests run in.
#   prefix.sh template DIR   makes the prepared prefix every test copies
# The template reports Windows 10, so that the program takes the paths it
# takes there (dark mode among them), has no crash debugger that would wait
# on a dialog of its own, and lets windows go without a window manager.
set -eu
case "${1:-}" in
template)
    prefix=$2
    export WINEPREFIX="$prefix.new"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # A server of its own, gone when this script ends it.
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f </dev/null >/dev/null 2>&1
    wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
        </dev/null >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$prefix"
    mv "$WINEPREFIX" "$prefix"
    ;;
*)
    echo "usage: $0 template DIR" >&2
    exit 2
    ;;
esac
