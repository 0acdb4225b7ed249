#!/usr/bin/env bash
# Runs a Windows program of the window (its tests, its benchmark) under Wine on an X server of
# its own (Xvfb) in a Chinese locale, with the Linux simulator on 127.0.0.1 for it to open
# (QV31_SIM_PORT, QV31_SIM_STATE); two more on 127.0.0.2 and 127.0.0.3 at the same port for it
# to find (QV31_SEARCH_PORT); on COM7 a gateway behind a pseudo-terminal, on COM8 a silent one.
# The pictures NAME.bmp the program leaves in the folder QV31_SCREENSHOTS are kept as PNG for
# review, as PREFIX-NAME.png.
# usage: run_with_sim.sh QV31-SIM PROGRAM.exe PREFIX|- [program's options]
#        (QV31_WINEPREFIX: a prefix for this program alone; its Wine server runs on the X server
#        started here, so it cannot be one other tests share)
sim=$1 test=$2 shot=$3
shift 3
here=$(dirname "$0")
prefix="$here/../windows/wine-prefix.sh"
export WINEPREFIX="${QV31_WINEPREFIX:?}" WINEDEBUG=-all
unset QV31_COM7
work=$(mktemp -d)
simpid= xpid= others=()
cleanup() {
  "$prefix" stop
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null && wait "$simpid" 2>/dev/null
  for pid in "${others[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "run_with_sim: $*" >&2; exit 1; }

"$sim" --udp 127.0.0.1:0 --state "$work/state.json" >"$work/sim.out" 2>&1 &
simpid=$!
for _ in $(seq 1 100); do grep -q '^ready' "$work/sim.out" && break; sleep 0.1; done
port=$(sed -n 's/^udp .*:\([0-9]*\)$/\1/p' "$work/sim.out" | head -n 1)
[ -n "$port" ] || fail "the simulator did not start: $(cat "$work/sim.out")"

# more_sim NAME OPTIONS...: one more simulator, ready before the program starts.
more_sim() {
  local name=$1
  shift
  "$sim" "$@" >"$work/$name.out" 2>&1 &
  others+=($!)
  for _ in $(seq 1 100); do grep -q '^ready' "$work/$name.out" && return; sleep 0.1; done
  fail "the simulator $name did not start: $(cat "$work/$name.out")"
}
more_sim two --udp "127.0.0.2:$port" --identity QV31-2
more_sim three --udp "127.0.0.3:$port" --identity 网关三号
more_sim com7 --pty "$work/com7" --identity 串口网关
more_sim com8 --pty "$work/com8" --silent

# A display of our own: the first free number from 90.
for n in $(seq 90 160); do [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >"$work/xvfb.out" 2>&1 &
xpid=$!
for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
[ -e "/tmp/.X11-unix/X$n" ] || fail "Xvfb did not start: $(cat "$work/xvfb.out")"
export DISPLAY=":$n" LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
"$prefix" start
# A Wine desktop of the screen's size: Wine draws the windows' frames and captions itself, as
# Windows would, since Xvfb has no window manager.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 </dev/null
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1600x1000 /f \
  >/dev/null 2>&1 </dev/null
for com in com7 com8; do
  wine reg add 'HKLM\Software\Wine\Ports' /v "${com^^}" /d "$work/$com" /f >/dev/null 2>&1 </dev/null
done
"$prefix" stop  # the desktop and the ports take their settings when the server starts again
"$prefix" start

mkdir "$work/shots"
QV31_SIM_PORT=$port QV31_SEARCH_PORT=$port QV31_SIM_STATE=$(winepath -w "$work/state.json") \
  QV31_SCREENSHOTS=$(winepath -w "$work/shots") \
  wine "$test" "$@" >"$work/test.out" 2>&1 </dev/null
status=$?
tr -d '\r' <"$work/test.out"
for bmp in "$work"/shots/*.bmp; do
  [ "$shot" != - ] && [ -f "$bmp" ] || continue
  png="$shot-$(basename "$bmp" .bmp).png"
  "$here/../../scripts/bmp-to-png" "$bmp" "$png" && echo "screenshot: $png"
done
exit $status
