#!/usr/bin/env bash
# usage: reopen_recent.sh VISTREL OUTPUT_DIR
# Runs inside xvfb-run. Leaves the screenshot as OUTPUT_DIR/shot.png.
set -u
app=$1 out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME/Tarnwell" "$XDG_RUNTIME_DIR" "$out"
chmod 700 "$XDG_RUNTIME_DIR"

# A picture of two strong colours: red left half, blue right half.
pic=$work/pictures/red-blue.bmp
mkdir -p "$(dirname "$pic")"
convert -size 320x240 xc:'#FF0000' -fill '#0000FF' -draw 'rectangle 160,0 319,239' \
    -type TrueColor "BMP3:$pic" || exit 1

ini=$XDG_CONFIG_HOME/Tarnwell/Vistrel.ini
cat > "$ini" <<INI
[Startup]
FilesOnExit=yes

[Recent%20File%20List]
File1=$pic
INI

"$app" &
pid=$!

# Count the pixels of one exact colour on the screen.
count() { grep -i "#$1 " "$work/hist.txt" | awk -F: '{s += $1} END {print s + 0}'; }
found=no
for _ in $(seq 1 60); do
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended early"; exit 1; }
    import -window root "$out/shot.png" 2>/dev/null || continue
    convert "$out/shot.png" -format %c histogram:info:- > "$work/hist.txt" 2>/dev/null || continue
    red=$(count FF0000)
    blue=$(count 0000FF)
    if [ "$red" -ge 20000 ] && [ "$blue" -ge 20000 ]; then
        found=yes
        break
    fi
done
echo "red pixels: ${red:-0}, blue pixels: ${blue:-0}"

kill -TERM "$pid"
wait "$pid"
rc=$?
[ "$found" = yes ] || { echo "FAIL: the picture's colours are not on the screen"; exit 1; }
[ "$rc" -eq 0 ] || { echo "FAIL: the program exited with $rc"; exit 1; }
grep -q '^WindowPos=' "$ini" || { echo "FAIL: WindowPos was not written"; cat "$ini"; exit 1; }
grep -q '^WWTypeWindowPos=' "$ini" || { echo "FAIL: the image window's place was not written"; exit 1; }
echo "PASS"
