#!/usr/bin/env bash
# End-to-end benchmark of wzx2bmp against cp and lz4 -d on this machine.
#
# Builds the release preset, makes 8000 x 6000 inputs at block height 32
# with the project's encoder (a mosaic of the photographs in Debian's
# mate-backgrounds package, 24 bits and 32 bits with a radial alpha, and the
# encoder's drawn illustration in both depths), then times whole runs of
# wzx2bmp writing a new BMP, alternating with cp of the finished BMP to a new
# file and lz4 -d of the same pixels to a new file (A B C, A B C, ... after a
# warm-up), and reports median ratios and peak memory. Also: the 10x taller
# illustration (memory must not grow) and a one-pixel-wide image of 36
# million rows, whose cost per output byte is compared with the square
# photograph's in the same alternating way.
#
# Everything downloaded or generated stays under build/bench (or
# WZX_BENCH_WORK); the table also goes to bench/results/latest.txt.
#
# Inputs are made once and reused; `bench/run.sh --fresh` remakes them.
# Environment: WZX_BENCH_PAIRS (rounds after the warm-up, default 5),
# WZX_BENCH_DECODER (another wzx2bmp binary to measure, e.g. an older
# build), WZX_BENCH_LABEL (a note for the table's first line),
# WZX_BENCH_RESULTS (where the table goes), WZX_BENCH_WORK.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
work="${WZX_BENCH_WORK:-$root/build/bench}"
pairs="${WZX_BENCH_PAIRS:-5}"
results="${WZX_BENCH_RESULTS:-$root/bench/results/latest.txt}"
bin="$root/build/release"

say() { printf '%s\n' "$*" >&2; }

# --- tools -------------------------------------------------------------------
missing=()
command -v lz4 >/dev/null 2>&1 || missing+=(lz4)
command -v convert-im6.q16 >/dev/null 2>&1 || missing+=(imagemagick)
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then
        say "installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq "${missing[@]}" </dev/null >/dev/null
    else
        say "missing Debian packages: ${missing[*]} (apt-get install ${missing[*]})"
        exit 1
    fi
fi

say "building the release preset"
cmake --preset release -DWZX_BUILD_BENCH=ON >/dev/null
cmake --build --preset release --target wzx2bmp wzx_encode timed_run reshape_bmp >/dev/null
decoder="${WZX_BENCH_DECODER:-$bin/wzx2bmp}"
encoder="$bin/wzx_encode"
timed="$bin/timed_run"

inputs="$work/inputs"
runs="$work/run"
mkdir -p "$inputs" "$runs"

# Inputs are made once; `bench/run.sh --fresh` makes them anew.
if [ "${1:-}" = "--fresh" ]; then rm -rf "$inputs" && mkdir -p "$inputs"; fi
stale() { [ ! -s "$1" ]; }

