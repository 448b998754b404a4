# Sourced by the end-to-end scripts that drive the program through AT-SPI.

# a11y_session WORK: a session bus and an accessibility bus for this run;
# both end, and the folder WORK is removed, when the script exits.
a11y_session() {
    a11y_work=$1
    eval "$(dbus-launch --sh-syntax)"
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    a11y_bus=$!
    trap 'kill "$a11y_bus" "$DBUS_SESSION_BUS_PID" 2>/dev/null; rm -rf "$a11y_work"' EXIT
}

# quit_cleanly PID WHILE: ends the program with SIGTERM; fails unless it
# exits with 0 within three seconds. WHILE says what it was doing.
quit_cleanly() {
    local pid=$1 while_=$2 start rc ms
    start=$(date +%s%N)
    kill -TERM "$pid"
    wait "$pid"
    rc=$?
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    echo "ended with $rc after $ms ms"
    [ "$rc" -eq 0 ] || { echo "FAIL: the program exited with $rc"; return 1; }
    [ "$ms" -lt 3000 ] || { echo "FAIL: quitting $while_ took $ms ms"; return 1; }
}

# a11y_home OUT: skips (77) without python3-pyatspi; otherwise makes a fresh
# home in $work (HOME, the config folder with its Tarnwell folder, the runtime
# folder, SHOT_DIR=OUT for the flow's screenshots) and starts the buses for it.
a11y_home() {
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: no python3-pyatspi"; exit 77; }
    work=$(mktemp -d)
    export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run SHOT_DIR=$1
    mkdir -p "$XDG_CONFIG_HOME/Tarnwell" "$XDG_RUNTIME_DIR" "$1"
    chmod 700 "$XDG_RUNTIME_DIR"
    a11y_session "$work"
}

# run_flow APP FLOW: starts the program without its splash, with AT-SPI on,
# and runs the flow script against it; when the flow fails, kills the program
# and fails the script. The program's pid is left in $pid.
run_flow() {
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$1" -nologo &
    pid=$!
    /usr/bin/python3 "$here/$2" || { kill -KILL "$pid" 2>/dev/null; exit 1; }
}

# flow_script APP OUT [COMMAND...]: the start of a script that runs a flow:
# sets app, out and here (this folder), skips (77) unless each COMMAND is on
# the path, then makes the home with a11y_home OUT.
flow_script() {
    app=$1 out=$2
    here=$(cd "$(dirname "$0")" && pwd)
    local tool
    for tool in "${@:3}"; do
        command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }
    done
    a11y_home "$out"
}
