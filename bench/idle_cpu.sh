#!/bin/bash
# What a still board costs: starts the game on a virtual display (Xvfb), waits until its board is
# shown, leaves it alone and prints the CPU time of the game's process and of the X server over a span
# of wall time (20 seconds unless told otherwise), each as a share of one core. The player's files are
# not touched: the game gets settings and data folders of its own, removed at the end.
#
# Usage: bench/idle_cpu.sh [ZONKEL [SECONDS]]   (default: build/release/run/zonkel, 20)
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$here/build/release/run/zonkel}"
seconds="${2:-20}"
if [[ ! -x "$program" ]]; then
    echo "no program at $program (build it first, or name it)" >&2
    exit 2
fi
for tool in Xvfb xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

work="$(mktemp -d)"
xvfb_pid=""
game_pid=""
finish() {
    [[ -n "$game_pid" ]] && kill "$game_pid" 2>/dev/null && wait "$game_pid" 2>/dev/null
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT

# Xvfb picks a free display and writes its number to the given descriptor.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.1
done
[[ -s "$work/display" ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"

mkdir -p "$work/data" "$work/config"
XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" "$program" >"$work/game.log" 2>&1 &
game_pid=$!

# The board is shown once the window is on screen and its client area holds more than one colour.
window="$(timeout 60 xdotool search --sync --onlyvisible --name "Quarvel" | head -n 1)" ||
    { echo "the game's window did not appear" >&2; cat "$work/game.log" >&2; exit 1; }
shown=""
for _ in $(seq 120); do
    if import -window "$window" "$work/shot.png" 2>/dev/null &&
        [[ "$(convert "$work/shot.png" -format '%[fx:standard_deviation > 0.02]' info:)" == 1 ]]; then
        shown=yes
        break
    fi
    sleep 0.5
done
[[ -n "$shown" ]] || { echo "the board was not shown" >&2; exit 1; }
sleep 2 # the start-up's first frames and the window manager's traffic are over

ticks_per_second="$(getconf CLK_TCK)"
# utime + stime of a process, in clock ticks (fields 14 and 15 of /proc/PID/stat; the command name
# in field 2 may hold blanks, so count from after its closing parenthesis).
cpu_ticks() {
    local stat
    stat="$(cat "/proc/$1/stat")"
    stat="${stat##*) }"
    read -r -a fields <<<"$stat"
    echo $((fields[11] + fields[12]))
}

game_before="$(cpu_ticks "$game_pid")"
xvfb_before="$(cpu_ticks "$xvfb_pid")"
start="$(date +%s.%N)"
sleep "$seconds"
game_after="$(cpu_ticks "$game_pid")"
xvfb_after="$(cpu_ticks "$xvfb_pid")"
end="$(date +%s.%N)"

awk -v g=$((game_after - game_before)) -v x=$((xvfb_after - xvfb_before)) -v hz="$ticks_per_second" \
    -v s="$start" -v e="$end" 'BEGIN {
        wall = e - s
        printf "still board over %.1f s: game %.1f%% of one core, X server %.1f%% of one core\n",
            wall, 100 * g / hz / wall, 100 * x / hz / wall
    }'
