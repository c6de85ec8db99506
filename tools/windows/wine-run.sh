#!/usr/bin/env bash
# Runs a Windows console program under Wine, headless, in the project's own
# prefix (made on first use), so that no test touches ~/.wine. The program's
# exit status comes back as Wine reports it (the low 8 bits).
#   WZX_WINE_PREFIX    the prefix (default: build/wine in this checkout)
#   WZX_WINE_CODEPAGE  932 runs the program with the Japanese ANSI code page
#                      (Shift-JIS); otherwise it gets code page 1252
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEPREFIX="${WZX_WINE_PREFIX:-$root/build/wine}"
export WINEDEBUG=-all
# No Mono or Gecko: console programs need neither, and asking for them
# would wait for a dialogue nobody sees.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

wine_cmd="$(command -v wine || command -v wine64)"

# Concurrent tests must not both build the prefix or the locale.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine_cmd" wineboot -i >/dev/null 2>&1 </dev/null
    # Let the boot's own processes finish before the first real run.
    WINEPREFIX="$WINEPREFIX" wineserver -w 2>/dev/null || true
fi

# Wine takes its ANSI code page from the Unix locale, and needs that locale
# to exist to read UTF-8 file names; the Japanese one is compiled privately.
locale=(LC_ALL=C.UTF-8)
if [ "${WZX_WINE_CODEPAGE:-}" = 932 ]; then
    locales="$WINEPREFIX.locale"
    if [ ! -d "$locales/ja_JP.UTF-8" ]; then
        mkdir -p "$locales"
        if ! localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8" >/dev/null 2>&1; then
            echo "wine-run.sh: cannot compile the ja_JP.UTF-8 locale (package locales)" >&2
            exit 125
        fi
    fi
    locale=(LOCPATH="$locales" LC_ALL=ja_JP.UTF-8)
fi
unset LANG LANGUAGE

# A server that outlives each program by a while spares every test the
# start of a new one and of Wine's own services (about two seconds).
wineserver -p30 >/dev/null 2>&1 </dev/null || true
flock -u 9
exec 9>&-

exec env "${locale[@]}" "$wine_cmd" "$@"
