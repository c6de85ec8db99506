#!/usr/bin/env bash
# Regenerates the bundled example images with the project's own encoder,
# from the pictures it draws itself (the list is examples.txt).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
enc=${WZX_ENCODE:-$here/../build/release/wzx_encode}
grep -v '^#' "$here/examples.txt" | while read -r name args; do
    # shellcheck disable=SC2086  # args is a list of options
    "$enc" $args "$here/$name.wzx"
done
