#!/usr/bin/env bash
# The tarncrypt command: round trips with --key and DLOCK_KEY, its exit
# codes on failure, the keys it refuses, and, as an ordinary user, outputs
# it may not write and runs ended by a signal.
set -uo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DLOCK_KEY
umask 022
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

head -c 100003 /dev/urandom > "$work/plain"
expect() { # expect CODE COMMAND...
    local want=$1; shift
    "$@" 2>"$work/stderr" </dev/null
    local got=$?
    [ "$got" -eq "$want" ] || fail "$* exited $got, expected $want: $(cat "$work/stderr")"
}
# The last command's complaint is one line saying `text`.
said() { # said TEXT
    [ "$(wc -l < "$work/stderr")" -eq 1 ] && grep -qF -- "$1" "$work/stderr" ||
        fail "expected one line with '$1', got: $(cat "$work/stderr")"
}

for cipher in blowfish sapphire diamond2; do
    expect 0 "$tool" "$cipher" encrypt "$work/plain" "$work/$cipher.enc" --key "open sesame"
    cmp -s "$work/plain" "$work/$cipher.enc" && fail "$cipher: output equals input"
    [ "$(stat -c %s "$work/$cipher.enc")" -eq 100003 ] || fail "$cipher: length changed"
    DLOCK_KEY="open sesame" expect 0 "$tool" "$cipher" decrypt "$work/$cipher.enc" "$work/$cipher.dec"
    cmp -s "$work/plain" "$work/$cipher.dec" || fail "$cipher: DLOCK_KEY decrypt differs"
    DLOCK_KEY="open sesame" expect 0 "$tool" "$cipher" encrypt "$work/plain" "$work/$cipher.env"
    cmp -s "$work/$cipher.enc" "$work/$cipher.env" || fail "$cipher: DLOCK_KEY encrypt differs"
    expect 0 "$tool" "$cipher" decrypt "$work/$cipher.env" "$work/$cipher.dec2" --key="open sesame"
    cmp -s "$work/plain" "$work/$cipher.dec2" || fail "$cipher: --key= decrypt differs"
done

# Failures: the library's code, one line saying so, and no output left behind.
expect 255 "$tool" blowfish encrypt "$work/missing" "$work/out" --key k
said "File could not be opened (code -1)"
expect 13 "$tool" sapphire encrypt "$work/missing" "$work/out" --key k
said "could not be opened or read (code 13)"
expect 13 "$tool" diamond2 encrypt "$work/missing" "$work/out" --key k
expect 14 "$tool" diamond2 encrypt "$work/plain" "$work/no/such/out" --key k
expect 14 "$tool" sapphire decrypt "$work/plain" "$work/plain/out" --key k
expect 255 "$tool" blowfish decrypt "$work/plain" "$work/no/such/out" --key k
said "File could not be opened (code -1)"
[ -e "$work/out" ] && fail "an output was left behind"

# No key anywhere and no terminal to ask at.
expect 10 setsid "$tool" diamond2 encrypt "$work/plain" "$work/out"
expect 10 setsid "$tool" blowfish encrypt "$work/plain" "$work/out"

# Keys that would encrypt nothing: refused before any file is touched.
long256=$(printf '%0256d' 0)
for refused in "blowfish --key=" "sapphire --key=" "diamond2 --key=" \
               "sapphire --key=$long256" "sapphire --key=$long256$long256"; do
    set -- $refused
    expect 2 "$tool" "$1" encrypt "$work/plain" "$work/out" "$2"
    said "would encrypt nothing"
    DLOCK_KEY= expect 2 "$tool" "$1" encrypt "$work/plain" "$work/out"
done
expect 0 "$tool" sapphire encrypt "$work/plain" "$work/out" --key "${long256:1}"
rm -f "$work/out"
ls "$work"/.tarncrypt-* >/dev/null 2>&1 && fail "a temporary file was left behind"

# Usage errors; the help warns what the formats do not protect.
expect 2 "$tool"
"$tool" --help >"$work/help" 2>&1 || fail "--help failed"
for warning in "prefer DLOCK_KEY" "wrong key" "ECB mode" "length % 8 bytes"; do
    grep -qF "$warning" "$work/help" || fail "--help does not warn: $warning"
done
expect 2 "$tool" rot13 encrypt "$work/plain" "$work/out" --key k
expect 2 "$tool" blowfish scramble "$work/plain" "$work/out" --key k
expect 2 "$tool" blowfish encrypt "$work/plain" --key k
expect 2 "$tool" blowfish encrypt "$work/plain" "$work/out" --bogus --key k

