# Sourced by the tests that need a real X server of their own. Sets work (a scratch folder), pids (processes
# to end on exit, with their clean-up trap) and DISPLAY; `x11_start_display FIRST` starts Xvfb on the first
# free display from FIRST upwards and waits until it answers.
work=$(mktemp -d)
pids=()
x11_cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap x11_cleanup EXIT

x11_start_display() {
    local display=$1
    while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
    Xvfb :$display -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    export DISPLAY=:$display
    for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
}
