#!/bin/bash
# qv31-sim.exe under Wine against the Linux qv31ctl, beside the Linux qv31-sim in the same
# factory state: info and a set give the same output, the same bytes on the wire (the --trace
# lines without their times) and the same state file. Then --pty is refused on Windows.
# Usage: sim_udp_test.sh LINUX_BIN WINDOWS_BIN
set -u
linux=$1 windows=$2
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export WINEPREFIX=${QV31_WINEPREFIX:?} WINEDEBUG=-all

wait_port() {  # the port a simulator announced in its output file $1
  for _ in $(seq 200); do
    grep -q '^ready' "$1" 2>/dev/null && break
    sleep 0.05
  done
  tr -d '\r' <"$1" | grep -o '^udp 127.0.0.1:[0-9]*' | head -n 1 | cut -d: -f2
}
# Output through files: Wine's helpers would hold a pipe open.
wine "$windows/qv31-sim.exe" --udp 127.0.0.1:0 --state "$(winepath -w "$work/w.json")" \
  >"$work/wsim.out" 2>"$work/wsim.err" </dev/null &
pids+=($!)
"$linux/qv31-sim" --udp 127.0.0.1:0 --state "$work/l.json" >"$work/lsim.out" 2>&1 &
pids+=($!)
win_port=$(wait_port "$work/wsim.out")
lin_port=$(wait_port "$work/lsim.out")
[ -n "$win_port" ] && [ -n "$lin_port" ] || {
  echo "a simulator did not start"
  cat "$work/wsim.err"
  exit 1
}

failed=0
check() {  # name, then qv31ctl's arguments after the connection
  local name=$1
  shift
  "$linux/qv31ctl" --udp "127.0.0.1:$win_port" --trace "$@" >"$work/w.out" 2>"$work/w.err"
  local wrc=$?
  "$linux/qv31ctl" --udp "127.0.0.1:$lin_port" --trace "$@" >"$work/l.out" 2>"$work/l.err"
  local lrc=$?
  sed -e 's/^ *[0-9]* ms //' "$work/w.err" >"$work/w.wire"
  sed -e 's/^ *[0-9]* ms //' "$work/l.err" >"$work/l.wire"
  if [ $wrc -ne $lrc ] || ! cmp -s "$work/w.out" "$work/l.out" ||
     ! cmp -s "$work/w.wire" "$work/l.wire"; then
    echo "FAIL $name: exit $wrc (Linux simulator $lrc)"
    diff "$work/l.out" "$work/w.out" | head -n 20
    diff "$work/l.wire" "$work/w.wire" | head -n 20
    failed=1
  else
    echo "ok   $name: exit $wrc, $(wc -l <"$work/w.wire") lines alike"
  fi
}

check info info
check set set 4g.station=7 net.ch1.target=数据.example.cn net.ip=10.1.2.3 port2.format=e,8,2
check "info after" info
if cmp -s "$work/w.json" "$work/l.json"; then
  echo "ok   state file: $(wc -c <"$work/w.json") bytes alike"
else
  echo "FAIL state file"
  diff "$work/l.json" "$work/w.json" | head -n 20
  failed=1
fi

"$(dirname "$0")/wine-run.sh" "$windows/qv31-sim.exe" --pty >"$work/pty.out" 2>"$work/pty.err"
rc=$?
if [ $rc -ne 0 ] && grep -q -- '--pty is not available on Windows' "$work/pty.err"; then
  echo "ok   --pty refused: exit $rc"
else
  echo "FAIL --pty: exit $rc"
  cat "$work/pty.err"
  failed=1
fi
exit $failed