# --- inputs ------------------------------------------------------------------
photo_bmps() {
    local debs="$work/debs"
    mkdir -p "$debs"
    if ! ls "$debs"/mate-backgrounds_*.deb >/dev/null 2>&1; then
        say "fetching mate-backgrounds"
        if ! (cd "$debs" && apt-get download mate-backgrounds >/dev/null 2>&1); then
            # A fresh system may not have the package lists yet.
            [ "$(id -u)" -eq 0 ] && apt-get update -qq
            (cd "$debs" && apt-get download mate-backgrounds >/dev/null)
        fi
    fi
    rm -rf "$debs/root"
    dpkg -x "$debs"/mate-backgrounds_*.deb "$debs/root"
    mapfile -t jpgs < <(find "$debs/root" -name '*.jpg' | sort)
    [ ${#jpgs[@]} -gt 0 ] || { say "no photographs in mate-backgrounds"; exit 1; }
    # A 4 x 4 mosaic of 2000 x 1500 tiles, the photographs in turn.
    local args=() r c i=0
    for r in 0 1 2 3; do
        args+=("(")
        for c in 0 1 2 3; do
            args+=("(" "${jpgs[$((i % ${#jpgs[@]}))]}[0]" -resize '2000x1500^' -gravity center
                   -extent 2000x1500 ")")
            i=$((i + 1))
        done
        args+=(+append ")")
    done
    say "making the photographic mosaic"
    convert-im6.q16 "${args[@]}" -append -type TrueColor "BMP3:$inputs/photo-24.bmp"
    convert-im6.q16 -size 8000x6000 radial-gradient:white-black "$inputs/alpha.png"
    convert-im6.q16 "$inputs/photo-24.bmp" "$inputs/alpha.png" -alpha off -compose CopyOpacity \
        -composite -define bmp3:alpha=true "BMP3:$inputs/photo-32.bmp"
    rm -f "$inputs/alpha.png"
}

make_inputs() {
    if [ ! -s "$inputs/photo-24.bmp" ] || [ ! -s "$inputs/photo-32.bmp" ]; then photo_bmps; fi
    local name
    for name in photo-24 photo-32; do
        if stale "$inputs/$name.wzx"; then
            say "encoding $name"
            "$encoder" "$inputs/$name.bmp" "$inputs/$name.wzx"
        fi
    done
    if stale "$inputs/illustration-24.wzx"; then
        say "drawing and encoding the illustrations"
        "$encoder" --draw illustration --size 8000x6000 --bmp "$inputs/illustration-24.bmp" \
            "$inputs/illustration-24.wzx"
        "$encoder" --draw illustration --size 8000x6000 --alpha \
            --bmp "$inputs/illustration-32.bmp" "$inputs/illustration-32.wzx"
    fi
    if stale "$inputs/column.wzx"; then
        say "making the one-pixel column of 36 million rows"
        "$bin/reshape_bmp" column 36000000 "$inputs/photo-24.bmp" "$inputs/column.bmp"
        "$encoder" "$inputs/column.bmp" "$inputs/column.wzx"
        ln -sf "$inputs/column.wzx" "$runs/column.wzx"
        (cd "$runs" && "$decoder" column.wzx </dev/null >/dev/null)
        cmp -s -i 54 "$runs/column.bmp" "$inputs/column.bmp" || { say "column: pixels differ"; exit 1; }
        rm -f "$inputs/column.bmp" "$runs/column.bmp"
    fi
    if stale "$inputs/tall.wzx"; then
        say "making the 10x taller illustration"
        "$bin/reshape_bmp" stack 10 "$inputs/illustration-24.bmp" "$inputs/tall.bmp"
        "$encoder" "$inputs/tall.bmp" "$inputs/tall.wzx"
        rm -f "$inputs/tall.bmp"
    fi
    for name in photo-24 photo-32 illustration-24 illustration-32; do
        if [ ! -s "$inputs/$name.lz4" ] || [ "$inputs/$name.bmp" -nt "$inputs/$name.lz4" ]; then
            say "lz4 of the $name pixels"
            tail -c +55 "$inputs/$name.bmp" | lz4 -q -1 -f - "$inputs/$name.lz4"
        fi
    done
}

# --- timing ------------------------------------------------------------------
# Runs a command under timed_run in the run directory; prints
# "wall user sys maxrss status" and removes the output it names.
run_timed() {
    local output="$1"
    shift
    rm -f "$runs/$output"
    (cd "$runs" && "$timed" "$@")
    rm -f "$runs/$output"
}

# Converts name.wzx once, checks the pixels against the source picture and
# keeps the BMP as the file cp copies.
prepare() {
    local name="$1" source="$2"
    ln -sf "$inputs/$name.wzx" "$runs/$name.wzx"
    rm -f "$runs/$name.bmp"
    (cd "$runs" && "$decoder" "$name.wzx" </dev/null >/dev/null)
    if [ -n "$source" ] && ! cmp -s -i 54 "$runs/$name.bmp" "$source"; then
        say "$name: converted pixels differ from $source"
        exit 1
    fi
    mv "$runs/$name.bmp" "$runs/$name.finished.bmp"
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

log="$work/runs.txt"
: >"$log"
table=()
shapes=()

# wzx2bmp, cp and lz4 -d of one input, A B C per round.
bench_square() {
    local name="$1"
    prepare "$name" "$inputs/$name.bmp"
    local bytes
    bytes=$(stat -c %s "$runs/$name.finished.bmp")
    local round a b c ratios_cp=() ratios_lz4=() walls=() rss=0
    for round in $(seq 0 "$pairs"); do
        a=$(run_timed "$name.bmp" "$decoder" "$name.wzx")
        b=$(run_timed copy.bmp cp "$name.finished.bmp" copy.bmp)
        c=$(run_timed pixels.raw lz4 -q -d -f "$inputs/$name.lz4" pixels.raw)
        echo "$name round $round wzx2bmp $a | cp $b | lz4 $c" >>"$log"
        [ "$round" -eq 0 ] && continue  # warm-up
        read -r aw _ _ am _ <<<"$a"
        read -r bw _ <<<"$b"
        read -r cw _ <<<"$c"
        walls+=("$aw")
        ratios_cp+=("$(awk -v a="$aw" -v b="$bw" 'BEGIN {print a / b}')")
        ratios_lz4+=("$(awk -v a="$aw" -v c="$cw" 'BEGIN {print a / c}')")
        [ "$am" -gt "$rss" ] && rss=$am
    done
    local wall cp lz
    wall=$(printf '%s\n' "${walls[@]}" | median)
    cp=$(printf '%s\n' "${ratios_cp[@]}" | median)
    lz=$(printf '%s\n' "${ratios_lz4[@]}" | median)
    table+=("$(printf '%-16s %9.3f %8.0f %8.2f %9.2f %10d' "$name" "$wall" \
        "$(awk -v b="$bytes" -v t="$wall" 'BEGIN {print b / t / 1e6}')" "$cp" "$lz" "$rss")")
    rm -f "$runs/$name.finished.bmp"
}

# Cost per output byte of `name` against `square`, alternating; prints the
# median ratio and both peak memories.
bench_shape() {
    local name="$1" square="$2"
    ln -sf "$inputs/$name.wzx" "$runs/$name.wzx"
    ln -sf "$inputs/$square.wzx" "$runs/$square.wzx"
    local bytes_a bytes_b round a b ratios=() rss_a=0 rss_b=0 walls=()
    (cd "$runs" && "$decoder" "$name.wzx" </dev/null >/dev/null)
    bytes_a=$(stat -c %s "$runs/$name.bmp")
    rm -f "$runs/$name.bmp"
    (cd "$runs" && "$decoder" "$square.wzx" </dev/null >/dev/null)
    bytes_b=$(stat -c %s "$runs/$square.bmp")
    rm -f "$runs/$square.bmp"
    for round in $(seq 1 "$pairs"); do
        a=$(run_timed "$name.bmp" "$decoder" "$name.wzx")
        b=$(run_timed "$square.bmp" "$decoder" "$square.wzx")
        echo "$name round $round $a | $square $b" >>"$log"
        read -r aw _ _ am _ <<<"$a"
        read -r bw _ _ bm _ <<<"$b"
        walls+=("$aw")
        ratios+=("$(awk -v a="$aw" -v b="$bw" -v x="$bytes_a" -v y="$bytes_b" \
            'BEGIN {print (a / x) / (b / y)}')")
        [ "$am" -gt "$rss_a" ] && rss_a=$am
        [ "$bm" -gt "$rss_b" ] && rss_b=$bm
    done
    local wall ratio
    wall=$(printf '%s\n' "${walls[@]}" | median)
    ratio=$(printf '%s\n' "${ratios[@]}" | median)
    shapes+=("$(printf '%-8s %9.3f %8.0f %-16s %9.2f %10d %12d' "$name" "$wall" \
        "$(awk -v b="$bytes_a" -v t="$wall" 'BEGIN {print b / t / 1e6}')" "$square" "$ratio" \
        "$rss_a" "$rss_b")")
}

make_inputs
say "timing ($pairs rounds after a warm-up; raw runs in $log)"
for name in photo-24 photo-32 illustration-24 illustration-32; do bench_square "$name"; done
bench_shape column photo-24
bench_shape tall illustration-24

# Before the table is written: the results file may itself be tracked.
checkout="$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)"
git -C "$root" diff --quiet 2>/dev/null || checkout+=" (with local changes)"
mkdir -p "$(dirname "$results")"
{
    echo "wzx2bmp end-to-end benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')${WZX_BENCH_LABEL:+, $WZX_BENCH_LABEL}"
    echo "checkout $checkout, decoder $decoder"
    echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $pairs rounds after a warm-up"
    echo
    echo "8000 x 6000 at block height 32; medians of whole runs writing a new file;"
    echo "x cp and x lz4 -d are medians of the per-round ratios (A B C, A B C, ...)"
    printf '%-16s %9s %8s %8s %9s %10s\n' input "wzx2bmp s" "MB/s" "x cp" "x lz4 -d" "peak KiB"
    printf '%s\n' "${table[@]}"
    echo
    echo "column: 1 x 36000000, 24 bits (the mosaic's pixels in row order); tall: 8000 x 60000,"
    echo "the illustration ten times. cost/byte: wall time per output byte over the square's,"
    echo "median of alternating runs"
    printf '%-8s %9s %8s %-16s %9s %10s %12s\n' input "wzx2bmp s" "MB/s" "against" "cost/byte" \
        "peak KiB" "square's KiB"
    printf '%s\n' "${shapes[@]}"
} | tee "$results"
