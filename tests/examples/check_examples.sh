#!/usr/bin/env bash
# The bundled examples convert cleanly, and each BMP holds exactly the
# pixels the encoder drew for it.
# Usage: check_examples.sh WZX2BMP WZX_ENCODE EXAMPLES_DIR
set -euo pipefail
tool=$(realpath "$1") enc=$(realpath "$2") examples=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$examples"/*.wzx "$work"/
(cd "$work" && "$tool" '*.wzx' </dev/null >stdout 2>stderr) || { echo "exit status $?"; cat "$work/stderr"; exit 1; }
[ ! -s "$work/stderr" ] || { echo "unexpected messages:"; cat "$work/stderr"; exit 1; }
count=0
while read -r name args; do
    # shellcheck disable=SC2086  # args is a list of options
    "$enc" $args --bmp "$work/$name.drawn.bmp"
    # The two BMPs differ only in the file-size field, which the converter
    # leaves 0; the rest of the headers and every pixel must agree.
    cmp <(tail -c +7 "$work/$name.bmp") <(tail -c +7 "$work/$name.drawn.bmp") ||
        { echo "$name: converted pixels differ from the drawn picture"; exit 1; }
    count=$((count + 1))
done < <(grep -v '^#' "$examples/examples.txt")
echo "$count examples converted to their drawn pixels"
