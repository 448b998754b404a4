#!/usr/bin/env bash
# usage: project_drag.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: the program reopens project Trip (Day1/x.bmp, Day2),
# project_drag_flow.py drags x.bmp onto Day2 with the real pointer and then
# clicks elsewhere, then SIGTERM. The file must then be in Day2 and nowhere
# else, whole. Leaves OUTPUT_DIR/drag.png.
set -u
. "$(dirname "$0")/session.sh"
flow_script "$1" "$2" xdotool
trip="$work/Pictures/Vistrel Projects/Trip"
mkdir -p "$trip/Day1" "$trip/Day2"
printf 'Trip\r\n' > "$trip/Trip.vrp"
convert -size 64x48 xc:'#3060C0' -type TrueColor "BMP3:$trip/Day1/x.bmp" || exit 1
sum=$(md5sum < "$trip/Day1/x.bmp")
cat > "$XDG_CONFIG_HOME/Tarnwell/Vistrel.ini" <<INI
[Startup]
ProjectOnExit=yes

[Recent%20Project%20List]
Project1=$trip/Trip.vrp
INI

export TRIP_DIR=$trip
run_flow "$app" project_drag_flow.py
quit_cleanly "$pid" "after a drag in the project tree" || exit 1

[ -e "$trip/Day1/x.bmp" ] && { echo "FAIL: Day1/x.bmp is still there"; exit 1; }
[ "$(md5sum < "$trip/Day2/x.bmp")" = "$sum" ] || { echo "FAIL: Day2/x.bmp is not the dragged file"; exit 1; }
left=$(find "$trip" -name '.*' | wc -l)
[ "$left" -eq 0 ] || { echo "FAIL: hidden files left: $(find "$trip" -name '.*')"; exit 1; }
echo "PASS: x.bmp moved from Day1 to Day2 by a real drag"
