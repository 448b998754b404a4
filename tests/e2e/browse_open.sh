#!/usr/bin/env bash
# usage: browse_open.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: a home with a Pictures folder, the program on a
# session and an accessibility bus, browse_flow.py against it, then SIGTERM.
# Leaves OUTPUT_DIR/browse.png.
set -u
. "$(dirname "$0")/session.sh"
flow_script "$1" "$2" xdotool
mkdir -p "$work/Pictures/Trip"
pics=$work/Pictures
convert -size 320x240 xc:'#FF0000' -fill '#0000FF' -draw 'rectangle 160,0 319,239' \
    -type TrueColor "BMP3:$pics/red-blue.bmp" || exit 1
convert -size 16x16 xc:gray -type TrueColor "BMP3:$pics/img10.bmp"
convert -size 16x16 xc:gray -type TrueColor "BMP3:$pics/img2.bmp"
echo notes > "$pics/notes.txt"

run_flow "$app" browse_flow.py
quit_cleanly "$pid" "after browsing" || exit 1
echo "PASS"