# Ctrl-C at the pass-phrase prompt gives the terminal its echo back. The
# shell in the terminal handles SIGINT, so the tool starts with the default.
if command -v script >/dev/null; then
    screen=$( (sleep 1; printf '\003'; sleep 1) | timeout 20 script -qec \
        "trap : INT; '$tool' sapphire encrypt '$work/plain' '$work/out'; echo status \$?; stty -a" \
        /dev/null)
    grep -q "status 130" <<<"$screen" || fail "Ctrl-C at the prompt: $screen"
    grep -qw -- "-echo" <<<"$screen" && fail "the terminal was left without echo"
else
    echo "SKIP: no script(1) to give the prompt a terminal"
fi

# Permission checks, as an ordinary user: root would bypass them.
user="$work/user"
mkdir "$user" && chmod 0711 "$work" && chmod 0777 "$user"
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
if ! "${as_user[@]}" "$tool" --help >/dev/null 2>&1; then
    echo "SKIP: cannot run $tool as an ordinary user (uid 65534); mode and signal checks not run"
else
    "${as_user[@]}" cp "$work/plain" "$user/plain"
    codes=(255 14 14)
    new_modes=(644 644 600)
    i=0
    for cipher in blowfish sapphire diamond2; do
        out="$user/$cipher"
        # A new output, then a replaced one that keeps its mode.
        expect 0 "${as_user[@]}" "$tool" "$cipher" encrypt "$user/plain" "$out" --key k
        [ "$(stat -c %a "$out")" = "${new_modes[i]}" ] || fail "$cipher: new output $(stat -c %a "$out")"
        "${as_user[@]}" chmod 0640 "$out"
        expect 0 "${as_user[@]}" "$tool" "$cipher" decrypt "$out" "$out" --key k
        [ "$(stat -c %a "$out")" = 640 ] || fail "$cipher: replaced output $(stat -c %a "$out")"
        cmp -s "$out" "$user/plain" || fail "$cipher: in-place decrypt differs"
        # A write-protected output, also as its own input, stays as it was.
        "${as_user[@]}" chmod 0444 "$out"
        expect "${codes[i]}" "${as_user[@]}" "$tool" "$cipher" encrypt "$user/plain" "$out" --key k
        said "(code $((codes[i] == 255 ? -1 : codes[i])))"
        expect "${codes[i]}" "${as_user[@]}" "$tool" "$cipher" encrypt "$out" "$out" --key k
        cmp -s "$out" "$user/plain" || fail "$cipher: write-protected output changed"
        [ "$(stat -c %a "$out")" = 444 ] || fail "$cipher: write-protected output lost its mode"
        i=$((i + 1))
    done

    # A run ended by a signal halfway through its input leaves nothing behind
    # and an existing output as it was. Background jobs get SIGINT only with
    # job control on.
    set -m
    "${as_user[@]}" mkfifo "$user/fifo"
    for signal in TERM INT; do
        for cipher in blowfish sapphire diamond2; do
            out="$user/interrupted"
            [ $signal = INT ] && echo old | "${as_user[@]}" tee "$out" >/dev/null
            before=$(ls -A "$user")
            "${as_user[@]}" "$tool" "$cipher" encrypt "$user/fifo" "$out" --key k 2>/dev/null &
            pid=$!
            # A fifo holds 64 KiB: once 200000 bytes are in, the tool has
            # encrypted and written more than 130000 of them.
            exec 3<>"$user/fifo"
            timeout 20 head -c 200000 "$work/plain" >&3 || fail "$cipher: the tool read nothing"
            sleep 0.2
            [ "$(ls -A "$user")" = "$before" ] || fail "$cipher SIG$signal: files appeared while running"
            kill -$signal $pid
            wait $pid 2>/dev/null
            status=$?
            exec 3>&-
            [ $status -eq $((128 + $(kill -l $signal))) ] || fail "$cipher SIG$signal: exit $status"
            [ "$(ls -A "$user")" = "$before" ] || fail "$cipher SIG$signal: left $(ls -A "$user" | tr "\n" " ")"
            if [ $signal = INT ]; then
                [ "$(cat "$out")" = old ] || fail "$cipher SIG$signal: existing output changed"
                rm -f "$out"
            fi
        done
    done
    set +m
fi

[ "$failures" -eq 0 ] && echo "all CLI checks passed"
exit $((failures > 0))
