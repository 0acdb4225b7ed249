#!/bin/bash
# qv31ctl.exe under Wine over COM7, which Wine maps to a pseudo-terminal with the Linux qv31-sim
# on its other end, paced at the line's rate; then the Linux qv31ctl over the same line. The
# same bytes on the wire (the --trace lines without their times) and each exchange about as
# fast: the receive thread must end each block at the quiet gap, as on Linux.
# Usage: ctl_serial_test.sh LINUX_BIN WINDOWS_BIN COM7_LINK BAUD DELAY
set -u
linux=$1 windows=$2 link=$3 baud=$4 delay=$5
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

rm -f "$link"
"$linux/qv31-sim" --pty "$link" --pace "$baud" >"$work/sim.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
  grep -q '^ready' "$work/sim.log" && break
  sleep 0.05
done
[ -e "$link" ] || { echo "simulator did not start"; exit 1; }

line=(--baud "$baud" --delay "$delay" --trace)
"$(dirname "$0")/wine-run.sh" "$windows/qv31ctl.exe" --serial COM7 "${line[@]}" info \
  >"$work/w.out" 2>"$work/w.err"
wrc=$?
"$linux/qv31ctl" --serial "$link" "${line[@]}" info >"$work/l.out" 2>"$work/l.err"
lrc=$?
tr -d '\r' <"$work/w.out" >"$work/w.txt"
tr -d '\r' <"$work/w.err" >"$work/w.trace"
wire() { sed -e 's/^ *[0-9]* ms //' "$1" | grep -v '^qv31ctl: '; }
last_ms() { grep -o '^ *[0-9]* ms' "$1" | tail -n 1 | tr -dc 0-9; }
failed=0
if [ $wrc -ne 0 ] || [ $lrc -ne 0 ] || ! cmp -s "$work/w.txt" "$work/l.out" ||
   ! cmp -s <(wire "$work/w.trace") <(wire "$work/l.err"); then
  echo "FAIL: exit $wrc (Linux $lrc)"
  diff <(wire "$work/l.err") <(wire "$work/w.trace") | cut -c 1-120 | head -n 20
  failed=1
fi
wms=$(last_ms "$work/w.trace") lms=$(last_ms "$work/l.err")
echo "info over COM7 at $baud baud, delay $delay: Windows ${wms} ms, Linux ${lms} ms"
# Each exchange may be late by a read's wait (20 ms) more than on Linux, not by a time-out.
blocks=$(wire "$work/l.err" | wc -l)
if [ -z "$wms" ] || [ "$wms" -gt $((lms + blocks * 20 + 100)) ]; then
  echo "FAIL: too slow"
  failed=1
fi
exit $failed
