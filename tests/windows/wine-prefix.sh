#!/bin/sh
# start: makes the build's Wine prefix once, turns the crash debugger off (with it a crashing
# program could exit 0), keeps the Wine server running and warms it up (else every program
# pays a cold start of one to three seconds). COM7 is mapped to $QV31_COM7, a link the serial
# tests point at a pseudo-terminal. stop: ends that server.
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
    if [ -n "${QV31_COM7:-}" ]; then
      wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /d "$QV31_COM7" /f >/dev/null 2>&1
      wineserver -k || true  # the port mapping is read when the server starts
    fi
    wineserver -p >/dev/null 2>&1 </dev/null
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    ;;
  stop)
    wineserver -k || true
    ;;
esac
