#!/usr/bin/env bash
# Recompression speed, memory and quality, measured against the ffmpeg command doing the same job
# in the same run, so the numbers that matter are ratios rather than seconds on one machine.
#
#   bench/run.sh BUILD_DIR [ROUNDS]
#
# Each round runs every job once with the ffmpeg command and once with tessarel-convert, back to back,
# alternating which goes first, so that both members of a pair see the same machine. The table
# gives the minimum, median and maximum of the paired ratios (ours / ffmpeg's) over the rounds
# (5 unless ROUNDS says otherwise), peak memory from GNU time, and the outputs' size and PSNR
# against the input. Inputs are made in BUILD_DIR/bench-samples; outputs and logs go to
# BUILD_DIR/bench-out. Exits non-zero when a run fails; a ratio over its goal is reported, not
# fatal, since timings vary from machine to machine.
set -euo pipefail
export LC_ALL=C

[[ $# -ge 1 && $# -le 2 ]] || { echo "usage: $0 BUILD_DIR [ROUNDS]" >&2; exit 2; }
[[ -d $1 ]] || { echo "bench: no build directory $1" >&2; exit 2; }
build=$(cd "$1" && pwd)
rounds=${2:-5}
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "bench: ROUNDS must be a positive number" >&2; exit 2; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
samples=$build/bench-samples
out=$build/bench-out
convert=$build/src/cli/tessarel-convert

# GNU time, not the shell keyword: only it reports peak resident memory.
gnu_time=/usr/bin/time
[[ -x $gnu_time ]] || { echo "bench: $gnu_time missing; install the Debian package 'time'" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "bench: the ffmpeg command is not installed" >&2; exit 1; }
ffmpeg -hide_banner -encoders 2>/dev/null | awk '{print $2}' | grep -qx libxvid ||
    { echo "bench: this ffmpeg has no libxvid encoder, so there is no reference to compare with" >&2; exit 1; }
[[ -x $convert ]] || { echo "bench: $convert missing (build the tessarel-convert target)" >&2; exit 1; }

mpeg4_index=$("$convert" --list | awk -F'\t' '$2 == "MPEG-4 part 2" { print $1 }')
[[ -n $mpeg4_index ]] || { echo "bench: tessarel-convert lists no MPEG-4 part 2 compressor" >&2; exit 1; }

echo "Making benchmark inputs in $samples ..."
bash "$here/../tests/fixtures/make_samples.sh" "$samples" --bench
mkdir -p "$out"

# The jobs: name, input, ffmpeg's options after its input, tessarel-convert's options. Both copy
# the audio, but for the dvd-player preset, which makes MP3 of the phone's AAC.
jobs=(xvid720 xvid1080 mpeg4_720 xvid4k dvd4k)
# The test pattern's saturated primaries lie on the edge of what RGB holds, so every trip through
# RGB24 clips some of them; quality is also measured on a picture whose colours RGB holds.
declare -A input=([xvid720]=big720.mpg [xvid1080]=big1080.mpg [mpeg4_720]=big720.mpg [in_gamut]=in_gamut720.mpg
    [xvid4k]=phone4k.mp4 [dvd4k]=phone4k.mp4)
same_settings="-q:v 4 -g 250 -bf 0 -c:a copy"
declare -A ffmpeg_options=([xvid720]="-c:v libxvid $same_settings" [xvid1080]="-c:v libxvid $same_settings"
    [mpeg4_720]="-c:v mpeg4 $same_settings" [in_gamut]="-c:v libxvid $same_settings"
    [xvid4k]="-c:v libxvid $same_settings"
    [dvd4k]="-c:v libxvid -b:v 4000k -g 250 -bf 0 -c:a libmp3lame -b:a 192k
             -vf scale=w=720:h=576:force_original_aspect_ratio=decrease:force_divisible_by=2:flags=area")
declare -A ours_options=([xvid720]="" [xvid1080]="" [mpeg4_720]="--compressor $mpeg4_index" [in_gamut]=""
    [xvid4k]="" [dvd4k]="--preset dvd-player")
declare -A label=([xvid720]="Xvid 720p 20 s" [xvid1080]="Xvid 1080p 10 s" [mpeg4_720]="MPEG-4 part 2 720p 20 s"
    [in_gamut]="Xvid 720p 10 s, in gamut" [xvid4k]="Xvid 4K phone 6 s" [dvd4k]="dvd-player 4K phone 6 s")

failed=false
# measure NAME COMMAND...: runs COMMAND under GNU time. NAME.time holds "wall cpu kib".
measure() {
    local name=$1
    shift
    local code=0
    "$gnu_time" -f '%e %U %S %M' -o "$out/$name.rawtime" "$@" >"$out/$name.log" 2>&1 || code=$?
    if [[ $code -ne 0 ]]; then
        echo "bench: $name FAILED (exit $code, see $out/$name.log)" >&2
        failed=true
    fi
    # time adds "Command exited with non-zero status N" before its own line on failure.
    tail -n 1 "$out/$name.rawtime" | awk '{ printf "%s %.2f %d\n", $1, $2 + $3, $4 }' >"$out/$name.time"
}

run_ffmpeg() { # JOB
    # shellcheck disable=SC2086  # the options are words
    measure "ffmpeg_$1" ffmpeg -hide_banner -nostdin -y -i "$samples/${input[$1]}" \
        ${ffmpeg_options[$1]} "$out/ffmpeg_$1.avi"
}
run_ours() { # JOB
    # shellcheck disable=SC2086
    measure "ours_$1" "$convert" --quiet --overwrite ${ours_options[$1]} -o "$out/ours_$1.avi" "$samples/${input[$1]}"
}

# Paired ratios, one line per round and job: "JOB WALL CPU MEMORY".
ratios=$out/ratios.txt
: >"$ratios"
for ((round = 1; round <= rounds; round++)); do
    echo "Round $round of $rounds ..."
    for job in "${jobs[@]}"; do
        if ((round % 2)); then run_ffmpeg "$job"; run_ours "$job"; else run_ours "$job"; run_ffmpeg "$job"; fi
        paste -d' ' "$out/ours_$job.time" "$out/ffmpeg_$job.time" |
            awk -v job="$job" '{ printf "%s %.4f %.4f %.4f\n", job, $1 / $4, $2 / $5, $3 / $6 }' >>"$ratios"
    done
    # The preset against the default on the same 4K input, both ours: scaling down first must
    # make the whole job cheaper, not dearer.
    paste -d' ' "$out/ours_dvd4k.time" "$out/ours_xvid4k.time" |
        awk '{ printf "preset_gain %.4f %.4f %.4f\n", $1 / $4, $2 / $5, $3 / $6 }' >>"$ratios"
done

# Memory must stay flat in the input's length: the 720p input at half the length, once.
measure ours_xvid720_10s "$convert" --quiet --overwrite -o "$out/ours_xvid720_10s.avi" "$samples/big720_10s.mpg"
run_ffmpeg in_gamut
run_ours in_gamut

# summary JOB COLUMN: "min median max" of that column of the job's ratios.
summary() {
    awk -v job="$1" -v column="$2" '$1 == job { print $column }' "$ratios" | sort -g |
        awk '{ v[NR] = $1 } END {
            if (NR == 0) { print "n/a n/a n/a"; exit }
            median = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%.2f %.2f %.2f\n", v[1], median, v[NR] }'
}
# row TEXT JOB COLUMN [GOAL]: one line of the table, with whether the median meets the goal.
row() {
    local min median max verdict
    read -r min median max < <(summary "$2" "$3")
    if [[ -z ${4:-} ]]; then
        printf '%-34s %6s %7s %6s\n' "$1" "$min" "$median" "$max"
        return
    fi
    verdict=$(awk -v m="$median" -v g="$4" 'BEGIN { print (m + 0 <= g + 0) ? "met" : "MISSED" }')
    printf '%-34s %6s %7s %6s   <= %-5s %s\n' "$1" "$min" "$median" "$max" "$4" "$verdict"
}

echo
echo "Recompression on $(nproc) cores, $(ffmpeg -hide_banner -version | head -n 1 | cut -d' ' -f1-3)," \
    "$rounds paired runs; ratios are ours / the ffmpeg command's"
printf '%-34s %6s %7s %6s   %s\n' "" min median max goal
row "Xvid 720p wall time" xvid720 2 0.80
row "Xvid 720p CPU time" xvid720 3 1.15
row "Xvid 1080p wall time" xvid1080 2 0.75
row "Xvid 1080p CPU time" xvid1080 3 1.15
row "MPEG-4 part 2 720p wall time" mpeg4_720 2 1.00
row "MPEG-4 part 2 720p CPU time" mpeg4_720 3
row "Xvid 1080p peak memory" xvid1080 4 1.10
# No goal yet for the 4K rows against ffmpeg: H.264 decoding dominates them, and the preset's
# picture passes through RGB24 (which every compressor takes) where ffmpeg's stays YUV.
row "Xvid 4K phone wall time" xvid4k 2
row "dvd-player 4K phone wall time" dvd4k 2
row "dvd-player / own default, 4K, ours" preset_gain 2 1.00

echo
echo "Last round, in seconds and MiB (wall, CPU, peak memory):"
for job in "${jobs[@]}"; do
    for who in ffmpeg ours; do
        read -r wall cpu kib <"$out/${who}_$job.time"
        printf '  %-26s %-7s %6s s %7s s %7.1f MiB\n' "${label[$job]}" "$who" "$wall" "$cpu" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')"
    done
done
read -r _ _ short <"$out/ours_xvid720_10s.time"
read -r _ _ long <"$out/ours_xvid720.time"
awk -v a="$short" -v b="$long" 'BEGIN {
    printf "Peak memory, Xvid 720p 10 s -> 20 s: %.1f -> %.1f MiB: %s\n", a / 1024, b / 1024,
        (b - a > 8192 && b > a * 1.10) ? "GROWS with the input'"'"'s length" : "flat" }'

# psnr FILE INPUT: "y u v average" of FILE's pictures against INPUT's, frame by frame from the start.
psnr() {
    ffmpeg -hide_banner -nostdin -i "$1" -i "$2" -lavfi \
        "[0:v]setpts=PTS-STARTPTS[a];[1:v]setpts=PTS-STARTPTS[b];[a][b]psnr" -f null - 2>&1 |
        sed -n 's/.*PSNR y:\([0-9.inf]*\) u:\([0-9.inf]*\) v:\([0-9.inf]*\) average:\([0-9.inf]*\).*/\1 \2 \3 \4/p' | tail -n 1
}
echo
echo "Quality of the last round against the input (PSNR in dB; goals: size within 3 %, PSNR within 0.3 dB)"
echo "(the dvd-player job's pictures are smaller than its input's, so it has none):"
printf '  %-26s %10s %24s %24s %7s\n' "" "size" "ours y/u/v avg" "ffmpeg's y/u/v avg" "diff"
for job in xvid720 xvid1080 mpeg4_720 xvid4k in_gamut; do
    ours_size=$(stat -c %s "$out/ours_$job.avi")
    ffmpeg_size=$(stat -c %s "$out/ffmpeg_$job.avi")
    read -r oy ou ov oa < <(psnr "$out/ours_$job.avi" "$samples/${input[$job]}")
    read -r fy fu fv fa < <(psnr "$out/ffmpeg_$job.avi" "$samples/${input[$job]}")
    awk -v job="${label[$job]}" -v os="$ours_size" -v fs="$ffmpeg_size" \
        -v oy="$oy" -v ou="$ou" -v ov="$ov" -v oa="$oa" -v fy="$fy" -v fu="$fu" -v fv="$fv" -v fa="$fa" 'BEGIN {
        printf "  %-26s %+9.1f%% %5.2f/%5.2f/%5.2f %5.2f %5.2f/%5.2f/%5.2f %5.2f %+7.2f\n",
            job, (os / fs - 1) * 100, oy, ou, ov, oa, fy, fu, fv, fa, oa - fa }'
done

echo
bash "$here/preview.sh" "$build" || failed=true

if $failed; then
    echo "bench: at least one run failed" >&2
    exit 1
fi
