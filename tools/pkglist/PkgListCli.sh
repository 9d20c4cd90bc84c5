#!/bin/bash
# Drives pkglist as a user would: builds, shows and verifies the samples,
# damages copies one way each, and checks the exit code and the message.
# Usage: PkgListCli.sh <pkglist> <examples dir>
set -u
PKGLIST=$1
EXAMPLES=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
FAILURES=0

# check <case> <expected exit> <regex over stdout+stderr> -- args...
check() {
    local name=$1 want=$2 re=$3
    shift 4
    local out rc
    out=$("$PKGLIST" "$@" 2>"$WORK/stderr")
    rc=$?
    local err
    err=$(cat "$WORK/stderr")
    if [ "$rc" != "$want" ]; then
        echo "FAIL $name: exit $rc, expected $want; stderr: $err"
        FAILURES=$((FAILURES + 1))
    elif [ -n "$re" ] && ! grep -Eq -- "$re" <<<"$out$err"; then
        echo "FAIL $name: output does not match /$re/: $out $err"
        FAILURES=$((FAILURES + 1))
    fi
}

# The CRC-32 that gzip stores in its trailer, as four little-endian bytes.
crc_le() { gzip -c "$1" | tail -c 8 | head -c 4; }

# Writes payload file $1 with its trailer to $2.
with_trailer() { cat "$1" >"$2" && crc_le "$1" >>"$2"; }

payload_of() { head -c $(($(stat -c %s "$1") - 4)) "$1"; }

for name in PkgMenuList PkgMenuListEx PkgStoreList; do
    check "build $name" 0 "$name.dat: [a-z]+ list" -- build "$EXAMPLES/$name.json" "$WORK/$name.dat"
    check "verify $name" 0 "OK: " -- verify "$WORK/$name.dat"
    check "show $name" 0 "" -- show "$WORK/$name.dat" -o "$WORK/$name.round.json"
    check "rebuild $name" 0 "" -- build "$WORK/$name.round.json" "$WORK/$name.round.dat"
    cmp -s "$WORK/$name.dat" "$WORK/$name.round.dat" || { echo "FAIL $name: show then build changed the file"; FAILURES=$((FAILURES + 1)); }
done
check "table" 0 "1009 +1 +Kart Mania +KartMania.exe +\(vdisk\) V:.VDisk.KartMania" -- show --table "$WORK/PkgMenuList.dat"
check "ext json" 0 '"ExtParams": "7=1"' -- show "$WORK/PkgMenuListEx.dat"
cp "$WORK/PkgMenuListEx.dat" "$WORK/list.bin"
check "kind by content" 0 "OK: ext list, 12 extension records" -- verify "$WORK/list.bin"

# Raw bytes survive show then build: a 33-byte name without terminator, an
# empty byte field, a zero inside a field, an id and numbers at their limits.
printf '{"kind":"menu","records":[{"PkgId":4294967295,"PkgAttr1":-5,"PkgType":-1,"PkgName":{"hex":"%s"},"PkgPath":{"hex":""},"VDiskPath":{"hex":"410042"}}]}' \
    "$(printf '41%.0s' $(seq 33))" >"$WORK/raw.json"
check "build raw" 0 "" -- build "$WORK/raw.json" "$WORK/raw.dat"
check "show raw" 0 '"PkgPath": \{' -- show "$WORK/raw.dat"
check "show raw to file" 0 "" -- show "$WORK/raw.dat" -o "$WORK/raw.round.json"
check "rebuild raw" 0 "" -- build "$WORK/raw.round.json" "$WORK/raw.round.dat"
cmp -s "$WORK/raw.dat" "$WORK/raw.round.dat" || { echo "FAIL raw: show then build changed the file"; FAILURES=$((FAILURES + 1)); }
check "table raw" 0 '4294967295 +-1 +A{33} .*\(vdisk\) A.x00B' -- show --table "$WORK/raw.dat"

# A payload bit flipped: both CRC values named.
cp "$WORK/PkgStoreList.dat" "$WORK/flip.dat"
printf '\x01' | dd of="$WORK/flip.dat" bs=1 seek=3 conv=notrunc status=none
check "bit flip" 1 "CRC trailer mismatch: stored 0x4C1507B5, computed 0x[0-9A-F]{8} over 1662 payload bytes" -- verify "$WORK/flip.dat"
check "bit flip show" 1 "CRC trailer mismatch" -- show "$WORK/flip.dat"

