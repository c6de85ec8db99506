#!/usr/bin/env bash
# `cpack -G DEB` gives a package with Debian's metadata and layout; unpacked
# into a scratch root it holds the program and the compressed page, and the
# program there converts like the built one, on made samples and on the
# bundled examples.
# Usage: package_test.sh BUILD_DIR PROGRAM SAMPLER CPACK VERSION SOURCE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=$(realpath "$1") program=$(realpath "$2") sampler=$(realpath "$3")
cpack=$4 version=$5 src=$(realpath "$6")

need_tool dpkg-deb dpkg
need_tool dpkg-shlibdeps dpkg-dev
need_tool man man-db
need_tool groff groff-base
make_scratch

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$SCRATCH/pkg" >"$SCRATCH/cpack.log" 2>&1 ||
    fail "cpack failed:"$'\n'"$(cat "$SCRATCH/cpack.log")"
arch=$(dpkg --print-architecture)
deb=$SCRATCH/pkg/wzx2bmp_${version}-1_${arch}.deb
[ -f "$deb" ] || fail "no $deb; cpack made: $(ls "$SCRATCH/pkg")"

field() { dpkg-deb -f "$deb" "$1"; }
expect_field() {
    local have
    have=$(field "$1")
    [ "$have" = "$2" ] || fail "field $1: have '$have', want '$2'"
}
expect_field Package wzx2bmp
expect_field Version "${version}-1"
expect_field Architecture "$arch"
expect_field Section graphics
expect_field Priority optional
field Maintainer | grep -Eq '^[^<>]+ <[^<>@ ]+@[^<> ]+>$' ||
    fail "Maintainer is not 'Name <address>': $(field Maintainer)"
description=$(field Description)
[ "$(printf '%s\n' "$description" | wc -l)" -ge 2 ] || fail "Description has no long part"
printf '%s\n' "$description" | awk 'length > 80 { exit 1 }' ||
    fail "Description has lines over 80 columns"

# Contents: exactly the program and the compressed page, owned by root,
# with the modes Debian expects.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort >"$SCRATCH/contents"
cat >"$SCRATCH/want-contents" <<LIST
-rw-r--r-- root/root ./usr/share/man/man1/wzx2bmp.1.gz
-rwxr-xr-x root/root ./usr/bin/wzx2bmp
LIST
sort -o "$SCRATCH/want-contents" "$SCRATCH/want-contents"
cmp -s "$SCRATCH/contents" "$SCRATCH/want-contents" ||
    fail "package contents:"$'\n'"$(cat "$SCRATCH/contents")"$'\n'"want:"$'\n'"$(cat "$SCRATCH/want-contents")"
dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" { exit 1 }' ||
    fail "a directory in the package is not drwxr-xr-x"

root=$SCRATCH/root
dpkg -x "$deb" "$root"
installed=$root/usr/bin/wzx2bmp
page=$root/usr/share/man/man1/wzx2bmp.1.gz

# Every library the program loads comes from a package named in Depends.
depends=$(field Depends)
depended=$(printf '%s\n' "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/[ (:].*//')
while read -r lib path; do
    owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(readlink -f "$path")" 2>/dev/null) ||
        fail "no package owns $path ($lib)"
    owner=${owner%%:*}
    grep -qxF -- "$owner" <<<"$depended" ||
        fail "$lib comes from $owner, which Depends ($depends) does not name"
done < <(ldd "$installed" | awk '$2 == "=>" && $3 ~ /^\// { print $1, $3 }')
[[ "$depends" =~ libc6\ \(\>=\ [0-9] ]] || fail "Depends has no versioned libc6: $depends"
readelf -S "$installed" | grep -q '\.symtab' && fail "the packaged program is not stripped"

# Debian's way of compressing pages: gzip -9n, so no name and no time stamp.
header=$(od -An -tx1 -N10 "$page" | tr -d ' \n')
[ "${header:0:6}" = 1f8b08 ] || fail "the page is not gzip data: $header"
[ "${header:6:10}" = 0000000000 ] || fail "the page carries a name or time stamp (not gzip -n): $header"
[ "${header:16:2}" = 02 ] || fail "the page is not compressed with -9: $header"
zcat "$page" | cmp -s - "$build/man/wzx2bmp.1" || fail "the packaged page is not the built one"
render_page_cleanly "$page"

compare_on_samples "$program" "$installed" "$sampler" "the packaged program"

shopt -s nullglob
examples=("$src"/examples/*.wzx)
if [ ${#examples[@]} -eq 0 ]; then
    echo "examples/ holds no .wzx files yet: compared on the made samples only"
else
    run_on_copy "$program" "$src/examples" "$SCRATCH/want-examples"
    run_on_copy "$installed" "$src/examples" "$SCRATCH/have-examples"
    [ "$(cat "$SCRATCH/want-examples/status")" = 0 ] ||
        fail "the build tree's program failed on examples/: $(cat "$SCRATCH/want-examples/stderr")"
    same_runs "$SCRATCH/want-examples" "$SCRATCH/have-examples" "the packaged program on examples/"
    echo "the packaged program converts the ${#examples[@]} examples exactly like the built one"
fi
