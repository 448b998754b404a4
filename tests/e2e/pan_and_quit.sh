#!/usr/bin/env bash
# usage: pan_and_quit.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: starts the program on a large picture with a session
# and an accessibility bus, runs pan_flow.py against it, then ends the
# program with SIGTERM while it pans. Leaves OUTPUT_DIR/pan.png.
set -u
app=$1 out=$2
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: no python3-pyatspi"; exit 77; }
work=$(mktemp -d)
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME/Tarnwell" "$XDG_RUNTIME_DIR" "$out" "$work/pictures"
chmod 700 "$XDG_RUNTIME_DIR"
pic=$work/pictures/tall.bmp
convert -size 3000x4000 gradient:red-blue -type TrueColor "BMP3:$pic" || exit 1
cat > "$XDG_CONFIG_HOME/Tarnwell/Vistrel.ini" <<INI
[Startup]
FilesOnExit=yes

[Settings]
pandelay=300

[Recent%20File%20List]
File1=$pic
INI

eval "$(dbus-launch --sh-syntax)"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus=$!
cleanup() {
    kill "$bus" "$DBUS_SESSION_BUS_PID" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$app" &
pid=$!
/usr/bin/python3 "$here/pan_flow.py"
flow=$?
import -window root "$out/pan.png" 2>/dev/null
[ "$flow" -eq 0 ] || { kill -KILL "$pid" 2>/dev/null; exit 1; }

# Quit during the pass: the program ends at once and cleanly.
start=$(date +%s%N)
kill -TERM "$pid"
wait "$pid"
rc=$?
ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "ended with $rc after $ms ms"
[ "$rc" -eq 0 ] || { echo "FAIL: the program exited with $rc"; exit 1; }
[ "$ms" -lt 3000 ] || { echo "FAIL: quitting during a pass took $ms ms"; exit 1; }
echo "PASS"
