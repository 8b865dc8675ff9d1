# Sourced by the tests that need a real X server of their own. Sets work (a scratch folder), pids (processes
# to end on exit, with their clean-up trap) and DISPLAY; `x11_start_display` starts Xvfb on a free display and
# waits until it answers.
work=$(mktemp -d)
pids=()
x11_cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap x11_cleanup EXIT

# Xvfb picks the display itself (-displayfd): tests that look for a free number at the same time can take the
# same one, and a server killed earlier leaves its socket behind.
x11_start_display() {
    local display=
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        display=$(cat "$work/display" 2>/dev/null)
        [ -n "$display" ] && break
        sleep 0.1
    done
    export DISPLAY=:$display
    for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
}