# A count the bytes cannot hold, under a valid trailer.
payload_of "$WORK/PkgStoreList.dat" >"$WORK/p"
printf '\x00\x00\x00\x06' | dd of="$WORK/p" bs=1 seek=0 conv=notrunc status=none
with_trailer "$WORK/p" "$WORK/count.dat"
check "implausible count" 1 "implausible record count 6: the 1658 bytes after it hold at most 5 package records of at least 309 bytes" -- verify "$WORK/count.dat"

# A record cut short inside a byte field, under a valid trailer.
path=$(printf 'D:\\\\Games\\\\%091d' 0)
printf '{"kind":"menu","records":[{"PkgId":7,"PkgPath":"%s"}]}' "$path" >"$WORK/one.json"
check "build one" 0 "" -- build "$WORK/one.json" "$WORK/one.dat"
payload_of "$WORK/one.dat" | head -c 354 >"$WORK/p"
with_trailer "$WORK/p" "$WORK/cut.dat"
check "cut in field" 1 "record 1 of 1 \(id 7, starting at payload offset 4\) cut short at offset 277 in field PkgPath: its length word says 101 bytes, 73 remain" -- verify --kind menu "$WORK/cut.dat"
payload_of "$WORK/one.dat" | head -c 413 >"$WORK/p"
with_trailer "$WORK/p" "$WORK/PkgStoreList.dat_"
cp "$WORK/PkgStoreList.dat_" "$WORK/cut.dat"
check "cut in last field" 1 "cut short at offset 413 in field PkgExtra5: needs 4 bytes, 0 remain" -- verify "$WORK/PkgStoreList.dat_"
check "guessed kind noted" 0 "kind guessed from the content" -- verify "$WORK/cut.dat"

# Bytes after the last record are no error, only a note.
payload_of "$WORK/one.dat" >"$WORK/p"
printf 'tail' >>"$WORK/p"
with_trailer "$WORK/p" "$WORK/tail.dat"
check "trailing bytes" 0 "4 bytes after the last record are ignored" -- verify "$WORK/tail.dat"

# Files too short for a trailer or a count.
printf 'abc' >"$WORK/three.dat"
check "three bytes" 1 "file of 3 bytes is too short for the 4-byte CRC trailer" -- verify "$WORK/three.dat"
printf '\x00\x00\x00\x00' >"$WORK/four.dat"
check "four bytes" 1 "payload of 0 bytes is too short for the 4-byte record count" -- verify "$WORK/four.dat"
check "one bad among good" 1 "" -- verify "$WORK/PkgMenuList.dat" "$WORK/four.dat"

# Bad JSON input.
printf '{"kind":"menu","records":[{"PkgId":1,' >"$WORK/bad.json"
check "not json" 1 "not JSON" -- build "$WORK/bad.json" "$WORK/x.dat"
printf '{"kind":"menu","records":[{"PkgId":1,"Bogus":2}]}' >"$WORK/bad.json"
check "unknown field" 1 'record 1: unknown field "Bogus"' -- build "$WORK/bad.json" "$WORK/x.dat"
printf '{"kind":"ext","records":[{"PkgName":"%033d"}]}' 0 >"$WORK/bad.json"
check "name too long" 1 "field PkgName: 33 bytes, at most 32 fit" -- build "$WORK/bad.json" "$WORK/x.dat"
printf '{"records":[{"PkgId":1,"PkgType":256}]}' >"$WORK/bad.json"
check "type range" 1 "PkgType: out of the byte range" -- build --kind store "$WORK/bad.json" "$WORK/x.dat"
printf '[{"PkgId":1}]' >"$WORK/bare.json"
check "kind unknown" 2 "give --kind" -- build "$WORK/bare.json" "$WORK/x.dat"
check "kind contradicts" 2 "contradicts" -- build --kind ext "$EXAMPLES/PkgMenuList.json" "$WORK/x.dat"

# Usage errors.
check "no subcommand" 2 "" --
check "unknown subcommand" 2 "" -- frobnicate
check "missing file" 2 "" -- verify "$WORK/missing.dat"
check "bad kind" 2 "" -- verify --kind bogus "$WORK/PkgMenuList.dat"
check "help" 0 "build" -- --help

if [ "$FAILURES" != 0 ]; then
    echo "$FAILURES failures"
    exit 1
fi
echo "all pkglist checks passed"
