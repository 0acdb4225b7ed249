#!/bin/sh
# start: makes the build's Wine prefix once, turns the crash debugger off (with it a crashing
# program could exit 0), keeps the Wine server running and warms it up (else every program
# pays a cold start of one to three seconds). stop: ends that server.
set -eu
export WINEPREFIX="${QV31_WINEPREFIX:?}" WINEDEBUG=-all
case "$1" in
  start)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot -i >/dev/null 2>&1 </dev/null
      wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /d '' /f >/dev/null 2>&1
      wineserver -w
    fi
    wineserver -p >/dev/null 2>&1 </dev/null
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    ;;
  stop)
    wineserver -k || true
    ;;
esac
