#!/usr/bin/env bash
# usage: step_delete.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: stepping past a damaged picture, Delete in a picture
# and in the list, and a copy pasted into a folder of the folder tree, each
# checked on disk afterwards (step_delete_flow.py), then SIGTERM.
# Leaves OUTPUT_DIR/step_delete.png.
set -u
. "$(dirname "$0")/session.sh"
flow_script "$1" "$2" xdotool
pics=$work/Pictures
mkdir -p "$pics/Dest"
for n in 1 3 4; do
    convert -size 200x150 xc:"#4060$((n * 20))" -type TrueColor "BMP3:$pics/$n.bmp" || exit 1
done
printf 'BM, but no bitmap follows' > "$pics/2bad.bmp"
echo notes > "$pics/notes.txt"

export PICS=$pics
run_flow "$app" step_delete_flow.py
quit_cleanly "$pid" "after deleting" || exit 1
echo "PASS"
