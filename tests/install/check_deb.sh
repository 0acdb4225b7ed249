#!/usr/bin/env bash
# Unpacks the .deb into a temporary root and checks that what it holds runs: each program's
# --version names the package's version, qv31ctl --help works, each program has its manual
# page, the package depends on a CJK font and states its licence, and the window comes with
# its desktop entry, metainfo and icons.
# Usage: tests/install/check_deb.sh PACKAGE.deb
set -euo pipefail
deb=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)
faults=0
fail() { echo "check_deb: $*" >&2; faults=$((faults + 1)); }

dpkg-deb -f "$deb" Depends | grep -q 'libc6' || fail "Depends names no libc6: shlibdeps did not run"
# The window's labels are Chinese: the package brings a font that has them.
dpkg-deb -I "$deb" | grep -q '^ Depends:.*fonts-noto-cjk | fonts-wqy-microhei' ||
  fail "Depends names no CJK font"
copyright=$root/usr/share/doc/qv31/copyright
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" &&
  grep -q '^License: Expat' "$copyright" || fail "copyright is not DEP-5 with the MIT (Expat) licence"

# The window needs no display for --help and --version, but Qt may look for one at start.
export QT_QPA_PLATFORM=offscreen
programs=(qv31ctl qv31-sim)
[ -e "$root/usr/bin/qv31-config" ] && programs+=(qv31-config)
for p in "${programs[@]}"; do
  bin=$root/usr/bin/$p
  if [ ! -x "$bin" ]; then
    fail "usr/bin/$p is missing"
    continue
  fi
  out=$("$bin" --version 2>&1) || fail "$p --version exited with $?"
  [ "$out" = "$p $version" ] || fail "$p --version printed '$out', not '$p $version'"
  [ -f "$root/usr/share/man/man1/$p.1.gz" ] || fail "no manual page usr/share/man/man1/$p.1.gz"
done
out=$("$root/usr/bin/qv31ctl" --help 2>&1) || fail "qv31ctl --help exited with $?"
grep -q '^Usage: qv31ctl' <<<"$out" || fail "qv31ctl --help printed no usage"

if [ -e "$root/usr/bin/qv31-config" ]; then
  share=$root/usr/share
  desktop=$share/applications/qv31-config.desktop
  [ -f "$desktop" ] && desktop-file-validate "$desktop" || fail "desktop entry missing or invalid"
  metainfo=$(find "$share/metainfo" -name '*.metainfo.xml' 2>/dev/null | head -n 1)
  [ -n "$metainfo" ] && appstreamcli validate --no-net "$metainfo" >/dev/null ||
    fail "metainfo missing or invalid"
  for icon in scalable/apps/qv31-config.svg \
    {16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/qv31-config.png; do
    [ -s "$share/icons/hicolor/$icon" ] || fail "icon hicolor/$icon is missing"
  done
fi

[ "$faults" -eq 0 ] || exit 1
echo "check_deb: $(basename "$deb") runs: ${programs[*]}"
