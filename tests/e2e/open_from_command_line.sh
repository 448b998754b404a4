#!/usr/bin/env bash
# usage: open_from_command_line.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: "vistrel picture.png" as the file manager starts it
# shows the picture, in a window maximised by its stored place, and the main
# window's title names the program once. Leaves OUTPUT_DIR/command-line.png.
set -u
app=$1 out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME/Tarnwell" "$XDG_RUNTIME_DIR" "$out" "$work/pictures"
chmod 700 "$XDG_RUNTIME_DIR"
convert -size 320x240 xc:'#FF0000' -fill '#0000FF' -draw 'rectangle 160,0 319,239' \
    -type TrueColor "$work/pictures/red-blue.png" || exit 1
ini=$XDG_CONFIG_HOME/Tarnwell/Vistrel.ini
printf '[Settings]\nWWTypeWindowPos="2,3,-1,-1,-1,-1,10,10,400,300"\n' > "$ini"

# A relative name, from the folder the file manager starts the program in.
(cd "$work/pictures" && exec "$app" -nologo red-blue.png) &
pid=$!

count() { grep -i "#$1 " "$work/hist.txt" | awk -F: '{s += $1} END {print s + 0}'; }
found=no title=
for _ in $(seq 1 60); do
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended early"; exit 1; }
    import -window root "$out/command-line.png" 2>/dev/null || continue
    convert "$out/command-line.png" -format %c histogram:info:- > "$work/hist.txt" 2>/dev/null || continue
    if [ "$(count FF0000)" -ge 20000 ] && [ "$(count 0000FF)" -ge 20000 ]; then
        found=yes
        sleep 0.5
        title=$(for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
                    xdotool getwindowname "$w"; done | grep '^Vistrel' | head -1)
        break
    fi
done
kill -TERM "$pid"
wait "$pid"
rc=$?
[ "$found" = yes ] || { echo "FAIL: the picture named on the command line is not on the screen"; exit 1; }
echo "title: $title"
[ "$title" = 'Vistrel - [red-blue.png]' ] || { echo "FAIL: the title is $title"; exit 1; }
[ "$rc" -eq 0 ] || { echo "FAIL: the program exited with $rc"; exit 1; }
grep -q "^File1=$work/pictures/red-blue.png" "$ini" || { echo "FAIL: not in the recent files"; cat "$ini"; exit 1; }
echo "PASS"
