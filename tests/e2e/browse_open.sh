#!/usr/bin/env bash
# usage: browse_open.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: a home with a Pictures folder, the program on a
# session and an accessibility bus, browse_flow.py against it, then SIGTERM.
# Leaves OUTPUT_DIR/browse.png.
set -u
app=$1 out=$2
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: no python3-pyatspi"; exit 77; }
command -v xdotool >/dev/null || { echo "SKIP: no xdotool"; exit 77; }
work=$(mktemp -d)
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run SHOT_DIR=$out
mkdir -p "$XDG_CONFIG_HOME/Tarnwell" "$XDG_RUNTIME_DIR" "$out" "$work/Pictures/Trip"
chmod 700 "$XDG_RUNTIME_DIR"
pics=$work/Pictures
convert -size 320x240 xc:'#FF0000' -fill '#0000FF' -draw 'rectangle 160,0 319,239' \
    -type TrueColor "BMP3:$pics/red-blue.bmp" || exit 1
convert -size 16x16 xc:gray -type TrueColor "BMP3:$pics/img10.bmp"
convert -size 16x16 xc:gray -type TrueColor "BMP3:$pics/img2.bmp"
echo notes > "$pics/notes.txt"

. "$here/session.sh"
a11y_session "$work"

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$app" -nologo &
pid=$!
/usr/bin/python3 "$here/browse_flow.py"
flow=$?
[ "$flow" -eq 0 ] || { kill -KILL "$pid" 2>/dev/null; exit 1; }
quit_cleanly "$pid" "after browsing" || exit 1
echo "PASS"
