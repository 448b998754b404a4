#!/usr/bin/env bash
# usage: slideshow_run.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: a folder of three pictures and a text file, the
# program on a session and an accessibility bus with a one-second sequential
# slideshow set, slideshow_flow.py against it, then SIGTERM while a second
# show runs. Leaves OUTPUT_DIR/slideshow.png.
set -u
app=$1 out=$2
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: no python3-pyatspi"; exit 77; }
command -v xdotool >/dev/null || { echo "SKIP: no xdotool"; exit 77; }
work=$(mktemp -d)
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run SHOT_DIR=$out
mkdir -p "$XDG_CONFIG_HOME/Tarnwell" "$XDG_RUNTIME_DIR" "$out" "$work/Slides"
chmod 700 "$XDG_RUNTIME_DIR"
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

. "$here/session.sh"
a11y_session "$work"

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$app" -nologo &
pid=$!
/usr/bin/python3 "$here/slideshow_flow.py"
flow=$?
[ "$flow" -eq 0 ] || { kill -KILL "$pid" 2>/dev/null; exit 1; }

# Quit while the second show runs, just after a slide change: the program
# ends at once and cleanly.
quit_cleanly "$pid" "during the show" || exit 1
echo "PASS"
