# Helpers shared by the install, package and documentation tests: failing
# with a reason, skipping when a Debian tool is missing, rendering the page.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A missing tool skips the test on a developer's machine (status 77, which
# CTest reports as skipped) but fails it under CI, where .ci/run installs it.
need_tool() {
    local tool=$1 package=$2
    command -v "$tool" >/dev/null 2>&1 && return 0
    if [ -n "${CI:-}" ]; then
        fail "$tool not found: install the Debian package $package"
    fi
    echo "SKIPPED: $tool not found (apt-get install $package)"
    exit 77
}

# A fresh directory removed when the script ends.
make_scratch() {
    SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/wzx2bmp-test.XXXXXX")
    trap 'rm -rf "$SCRATCH"' EXIT
}

# Renders a manual page (plain or gzip-compressed) through man-db at 80
# columns and through groff with every warning on; any diagnostic fails.
# The text is left in $SCRATCH/rendered.txt.
render_page_cleanly() {
    local page=$1 warnings
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 MANPAGER=cat PAGER=cat \
        man --warnings=w -l "$page" 2>&1 >"$SCRATCH/rendered.txt") ||
        fail "man -l $page failed: $warnings"
    [ -z "$warnings" ] || fail "man -l $page warns:"$'\n'"$warnings"
    warnings=$(zcat -f "$page" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1) ||
        fail "groff failed on $page: $warnings"
    [ -z "$warnings" ] || fail "groff warns on $page:"$'\n'"$warnings"
    [ -s "$SCRATCH/rendered.txt" ] || fail "man -l $page rendered nothing"
    # Unfilled text (the examples) overflows without a warning.
    local widest
    widest=$(LC_ALL=C.UTF-8 wc -L <"$SCRATCH/rendered.txt")
    [ "$widest" -le 80 ] || fail "$page renders lines of $widest columns at MANWIDTH=80"
}

# Runs one program on copies of the .wzx files of a directory and records
# what it printed, its status and the files it left.
run_on_copy() {
    local program=$1 inputs=$2 into=$3
    mkdir -p "$into/work"
    cp "$inputs"/*.wzx "$into/work/"
    (cd "$into/work" && "$program" '*.wzx' </dev/null >"$into/stdout" 2>"$into/stderr"
        echo $? >"$into/status")
}

# Both runs must agree on everything: stdout, stderr, status and every file.
same_runs() {
    local want=$1 have=$2 what=$3
    for f in stdout stderr status; do
        cmp -s "$want/$f" "$have/$f" ||
            fail "$what: $f differs; have:"$'\n'"$(cat "$have/$f")"$'\n'"want:"$'\n'"$(cat "$want/$f")"
    done
    diff -r "$want/work" "$have/work" >/dev/null ||
        fail "$what: the files left differ: $(diff -rq "$want/work" "$have/work")"
}

# Converts freshly made samples with the build tree's program and with
# another one, and fails unless both leave exactly the same.
compare_on_samples() {
    local built=$1 other=$2 sampler=$3 what=$4
    mkdir -p "$SCRATCH/samples"
    "$sampler" "$SCRATCH/samples" || fail "could not make the samples"
    run_on_copy "$built" "$SCRATCH/samples" "$SCRATCH/want-samples"
    run_on_copy "$other" "$SCRATCH/samples" "$SCRATCH/have-samples"
    [ "$(cat "$SCRATCH/want-samples/status")" = 0 ] ||
        fail "the build tree's program failed on the samples: $(cat "$SCRATCH/want-samples/stderr")"
    local inputs outputs
    inputs=$(ls "$SCRATCH/samples" | wc -l)
    outputs=$(ls "$SCRATCH/want-samples/work"/*.bmp | wc -l)
    [ "$inputs" = "$outputs" ] || fail "have $outputs BMP files from $inputs samples"
    same_runs "$SCRATCH/want-samples" "$SCRATCH/have-samples" "$what on the samples"
    echo "$what converts $inputs samples exactly like the build tree's program"
}
