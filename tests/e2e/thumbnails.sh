#!/usr/bin/env bash
# usage: thumbnails.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: a Pictures folder of photos, a damaged JPEG and a text
# file; thumbnails_flow.py switches the list to thumbnails and checks the
# desktop's thumbnail cache. Leaves OUTPUT_DIR/thumbnails.png.
set -u
. "$(dirname "$0")/session.sh"
flow_script "$1" "$2" xdotool
pics=$work/Pictures
mkdir -p "$pics"
for i in 1 2 3; do
    convert -size 480x320 -seed "$i" plasma:fractal "$pics/photo $i.jpg" || exit 1
done
convert -size 200x300 gradient:yellow-red "$pics/tall.png"
printf '\377\330\377\340broken' > "$pics/damaged.jpg"
echo notes > "$pics/notes.txt"

run_flow "$app" thumbnails_flow.py
quit_cleanly "$pid" "after thumbnails" || exit 1
echo "PASS"
