#!/usr/bin/env bash
# `cmake --install` into a scratch prefix gives the program and the manual
# page and nothing else; the page is where man finds it and renders
# cleanly; the installed program converts like the built one.
# Usage: install_test.sh BUILD_DIR PROGRAM SAMPLER BINDIR MANDIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=$(realpath "$1") program=$(realpath "$2") sampler=$(realpath "$3")
bindir=$4 mandir=$5

need_tool man man-db
need_tool groff groff-base
make_scratch
prefix=$SCRATCH/prefix

cmake --install "$build" --prefix "$prefix" >"$SCRATCH/install.log" 2>&1 ||
    fail "cmake --install failed:"$'\n'"$(cat "$SCRATCH/install.log")"

want=$(printf '%s\n' "$bindir/wzx2bmp" "$mandir/man1/wzx2bmp.1" | sort)
have=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
[ "$have" = "$want" ] || fail "installed files:"$'\n'"$have"$'\n'"want:"$'\n'"$want"
[ -x "$prefix/$bindir/wzx2bmp" ] || fail "$bindir/wzx2bmp is not executable"

found=$(LC_ALL=C.UTF-8 MANPATH="$prefix/$mandir" man -w wzx2bmp 2>&1) ||
    fail "man does not find the page: $found"
[ "$found" = "$prefix/$mandir/man1/wzx2bmp.1" ] || fail "man finds $found"
render_page_cleanly "$prefix/$mandir/man1/wzx2bmp.1"
grep -q '^NAME$' "$SCRATCH/rendered.txt" || fail "the installed page has no NAME section"

compare_on_samples "$program" "$prefix/$bindir/wzx2bmp" "$sampler" "the installed program"
