#!/usr/bin/env bash
# CI for the Windows side: installs MinGW-w64 and Wine when they are
# missing, cross-builds wzx2bmp.exe, runs its unit tests and the end-to-end
# tests under Wine. Where the tools cannot be installed it says so and
# succeeds, so that the POSIX build's CI stands on its own.
set -uo pipefail
cd "$(dirname "$0")/../.."

skip() {
    echo "skipping the Windows build: $*"
    exit 0
}

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64-posix)
command -v wine >/dev/null 2>&1 || missing+=(wine wine64)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
[ -f /usr/share/i18n/locales/ja_JP ] || missing+=(locales)
if [ ${#missing[@]} -gt 0 ]; then
    [ "$(id -u)" = 0 ] || skip "not root, cannot install ${missing[*]}"
    command -v apt-get >/dev/null 2>&1 || skip "no apt-get to install ${missing[*]}"
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq </dev/null || skip "apt-get update failed"
    apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null >/dev/null ||
        skip "could not install ${missing[*]}"
fi

# The tests leave a Wine server behind for a while; end ours, and only ours.
trap 'WINEPREFIX="$PWD/build/wine" wineserver -k >/dev/null 2>&1 || true' EXIT

set -e
cmake --workflow --preset windows
cmake --workflow --preset windows-wine
