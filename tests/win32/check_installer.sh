#!/usr/bin/env bash
# The Windows installer and the portable zip under Wine: a silent install puts the
# programs, the Start menu entry and the uninstall entry in place, qv31ctl.exe runs from the
# installed folder, the silent uninstall takes them all away; the zip holds the programs.
# usage: check_installer.sh SETUP.exe PORTABLE.zip VERSION PROGRAM.exe...
#        (QV31_WINEPREFIX: a prefix that tests/windows/wine-prefix.sh has started)
set -eu
setup=$1 zip=$2 version=$3
shift 3
programs="$*"  # the programs the build made
export WINEPREFIX="${QV31_WINEPREFIX:?}" WINEDEBUG=-all
fail() { echo "check_installer: $*" >&2; exit 1; }
[ -f "$setup" ] || fail "no installer $setup (make package-windows)"
[ -f "$zip" ] || fail "no zip $zip (make package-windows)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

folder='C:\qv31-install-check'
unix="$WINEPREFIX/drive_c/qv31-install-check"
link="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/采集管理设置软件.lnk"
rm -rf "$unix"
wine "$setup" /S "/D=$folder" >"$work/setup.out" 2>&1 </dev/null || fail "installer exit $?"
for p in $programs uninstall.exe; do
  [ -f "$unix/$p" ] || fail "installed folder lacks $p"
done
[ -f "$link" ] || fail "no Start menu entry 采集管理设置软件"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QV31' /v DisplayVersion \
  >"$work/reg.out" 2>&1 </dev/null || fail "no uninstall entry"
grep -q "$version" "$work/reg.out" || fail "uninstall entry lacks version $version"

wine "$folder\\qv31ctl.exe" --version >"$work/version.out" 2>&1 </dev/null || fail "qv31ctl.exe --version failed"
[ "$(tr -d '\r' <"$work/version.out")" = "qv31ctl $version" ] ||
  fail "qv31ctl.exe --version printed: $(cat "$work/version.out")"

# With _?= the uninstaller runs in place and returns when done; it cannot remove itself then,
# so it and the folder are all that may stay.
wine "$folder\\uninstall.exe" /S "_?=$folder" >"$work/uninstall.out" 2>&1 </dev/null ||
  fail "uninstaller exit $?"
left=$(ls "$unix")
[ "$left" = uninstall.exe ] || fail "uninstall left: $left"
[ ! -e "$link" ] || fail "uninstall left the Start menu entry"
rm -rf "$unix"
if wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QV31' \
  >/dev/null 2>&1 </dev/null; then
  fail "uninstall left its registry entry"
fi

unzip -q "$zip" -d "$work/portable" || fail "cannot unpack $zip"
want=$(printf "%s\n" $programs | sort | tr "\n" " ")
[ "$(cd "$work/portable" && ls | sort | tr "\n" " ")" = "$want" ] ||
  fail "zip holds: $(ls "$work/portable")"
wine "$(winepath -w "$work/portable/qv31ctl.exe")" --version >"$work/zip.out" 2>&1 </dev/null ||
  fail "the zip's qv31ctl.exe --version failed"
[ "$(tr -d '\r' <"$work/zip.out")" = "qv31ctl $version" ] || fail "zip qv31ctl: $(cat "$work/zip.out")"
echo "check_installer: installed, ran, uninstalled; portable zip runs"
