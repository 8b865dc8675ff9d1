#!/usr/bin/env bash
# What the program costs while nothing happens: one instance under Xvfb with a tray host (trayer), left alone
# for IDLE_SECONDS (60 by default) after it has settled. CPU from utime + stime of /proc/PID/stat, wake-ups
# from the context switches of every thread (/proc/PID/task/*/status), memory from /proc/PID/smaps_rollup:
# resident, proportional, private and private dirty (the program's own: heap, stacks, written pages).
# Proportional and private depend on what else maps the same libraries at that moment. Each row is one
# look of the desktop:
#   ticker-hidden    the ticker slid above the top edge (auto-hide on), no character
#   ticker-shown     the ticker on the screen, showing its greeting, no character
#   ticker-covered   the same, with another window (ImageMagick's display) over the top of the screen
#   assistant        the ticker hidden and the character standing on the desktop
# With BASELINE_BUILD set to another build folder (or a program file), that program is measured in the same
# run, for a before and after; a program called iptux on PATH is measured beside them. With IDLE_THREADS=1
# each row is followed by the wake-ups of every thread by name. A benchmark, not a test.
#
#   bench/idle.sh BUILD_DIR [LOOK…]
set -euo pipefail
build=$(realpath "${1:?usage: idle.sh BUILD_DIR [LOOK…]}")
shift
looks=("$@")
[ ${#looks[@]} -gt 0 ] || looks=(ticker-hidden ticker-shown ticker-covered assistant)
seconds=${IDLE_SECONDS:-60}
settle=${IDLE_SETTLE:-5}
for tool in Xvfb trayer xdotool; do
    command -v "$tool" >/dev/null || { echo "idle: skipped ($tool missing)"; exit 77; }
done
program_of() { if [ -d "$1" ]; then echo "$1/parlune"; else echo "$1"; fi; }
program=$(program_of "$build")
[ -x "$program" ] || { echo "no $program" >&2; exit 1; }

source "$(dirname "$0")/../tests/x11/xdisplay.sh"
x11_start_display
trayer --edge bottom --align right --widthtype request --height 32 --SetDockType true --transparent false \
    --tint 0xc0c0c0 >"$work/trayer.log" 2>&1 &
pids+=($!)
sleep 0.5

# settings LOOK FOLDER : the settings file of one look (the character file is looked for beside the program).
settings() {
    local helper=0 autohide=1
    case "$1" in
    ticker-shown | ticker-covered) autohide=0 ;;
    assistant) helper=1 ;;
    esac
    mkdir -p "$2/Parlune"
    printf '[Software]\nDuvo\\Parlune\\PIM\\Helper=dword:%d\nDuvo\\Parlune\\SYS\\BAutoHide=dword:%d\n' \
        "$helper" "$autohide" >"$2/Parlune/Parlune.conf"
}

# threads PID : "name switches" of every thread.
threads() {
    local task
    for task in /proc/"$1"/task/*; do
        awk -v name="$(cat "$task/comm" 2>/dev/null)" \
            '/^(non)?voluntary_ctxt_switches/ { n += $2 } END { printf "%s %d\n", name, n }' "$task/status" 2>/dev/null
    done
}
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
switches() { threads "$1" | awk '{ n += $NF } END { print n }'; }
memory() { # resident, proportional, private and private dirty kB
    awk '/^Rss:/ { r = $2 } /^Pss:/ { p = $2 } /^Private_(Clean|Dirty):/ { v += $2 } /^Private_Dirty:/ { d = $2 }
         END { printf "%d %d %d %d\n", r, p, v, d }' "/proc/$1/smaps_rollup"
}

# measure NAME LOOK PROGRAM… : starts the program in a fresh home, lets it settle, prints one row.
measure() {
    local name=$1 look=$2 pid home ticks0 ticks1 sw0 sw1 hz rss pss private dirty
    shift 2
    home=$(mktemp -d "$work/home.XXXX")
    mkdir -p "$home/run" && chmod 700 "$home/run"
    settings "$look" "$home/config"
    env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run" \
        QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent PARLUNE_DRY_POWER_OFF=1 \
        "$@" >"$home/log" 2>&1 &
    pid=$!
    local cover=
    if [ "$look" = ticker-covered ]; then
        # Mapped after the ticker's first showing, so that it lies above it.
        sleep 2
        display -size 800x80 xc:gray >/dev/null 2>&1 &
        cover=$!
        # display places itself in the middle; without a window manager, a move is obeyed.
        for _ in $(seq 50); do
            xdotool search --name '^ImageMagick' windowmove 0 0 >/dev/null 2>&1 && break
            sleep 0.1
        done
    fi
    sleep "$settle"
    if ! kill -0 "$pid" 2>/dev/null; then
        printf "%-10s %-14s did not stay up: %s\n" "$name" "$look" "$(tail -n 1 "$home/log")"
        return
    fi
    [ "${IDLE_THREADS:-0}" = 1 ] && threads "$pid" | sort >"$home/threads0"
    ticks0=$(cpu_ticks "$pid")
    sw0=$(switches "$pid")
    sleep "$seconds"
    ticks1=$(cpu_ticks "$pid")
    sw1=$(switches "$pid")
    read -r rss pss private dirty < <(memory "$pid")
    hz=$(getconf CLK_TCK)
    awk -v n="$name" -v l="$look" -v t=$((ticks1 - ticks0)) -v hz="$hz" -v s="$seconds" -v w=$((sw1 - sw0)) \
        -v r="$rss" -v p="$pss" -v v="$private" -v d="$dirty" \
        'BEGIN { printf "%-10s %-14s %9.2f %12.1f %8.1f %8.1f %10.1f %8.1f\n", n, l, 100 * t / hz / s, w / s, r / 1024, p / 1024, v / 1024, d / 1024 }'
    if [ "${IDLE_THREADS:-0}" = 1 ]; then
        threads "$pid" | sort | join -a 1 - "$home/threads0" |
            awk -v s="$seconds" '{ d = $2 - $3; if (d > 0) printf "             thread %-18s %8.1f/s\n", $1, d / s }'
    fi
    kill "$pid" $cover 2>/dev/null || true
    wait "$pid" $cover 2>/dev/null || true
}

echo "idle for ${seconds}s under Xvfb with trayer"
echo "program    look           cpu_%core  wakeups_per_s   rss_mb   pss_mb private_mb dirty_mb"
for look in "${looks[@]}"; do
    [ -z "${BASELINE_BUILD:-}" ] || measure before "$look" "$(program_of "$(realpath "$BASELINE_BUILD")")"
    measure parlune "$look" "$program"
done
if command -v iptux >/dev/null; then
    measure iptux tray iptux
fi
