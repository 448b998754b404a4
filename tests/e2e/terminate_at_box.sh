#!/usr/bin/env bash
# usage: terminate_at_box.sh VISTREL OUTPUT_DIR
# The program started on a picture it cannot show sits on an error box; a
# SIGTERM or SIGINT then ends it with status 0 within three seconds, the
# settings of a quit written. Offscreen: no display needed.
set -u
app=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
head -c 600 /dev/urandom > "$work/noise.bin"
printf '\377\330\377\340\000\020JFIF\000' | cat - "$work/noise.bin" > "$work/damaged.jpg"
fail=0
for picture in "$work/nosuch.jpg" "$work/damaged.jpg"; do
    for sig in TERM INT; do
        rm -rf "$XDG_CONFIG_HOME"
        "$app" -nologo "$picture" &
        pid=$!
        sleep 2
        start=$(date +%s%N)
        kill -"$sig" "$pid"
        for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        if kill -0 "$pid" 2>/dev/null; then
            echo "FAIL: $sig at the box of $(basename "$picture"): still running"
            kill -KILL "$pid"
            fail=1
            continue
        fi
        wait "$pid"
        rc=$?
        ms=$(( ($(date +%s%N) - start) / 1000000 ))
        ini=$XDG_CONFIG_HOME/Tarnwell/Vistrel.ini
        echo "$sig at the box of $(basename "$picture"): status $rc after $ms ms"
        [ "$rc" -eq 0 ] || { echo "FAIL: status $rc"; fail=1; }
        grep -q '^WindowPos=' "$ini" 2>/dev/null || { echo "FAIL: no WindowPos written"; fail=1; }
    done
done
[ "$fail" -eq 0 ] && echo PASS
exit "$fail"
