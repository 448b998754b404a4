#!/usr/bin/env bash
# usage: new_project.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: the program on a session and an accessibility bus,
# project_flow.py makes project Trip through the wizard, then SIGTERM. The
# project file must then be Trip/Trip.vrp, 6 bytes, in the projects folder,
# and the project must be recorded for reopening. Leaves OUTPUT_DIR/wizard.png
# and OUTPUT_DIR/project.png.
set -u
. "$(dirname "$0")/session.sh"
flow_script "$1" "$2" xdotool
run_flow "$app" project_flow.py
quit_cleanly "$pid" "after making a project" || exit 1

file="$work/Pictures/Vistrel Projects/Trip/Trip.vrp"
[ -f "$file" ] || { echo "FAIL: no $file"; find "$work" -name '*.vrp'; exit 1; }
size=$(stat -c %s "$file")
[ "$size" -eq 6 ] || { echo "FAIL: Trip.vrp has $size bytes, not 6"; exit 1; }
[ "$(od -An -c "$file" | tr -s ' ')" = " T r i p \r \n" ] ||
    { echo "FAIL: Trip.vrp holds $(od -An -c "$file")"; exit 1; }
ini=$XDG_CONFIG_HOME/Tarnwell/Vistrel.ini
grep -q '^ProjectOnExit=yes' "$ini" || { echo "FAIL: ProjectOnExit is not yes"; cat "$ini"; exit 1; }
grep -q "^Project1=.*Trip/Trip.vrp" "$ini" || { echo "FAIL: Trip is not Project1"; cat "$ini"; exit 1; }
echo "PASS: Trip/Trip.vrp, 6 bytes"
