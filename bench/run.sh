#!/usr/bin/env bash
# Recompression speed and memory, measured against the ffmpeg command doing the same job in the
# same run, so the numbers that matter are ratios rather than seconds on one machine.
#
#   bench/run.sh BUILD_DIR
#
# Makes the large inputs into BUILD_DIR/bench-samples, writes outputs and logs to BUILD_DIR/bench-out,
# and prints a summary table. Exits non-zero when a run fails; a memory-growth finding is reported,
# not fatal, since peak RSS varies a little from run to run.
set -euo pipefail
export LC_ALL=C

[[ $# -eq 1 ]] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
[[ -d $1 ]] || { echo "bench: no build directory $1" >&2; exit 2; }
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
samples=$build/bench-samples
out=$build/bench-out
recompress=$build/tools/recompress

# GNU time, not the shell keyword: only it reports peak resident memory.
gnu_time=/usr/bin/time
[[ -x $gnu_time ]] || { echo "bench: $gnu_time missing; install the Debian package 'time'" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "bench: the ffmpeg command is not installed" >&2; exit 1; }
ffmpeg -hide_banner -encoders 2>/dev/null | awk '{print $2}' | grep -qx libxvid ||
    { echo "bench: this ffmpeg has no libxvid encoder, so there is no reference to compare with" >&2; exit 1; }

echo "Making benchmark inputs in $samples ..."
bash "$here/../tests/fixtures/make_samples.sh" "$samples" --bench
mkdir -p "$out"

declare -A wall rss status
jobs=()

# measure NAME COMMAND...: runs COMMAND under GNU time; its output goes to NAME.log.
measure() {
    local name=$1
    shift
    jobs+=("$name")
    echo "Running $name ..."
    local code=0
    "$gnu_time" -f '%e %M' -o "$out/$name.time" "$@" >"$out/$name.log" 2>&1 || code=$?
    local seconds kib
    # time appends "Command exited with non-zero status N" before its own line on failure.
    read -r seconds kib < <(tail -n 1 "$out/$name.time")
    wall[$name]=$seconds
    rss[$name]=$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')
    if [[ $code -eq 0 ]]; then
        status[$name]=ok
    else
        status[$name]="FAILED (exit $code, see $out/$name.log)"
    fi
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

measure ffmpeg_720p_20s \
    ffmpeg -hide_banner -nostdin -y -i "$samples/big720.mpg" \
    -c:v libxvid -q:v 4 -g 250 -bf 0 -c:a copy "$out/ffmpeg_720p_20s.avi"

have_ours=false
if [[ -x $recompress ]]; then
    have_ours=true
    measure ours_720p_20s "$recompress" "$samples/big720.mpg" "$out/ours_720p_20s.avi"
    measure ours_1080p_10s "$recompress" "$samples/big1080.mpg" "$out/ours_1080p_10s.avi"
    measure ours_720p_10s "$recompress" "$samples/big720_10s.mpg" "$out/ours_720p_10s.avi"
else
    echo "Skipping our runs: $recompress does not exist (build the recompress tool first)."
fi

echo
echo "Benchmark on $(nproc) cores, $(ffmpeg -hide_banner -version | head -n 1 | cut -d' ' -f1-3)"
printf '%-18s %-16s %8s %14s  %s\n' job input "wall s" "peak RSS MiB" status
printf '%-18s %-16s %8s %14s  %s\n' ------------------ ---------------- -------- -------------- ------
for name in "${jobs[@]}"; do
    case $name in
        *720p_20s) input=big720.mpg ;;
        *720p_10s) input=big720_10s.mpg ;;
        *1080p_10s) input=big1080.mpg ;;
    esac
    printf '%-18s %-16s %8s %14s  %s\n' "$name" "$input" "${wall[$name]}" "${rss[$name]}" "${status[$name]}"
done
echo

failed=false
for name in "${jobs[@]}"; do [[ ${status[$name]} == ok ]] || failed=true; done

succeeded() { # NAME...: all these runs exist and exited 0
    local name
    for name in "$@"; do [[ ${status[$name]:-} == ok ]] || return 1; done
}

if ! $have_ours; then
    echo "ours / ffmpeg: not measured (no recompress tool)"
fi
if succeeded ffmpeg_720p_20s ours_720p_20s; then
    echo "wall time, ours / ffmpeg (720p, 20 s):  $(ratio "${wall[ours_720p_20s]}" "${wall[ffmpeg_720p_20s]}")"
    echo "peak RSS,  ours / ffmpeg (720p, 20 s):  $(ratio "${rss[ours_720p_20s]}" "${rss[ffmpeg_720p_20s]}")"
fi
if succeeded ours_1080p_10s; then
    echo "peak RSS,  1080p 10 s:                  ${rss[ours_1080p_10s]} MiB"
fi
if succeeded ours_720p_10s ours_720p_20s; then
    # Bounded queues keep memory flat in the input's length: doubling it must not add more than
    # measurement noise.
    short=${rss[ours_720p_10s]}
    long=${rss[ours_720p_20s]}
    growth=$(awk -v a="$short" -v b="$long" 'BEGIN { printf "%+.1f", b - a }')
    verdict=$(awk -v a="$short" -v b="$long" 'BEGIN { print (b - a > 8 && b > a * 1.10) ? "GROWS with input length" : "flat" }')
    echo "memory growth, 720p 10 s -> 20 s:       $short -> $long MiB (${growth} MiB, $(ratio "$long" "$short")x): $verdict"
fi

echo
bash "$here/preview.sh" "$build" || failed=true

if $failed; then
    echo "bench: at least one run failed" >&2
    exit 1
fi
