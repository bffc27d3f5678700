#!/usr/bin/env bash
# Preview playback: a 1080p MPEG-2 with sound played at full rate on this machine's cores, with
# the pictures dropped and the CPU share it takes, against the ffmpeg command decoding the same
# file at its real rate into the same RGB32 pictures (-re, format=bgra) in the same run.
#
#   bench/preview.sh BUILD_DIR
#
# Sound goes to the null output (no device is needed); it consumes samples at the real rate, so the
# run takes as long as the film.
set -euo pipefail
export LC_ALL=C

[[ $# -eq 1 ]] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
samples=$build/bench-samples
out=$build/bench-out
player=$build/bench/preview_playback
gnu_time=/usr/bin/time

[[ -x $player ]] || { echo "bench: $player missing (build the preview_playback target)" >&2; exit 1; }
[[ -x $gnu_time ]] || { echo "bench: $gnu_time missing; install the Debian package 'time'" >&2; exit 1; }
if [[ ! -s $samples/big1080.mpg ]]; then
    echo "Making benchmark inputs in $samples ..."
    bash "$here/../tests/fixtures/make_samples.sh" "$samples" --bench
fi
mkdir -p "$out"
input=$samples/big1080.mpg

# cpu_share NAME: (user + system) / wall from NAME.time, in percent of one core.
cpu_share() { awk '{ if ($1 > 0) printf "%.0f", ($2 + $3) * 100 / $1; else print "n/a" }' "$out/$1.time"; }
wall_of() { awk '{ print $1 }' "$out/$1.time"; }

echo "Playing $input with our preview graph ..."
status=ok
"$gnu_time" -f '%e %U %S %M' -o "$out/preview_ours.time" "$player" --null-audio "$input" >"$out/preview_ours.log" 2>&1 ||
    status="FAILED (see $out/preview_ours.log)"
echo "Decoding it at its real rate with ffmpeg ..."
"$gnu_time" -f '%e %U %S %M' -o "$out/preview_ffmpeg.time" \
    ffmpeg -hide_banner -nostdin -re -i "$input" -vf format=bgra -f null - >"$out/preview_ffmpeg.log" 2>&1 ||
    status="FAILED (see $out/preview_ffmpeg.log)"

ours=$(cpu_share preview_ours)
theirs=$(cpu_share preview_ffmpeg)
echo
echo "Preview of big1080.mpg (1920x1080 MPEG-2, 25 fps, MP2 sound, 10 s) on $(nproc) cores: $status"
sed -n 's/^/  ours: /p' "$out/preview_ours.log"
echo "  ours:   wall $(wall_of preview_ours) s, CPU $ours % of one core"
echo "  ffmpeg: wall $(wall_of preview_ffmpeg) s, CPU $theirs % of one core (decode at real rate to RGB32, no display)"
awk -v a="$ours" -v b="$theirs" 'BEGIN { if (b > 0) printf "  CPU share, ours / ffmpeg: %.2f\n", a / b }'
[[ $status == ok ]]
