#!/usr/bin/env bash
# The ways of converting many files at once that the README and the manual
# page show run as written: each converts every file exactly as one
# sequential run does, and none waits on the standard input it inherits.
# Usage: documented_commands_test.sh PROGRAM SAMPLER README PAGE
set -euo pipefail
source "$(dirname "$0")/common.sh"
program=$(realpath "$1") sampler=$(realpath "$2") readme=$3 page=$4

need_tool man man-db
make_scratch
mkdir -p "$SCRATCH/samples"
"$sampler" "$SCRATCH/samples" || fail "could not make the samples"
cp "$SCRATCH/samples/stored.wzx" "$SCRATCH/samples/with blank.wzx"
run_on_copy "$program" "$SCRATCH/samples" "$SCRATCH/sequential"
[ "$(cat "$SCRATCH/sequential/status")" = 0 ] || fail "the sequential run failed"
count=$(ls "$SCRATCH/samples" | wc -l)

# Code lines of the README (indented by four) and of the page's EXAMPLES.
{
    grep -E '^    (ls .*\| *xargs -P|parallel )' "$readme" | sed 's/^    //' | sed 's/^/README: /'
    LC_ALL=C.UTF-8 MANWIDTH=80 MANPAGER=cat man -l "$page" 2>/dev/null |
        sed -n '/^EXAMPLES$/,/^[A-Z]/p' | grep -E '^ +(ls .*\| *xargs -P|parallel )' |
        sed 's/^ *//' | sed 's/^/page: /'
} >"$SCRATCH/commands"
grep -q '^README: .*xargs' "$SCRATCH/commands" || fail "the README shows no xargs -P command"
grep -q '^page: .*xargs' "$SCRATCH/commands" || fail "the page shows no xargs -P command"

n=0
while IFS= read -r line; do
    where=${line%%: *} command=${line#*: }
    if [[ "$command" == parallel* ]] && ! command -v parallel >/dev/null 2>&1; then
        [ -z "${CI:-}" ] || fail "GNU parallel not found: install the Debian package parallel"
        echo "not run, GNU parallel is not installed: $command"
        continue
    fi
    n=$((n + 1))
    dir=$SCRATCH/run$n
    mkdir -p "$dir/work"
    cp "$SCRATCH/samples"/*.wzx "$dir/work/"
    # Standard input stays open and silent: a process that reads it hangs.
    mkfifo "$dir/stdin"
    sleep 90 >"$dir/stdin" 2>/dev/null </dev/null &
    holder=$!
    status=0
    (cd "$dir/work" && PATH="$(dirname "$program"):$PATH" \
        timeout 60 bash -c "$command" >"$dir/stdout" 2>"$dir/stderr" <"$dir/stdin") || status=$?
    kill "$holder" 2>/dev/null || true
    wait "$holder" 2>/dev/null || true
    [ "$status" != 124 ] || fail "$where: '$command' waited on standard input"
    [ "$status" = 0 ] || fail "$where: '$command' ended with $status: $(cat "$dir/stderr")"
    prompts=$(grep -cx '< hit enter key >' "$dir/stdout" || true)
    [ "$prompts" = "$count" ] || fail "$where: '$command' ran $prompts conversions for $count files"
    diff -r "$SCRATCH/sequential/work" "$dir/work" >/dev/null ||
        fail "$where: '$command' left other files: $(diff -rq "$SCRATCH/sequential/work" "$dir/work")"
    echo "$where: ok: $command"
done <"$SCRATCH/commands"
[ "$n" -gt 0 ] || fail "no command was run"
