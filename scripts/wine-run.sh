#!/usr/bin/env bash
# Runs a Windows program under Wine: wine-run.sh PROGRAM.exe [ARGUMENTS...]
# The prefix is private (ENTORRA_WINEPREFIX, else build/windows/wine beside this script's
# repository), created on first use, and Wine's own chatter is off. Debian keeps the loader
# wine64 in its library folder, not on the PATH.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${ENTORRA_WINEPREFIX:-$root/build/windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# No desktop integration, no Mono or Gecko installer prompts.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=d}

wine=${ENTORRA_WINE:-}
if [ -z "$wine" ]; then
    for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" \
                     "$(command -v wine || true)"; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then
            wine=$candidate
            break
        fi
    done
fi
if [ -z "$wine" ]; then
    echo "wine-run.sh: Wine not found (Debian package wine64)" >&2
    exit 127
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot --init >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
