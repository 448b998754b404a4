#!/usr/bin/env bash
# usage: slideshow_run.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: a folder of three pictures and a text file, the
# program on a session and an accessibility bus with a one-second sequential
# slideshow set, slideshow_flow.py against it, then SIGTERM while a second
# show runs. Leaves OUTPUT_DIR/slideshow.png.
set -u
. "$(dirname "$0")/session.sh"
flow_script "$1" "$2" xdotool
mkdir -p "$work/Slides"
slides=$work/Slides
convert -size 800x600 xc:'#C03020' "$slides/1-red.jpg" || exit 1
convert -size 800x600 xc:'#20A040' "$slides/2-green.png"
convert -size 800x600 xc:'#2040C0' -type TrueColor "BMP3:$slides/3-blue.bmp"
echo "not a picture" > "$slides/notes.txt"
cat > "$XDG_CONFIG_HOME/Tarnwell/Vistrel.ini" <<INI
[Settings]
slideshowspeed=1000
randomslideshow=0
INI

run_flow "$app" slideshow_flow.py

# Quit while the second show runs, just after a slide change: the program
# ends at once and cleanly.
quit_cleanly "$pid" "during the show" || exit 1
echo "PASS"
