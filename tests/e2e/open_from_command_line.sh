#!/usr/bin/env bash
# usage: open_from_command_line.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run: "vistrel picture.png" as the file manager starts it
# shows the picture, in a window maximised by its stored place, and the main
# window's title names the program once. Then, with a display profile
# published on the root window (red and blue primaries swapped), the same
# picture shows in the display's colours. Leaves OUTPUT_DIR/command-line.png
# and OUTPUT_DIR/display-profile.png.
set -u
app=$1 out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME/Tarnwell" "$XDG_RUNTIME_DIR" "$out" "$work/pictures"
chmod 700 "$XDG_RUNTIME_DIR"
convert -size 320x240 xc:'#FF0000' -fill '#0000FF' -draw 'rectangle 160,0 319,239' \
    -type TrueColor "$work/pictures/red-blue.png" || exit 1
convert -size 320x240 xc:'#FF0000' -fill '#00FF00' -draw 'rectangle 160,0 319,239' \
    -type TrueColor "$work/pictures/red-green.png" || exit 1
ini=$XDG_CONFIG_HOME/Tarnwell/Vistrel.ini
printf '[Settings]\nWWTypeWindowPos="2,3,-1,-1,-1,-1,10,10,400,300"\n' > "$ini"

here=$(dirname "$0")
count() { grep -i "#$1 " "$work/hist.txt" | awk -F: '{s += $1} END {print s + 0}'; }

# show SHOT PICTURE LEFT RIGHT: starts "vistrel PICTURE" from the picture's
# folder, as the file manager does, and waits until the screen holds at least
# 20,000 pixels of each of the colours LEFT and RIGHT (within 2%); then fills
# $title and ends the program, leaving its exit status in $rc.
show() {
    local shot=$out/$1 picture=$2 found=no
    shift 2
    (cd "$work/pictures" && exec "$app" -nologo "$picture") &
    pid=$!
    title=
    for _ in $(seq 1 60); do
        sleep 0.5
        kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended early"; exit 1; }
        import -window root "$shot" 2>/dev/null || continue
        convert "$shot" -fuzz 2% -fill "#$1" -opaque "#$1" -fill "#$2" -opaque "#$2" \
            -format %c histogram:info:- > "$work/hist.txt" 2>/dev/null || continue
        if [ "$(count "$1")" -ge 20000 ] && [ "$(count "$2")" -ge 20000 ]; then
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
    [ "$found" = yes ] || { echo "FAIL: $picture is not on the screen as #$1 and #$2"; exit 1; }
}

# A relative name, from the folder the file manager starts the program in.
show command-line.png red-blue.png FF0000 0000FF
echo "title: $title"
[ "$title" = 'Vistrel - [red-blue.png]' ] || { echo "FAIL: the title is $title"; exit 1; }
[ "$rc" -eq 0 ] || { echo "FAIL: the program exited with $rc"; exit 1; }
grep -q "^File1=$work/pictures/red-blue.png" "$ini" || { echo "FAIL: not in the recent files"; cat "$ini"; exit 1; }

# With the display's own profile, red is drawn as the display's blue; green
# stays green.
/usr/bin/python3 "$here/display_profile.py" || { echo "FAIL: no display profile published"; exit 1; }
show display-profile.png red-green.png 0000FF 00FF00
echo "PASS"
