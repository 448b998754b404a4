#!/usr/bin/env bash
# The tarncrypt command: round trips with --key and DLOCK_KEY, and its exit
# codes on failure.
set -uo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DLOCK_KEY
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

head -c 100003 /dev/urandom > "$work/plain"
expect() { # expect CODE COMMAND...
    local want=$1; shift
    "$@" 2>"$work/stderr" </dev/null
    local got=$?
    [ "$got" -eq "$want" ] || fail "$* exited $got, expected $want: $(cat "$work/stderr")"
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

# Failures: the library's code, and no output left behind.
expect 255 "$tool" blowfish encrypt "$work/missing" "$work/out" --key k
expect 13 "$tool" sapphire encrypt "$work/missing" "$work/out" --key k
expect 13 "$tool" diamond2 encrypt "$work/missing" "$work/out" --key k
expect 14 "$tool" diamond2 encrypt "$work/plain" "$work/no/such/out" --key k
expect 14 "$tool" sapphire decrypt "$work/plain" "$work/plain/out" --key k
expect 255 "$tool" blowfish decrypt "$work/plain" "$work/no/such/out" --key k
[ -e "$work/out" ] && fail "an output was left behind"

# No key anywhere and no terminal to ask at.
expect 10 setsid "$tool" diamond2 encrypt "$work/plain" "$work/out"
expect 10 setsid "$tool" blowfish encrypt "$work/plain" "$work/out"

# Usage errors.
expect 2 "$tool"
expect 2 "$tool" rot13 encrypt "$work/plain" "$work/out" --key k
expect 2 "$tool" blowfish scramble "$work/plain" "$work/out" --key k
expect 2 "$tool" blowfish encrypt "$work/plain" --key k
expect 2 "$tool" blowfish encrypt "$work/plain" "$work/out" --bogus --key k

[ "$failures" -eq 0 ] && echo "all CLI checks passed"
exit $((failures > 0))
