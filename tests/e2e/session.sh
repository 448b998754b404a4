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
