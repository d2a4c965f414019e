#!/usr/bin/env bash
# Runs a Windows program under Wine the way the Windows tests need it: quiet,
# in UTF-8, in a Wine prefix of its own that is made on first use.
#   tools/wine-run.sh program.exe [arguments...]
# Environment: QUENLOW_WINEPREFIX (default ~/.cache/quenlow/wine).
set -euo pipefail
export WINEPREFIX=${QUENLOW_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/quenlow/wine}
export WINEDEBUG=-all
export LANG=C.UTF-8
# No .NET or browser engine is wanted, nor the offer to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || command -v wine)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # One set-up at a time, however many tests start at once.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot --init >/dev/null 2>&1 || true
      wineserver -w 2>/dev/null || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
