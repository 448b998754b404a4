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

. "$here/session.sh"
a11y_session "$work"

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$app" &
pid=$!
/usr/bin/python3 "$here/pan_flow.py"
flow=$?
import -window root "$out/pan.png" 2>/dev/null
[ "$flow" -eq 0 ] || { kill -KILL "$pid" 2>/dev/null; exit 1; }

# Quit during the pass: the program ends at once and cleanly.
quit_cleanly "$pid" "during a pass" || exit 1
echo "PASS"
