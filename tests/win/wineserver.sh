#!/bin/sh
# Starts or stops the wineserver of the Windows tests' private prefix ($WINEPREFIX).
set -eu
case "${1:-}" in
start)
    mkdir -p "$WINEPREFIX"
    # A server left behind by an interrupted run would hold the old state.
    wineserver -k 2>/dev/null || true
    # Persistent for the run, gone a minute after the last client if never stopped.
    # Its output must not hold the test's pipe open: ctest waits for the pipe.
    wineserver -p60 </dev/null >/dev/null 2>&1
    # Makes the prefix on the first run (several seconds); quick afterwards.
    wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
    # The dark-mode tests run as wintests_win10.exe, which sees Windows 10.
    wine reg add 'HKCU\Software\Wine\AppDefaults\wintests_win10.exe' /v Version /d win10 /f </dev/null >/dev/null 2>&1
    # The resources test program runs as Windows 10 whatever the prefix's
    # default, so that its manifest has a version to unlock (without one the
    # version queries would see 6.2).
    wine reg add 'HKCU\Software\Wine\AppDefaults\wintests_resources.exe' /v Version /d win10 /f \
        </dev/null >/dev/null 2>&1
    ;;
stop)
    wineserver -k 2>/dev/null || true
    ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
