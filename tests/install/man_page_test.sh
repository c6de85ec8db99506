#!/usr/bin/env bash
# The manual page renders without a single warning, has the sections a
# reader looks for, lists every exit status and quotes every message that
# the program's sources can print.
# Usage: man_page_test.sh PAGE SOURCE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
page=$1 src=$2

need_tool man man-db
need_tool groff groff-base
make_scratch
render_page_cleanly "$page"

# One long line per paragraph and single blanks, so that a message is
# found whatever the filling did to it.
LC_ALL=C.UTF-8 groff -man -Tutf8 -P-cbou -rLL=2000n "$page" 2>/dev/null |
    tr -s ' ' >"$SCRATCH/flat.txt"

for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" DIAGNOSTICS EXAMPLES NOTES; do
    grep -qx "$section" "$SCRATCH/rendered.txt" || fail "no section $section"
done

# Every exit status is a tag of its own in EXIT STATUS.
sed -n '/^EXIT STATUS$/,/^DIAGNOSTICS$/p' "$SCRATCH/rendered.txt" >"$SCRATCH/status.txt"
for status in 0 1 2 3 255; do
    grep -Eq "^ +$status( |$)" "$SCRATCH/status.txt" || fail "exit status $status not listed"
done

# The messages: every string literal of the driver, the reasons that the
# decoder names, and the out-of-memory text, each cut at its conversions
# (%s, %llu, ...) and line ends into the fixed pieces a reader sees.
literals() {
    grep -v '^#include' "$1" | grep -o '"\([^"\\]\|\\.\)*"' | sed 's/^"//; s/"$//'
}
function_returns() {
    sed -n "/^const char\* $2(/,/^}/p" "$1" | grep -o 'return "[^"]*"' | sed 's/^return "//; s/"$//'
}
{
    literals "$src/cli/driver.cpp"
    literals "$src/cli/abnormal_end_posix.cpp"
    function_returns "$src/decoder/container.cpp" headerCheckText | grep -vx 'accepted\|unknown'
    function_returns "$src/decoder/container.cpp" damageText | grep -vx 'no damage\|unknown damage'
} | sed 's/\\[rn]/\n/g; s/%[a-z]*/\n/g' | sed 's/^ *//; s/ *$//' | awk 'length >= 3' |
    sort -u >"$SCRATCH/pieces.txt"

[ "$(wc -l <"$SCRATCH/pieces.txt")" -ge 15 ] ||
    fail "found only $(wc -l <"$SCRATCH/pieces.txt") message pieces in the sources"
missing=0
while IFS= read -r piece; do
    if ! grep -qF -- "$piece" "$SCRATCH/flat.txt"; then
        echo "message not in the page: \"$piece\"" >&2
        missing=1
    fi
done <"$SCRATCH/pieces.txt"
[ "$missing" = 0 ] || fail "the page misses messages"
echo "page renders cleanly; $(wc -l <"$SCRATCH/pieces.txt") message pieces all documented"
