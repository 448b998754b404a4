#!/usr/bin/env bash
# usage: pan_and_quit.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: starts the program on a large picture with a session
# and an accessibility bus, runs pan_flow.py against it, then ends the
# program with SIGTERM while it pans. Leaves OUTPUT_DIR/pan.png.
set -u
. "$(dirname "$0")/session.sh"
flow_script "$1" "$2"
mkdir -p "$work/pictures"
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

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$app" &
pid=$!
/usr/bin/python3 "$here/pan_flow.py"
flow=$?
import -window root "$out/pan.png" 2>/dev/null
[ "$flow" -eq 0 ] || { kill -KILL "$pid" 2>/dev/null; exit 1; }

# Quit during the pass: the program ends at once and cleanly.
quit_cleanly "$pid" "during a pass" || exit 1
echo "PASS"
