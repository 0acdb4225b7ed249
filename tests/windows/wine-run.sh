#!/bin/sh
# Runs one Windows program under Wine in the build's own prefix. Its output goes through files:
# Wine's helper processes inherit the first program's handles and would hold a pipe open.
set -u
export WINEPREFIX="${QV31_WINEPREFIX:?}" WINEDEBUG=-all
dir=$(mktemp -d)
wine "$@" >"$dir/out" 2>"$dir/err" </dev/null
rc=$?
cat "$dir/out"
cat "$dir/err" >&2
rm -rf "$dir"
exit $rc
