#!/usr/bin/env bash
# The window during a conversion run: how soon it handles an event while a 1080p job runs, and
# the run's wall time against `tessarel-convert` converting the same files one after another, in the
# same session. The goal is at most 5 % overhead for the window.
#
#   bench/run_window.sh BUILD_DIR
#
# Runs under Xvfb with a window manager when both are installed (and then also saves a
# screenshot taken half-way through the last job), else on Qt's offscreen platform. Outputs,
# logs and the screenshot go to BUILD_DIR/bench-out/window. Exits non-zero when a run fails.
set -euo pipefail
export LC_ALL=C

[[ $# -eq 1 ]] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
convert=$build/src/cli/tessarel-convert
window=$build/bench/window_run_bench
for program in "$convert" "$window"; do
    [[ -x $program ]] || { echo "bench: $program missing; build it first" >&2; exit 1; }
done

samples=$build/bench-samples
out=$build/bench-out/window
echo "Making benchmark inputs in $samples ..."
bash "$here/../tests/fixtures/make_samples.sh" "$samples" --bench
rm -rf "$out"
mkdir -p "$out/in" "$out/convert" "$out/home/.config"
# The 1080p file first: the screenshot is taken half-way through its job.
inputs=(big1080.mpg big720.mpg big720_10s.mpg)
for name in "${inputs[@]}"; do cp "$samples/$name" "$out/in/"; done
# Settings of its own, never the user's.
export HOME=$out/home XDG_CONFIG_HOME=$out/home/.config

started=()
cleanup() {
    local pid
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

screenshot=()
if command -v Xvfb >/dev/null && command -v openbox >/dev/null; then
    display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
    started+=($!)
    export DISPLAY=$display QT_QPA_PLATFORM=xcb
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    openbox >"$out/openbox.log" 2>&1 &
    started+=($!)
    sleep 1
    screenshot=(--screenshot "$out/mid_run.png")
    echo "Window on Xvfb $display with openbox"
else
    export QT_QPA_PLATFORM=offscreen
    echo "Window on the offscreen platform (no Xvfb or no window manager)"
fi

# GNU time, not the shell keyword: CPU seconds as well as wall time.
gnu_time=/usr/bin/time
[[ -x $gnu_time ]] || { echo "bench: $gnu_time missing; install the Debian package 'time'" >&2; exit 1; }
add() { awk -v a="$1" -v b="$2" 'BEGIN { print a + b }'; }

# Two rounds, alternating, so that the load of other work falls on both alike. The machine may
# be shared: CPU seconds (user + system) vary less with other work than wall time does.
wall_convert=0 wall_window=0 cpu_convert=0 cpu_window=0
for round in 1 2; do
    round_wall=0 round_cpu=0
    for name in "${inputs[@]}"; do
        "$gnu_time" -f '%e %U %S' -o "$out/time" \
            "$convert" --quiet --overwrite -o "$out/convert/${name%.*}.avi" "$out/in/$name" >>"$out/convert.log" 2>&1
        read -r wall user system <"$out/time"
        round_wall=$(add "$round_wall" "$wall")
        round_cpu=$(add "$round_cpu" "$(add "$user" "$system")")
    done

    args=()
    [[ $round -eq 1 ]] && args=("${screenshot[@]}")
    "$gnu_time" -f '%e %U %S' -o "$out/time" \
        "$window" "${args[@]}" "${inputs[@]/#/$out/in/}" >"$out/window_$round.log" 2>"$out/window_$round.err"
    read -r _ user system <"$out/time"
    window_wall=$(awk '/^run:/ { print $2 }' "$out/window_$round.log")
    window_cpu=$(add "$user" "$system")
    cat "$out/window_$round.log"

    echo "round $round: tessarel-convert ${round_wall} s (CPU ${round_cpu} s), window run ${window_wall} s (CPU ${window_cpu} s, start-up included)"
    wall_convert=$(add "$wall_convert" "$round_wall")
    wall_window=$(add "$wall_window" "$window_wall")
    cpu_convert=$(add "$cpu_convert" "$round_cpu")
    cpu_window=$(add "$cpu_window" "$window_cpu")
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f (%+.1f %%)", a / b, (a / b - 1) * 100 }'; }
echo
echo "window / tessarel-convert, same 3 files, 2 rounds (goal: at most +5 %):"
echo "  wall time:   $(ratio "$wall_window" "$wall_convert")"
echo "  CPU seconds: $(ratio "$cpu_window" "$cpu_convert")"
grep -h '^reaction big1080' "$out"/window_*.log | sed 's/^reaction /window reaction during the 1080p job, /'
if [[ ${#screenshot[@]} -gt 0 ]]; then
    echo "screenshot half-way through the 1080p job (round 1; its grab delays that round's reaction): $out/mid_run.png"
fi
