# Sourced by the Windows tests' scripts: a Wine prefix of their own, a persistent server and
# one warm-up call (else every program is a cold start and Wine's helpers hold the first
# program's output open), the crash debugger off (else a crash may exit 0).
# WINE_PREFIX_DIR: where the prefix lives (made on first use).
set -euo pipefail
export WINEPREFIX="${WINE_PREFIX_DIR:?WINE_PREFIX_DIR must name the Wine prefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_ready() {
  mkdir -p "$WINEPREFIX"
  wineserver -p 2>/dev/null || true  # refused when one already runs for this prefix
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 </dev/null || true
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d "" /f \
    >/dev/null 2>&1 </dev/null
}
wine_done() { wineserver -k 2>/dev/null || true; }
