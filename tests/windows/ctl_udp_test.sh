#!/bin/bash
# qv31ctl.exe under Wine against the Linux qv31-sim, beside the Linux qv31ctl against a second
# simulator in the same factory state: for info, set and table import, the same output and the
# same bytes on the wire (the --trace lines without their times), then the same gateway state.
# Usage: ctl_udp_test.sh LINUX_BIN WINDOWS_BIN TABLE_CSV
set -u
linux=$1 windows=$2 table=$3
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

start_sim() {  # sets `port` to that of a new simulator on 127.0.0.1 (not in a subshell: its
               # process id must reach the clean-up)
  local log=$work/sim$1.log
  "$linux/qv31-sim" --udp 127.0.0.1:0 >"$log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    grep -q '^ready' "$log" && break
    sleep 0.05
  done
  port=$(grep -o '127.0.0.1:[0-9]*' "$log" | head -n 1 | cut -d: -f2)
}
start_sim 1
win_port=$port
start_sim 2
lin_port=$port
[ -n "$win_port" ] && [ -n "$lin_port" ] || { echo "simulator did not start"; exit 1; }
cp "$table" "$work/table.csv"
winpath=$(WINEPREFIX=$QV31_WINEPREFIX WINEDEBUG=-all winepath -w "$work/table.csv")

failed=0
check() {  # name, then the command's arguments after the connection
  local name=$1
  shift
  local args=("$@")
  "$(dirname "$0")/wine-run.sh" "$windows/qv31ctl.exe" --udp "127.0.0.1:$win_port" --trace \
    "${args[@]//@TABLE@/$winpath}" >"$work/w.out" 2>"$work/w.err"
  local wrc=$?
  "$linux/qv31ctl" --udp "127.0.0.1:$lin_port" --trace "${args[@]//@TABLE@/$work/table.csv}" \
    >"$work/l.out" 2>"$work/l.err"
  local lrc=$?
  tr -d '\r' <"$work/w.out" >"$work/w.txt"
  sed -e 's/\r$//' -e 's/^ *[0-9]* ms //' "$work/w.err" | grep -v '^qv31ctl: ' >"$work/w.wire"
  sed -e 's/^ *[0-9]* ms //' "$work/l.err" | grep -v '^qv31ctl: ' >"$work/l.wire"
  if [ $wrc -ne $lrc ] || ! cmp -s "$work/w.txt" "$work/l.out" ||
     ! cmp -s "$work/w.wire" "$work/l.wire"; then
    echo "FAIL $name: exit $wrc (Linux $lrc)"
    diff "$work/l.out" "$work/w.txt" | head -n 20
    diff "$work/l.wire" "$work/w.wire" | head -n 20
    failed=1
  else
    echo "ok   $name: exit $wrc, $(wc -l <"$work/w.wire") blocks alike"
  fi
}

check info info
check set set 4g.station=7 net.ch1.target=数据.example.cn net.ip=10.1.2.3 port2.format=e,8,2
check "table import" table import @TABLE@
check "info after" info
exit $failed
