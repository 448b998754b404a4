#!/usr/bin/env bash
# The shared library exports the named classes and nothing else, carries a
# SONAME, and needs nothing beyond the C and C++ runtimes (and the
# sanitizer runtimes in a sanitizer build).
set -euo pipefail
lib=$1
status=0
readelf -d "$lib" | grep -q 'SONAME.*libtarncrypt\.so\.1\]' || { echo "no SONAME"; status=1; }
while read -r needed; do
    case "$needed" in
        libc.so.*|libstdc++.so.*|libm.so.*|libgcc_s.so.*|ld-linux*|libasan.so.*|libubsan.so.*) ;;
        *) echo "unexpected dependency: $needed"; status=1 ;;
    esac
done < <(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
classes='CBlowfish|CBlowfishOps|sapphire|CSapphire2Ops|CDiamond2Ops|Crc|CDiamond2'
while read -r symbol; do
    [[ "$symbol" =~ ^(($classes)::|(typeinfo|typeinfo name|vtable)\ for\ ($classes)$|tarncrypt::(SetMessageHandler|RemovePartialOutputs)\() ]] ||
        { echo "unexpected export: $symbol"; status=1; }
done < <(nm -D --defined-only "$lib" | awk '$2 != "A" { $1 = ""; $2 = ""; print }' |
         c++filt | sed 's/^ *//; s/@@.*//')
exports=$(nm -D --defined-only "$lib" | c++filt)
for name in "CBlowfish::Encrypt(" "CBlowfishOps::EncryptFileA(" "sapphire::hash_final(" \
            "CSapphire2Ops::DecryptFileA(" "CDiamond2Ops::CryptFile(" "Crc::~Crc()" \
            "CDiamond2::~CDiamond2()" "tarncrypt::RemovePartialOutputs()"; do
    grep -qF "$name" <<<"$exports" || { echo "missing: $name"; status=1; }
done
[ $status -eq 0 ] && echo "exports and dependencies as expected"
exit $status
