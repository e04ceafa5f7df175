#!/usr/bin/env bash
# Runs a Windows program under wine without a display or questions, in a wine
# prefix of its own under the build folder (found by walking up from the
# program to CMakeCache.txt), unless WINEPREFIX is set. Usage: wine-run.sh PROGRAM [ARGS...]
set -euo pipefail

program=$1
shift

if [[ -z "${WINEPREFIX:-}" ]]; then
    dir=$(cd "$(dirname "$program")" && pwd)
    while [[ "$dir" != / && ! -f "$dir/CMakeCache.txt" ]]; do
        dir=$(dirname "$dir")
    done
    [[ -f "$dir/CMakeCache.txt" ]] || dir=$(cd "$(dirname "$program")" && pwd)
    export WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# Debian's wine64 loader sits outside PATH; the wine wrapper picks it too, but
# complains about a missing wine32 unless WINEDEBUG says -all.
if [[ -x /usr/lib/wine/wine64 ]]; then
    export WINELOADER=/usr/lib/wine/wine64
    wine=/usr/lib/wine/wine64
elif command -v wine64 >/dev/null 2>&1; then
    wine=wine64
else
    wine=wine
fi

# First use of the prefix: create it quietly (takes some seconds once).
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot -u >/dev/null 2>&1 </dev/null || true
    wineserver -w 2>/dev/null || true
fi

exec "$wine" "$program" "$@" </dev/null
