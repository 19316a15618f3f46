#!/usr/bin/env bash
# Runs the ppk program as a user would: real binaries packed and unpacked byte
# for byte, a damaged package, bad arguments, and what `ppk inspect` says of
# component modules.
#
#   ppk_cli_test.sh WORKDIR PPK SAMPLE...
#
# PPK_RUNNER, when set, is the command that runs a Windows program (the
# emulator), split at blanks. PPK_COMPONENT (the sample component's module),
# PPK_MODULES (a folder with the test modules longname, missingname,
# unknowntype and wrongblocks) and PPK_INSTALLER_RC (the installer's resource
# script) are for `ppk inspect`.
set -uo pipefail

work=$1 ppk=$2
shift 2
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
read -r -a runner <<<"${PPK_RUNNER:-}"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
run() { "${runner[@]}" "$ppk" "$@"; }

# CRC-32 and size of a file, as printed by `ppk verify`, from gzip's trailer.
crc_of() { gzip -c <"$1" | tail -c 8 | od -An -tx4 -N4 | tr -d ' \n' | tr a-f A-F; }

n=0
for sample in "$@"; do
  n=$((n + 1))
  cp "$sample" "m$n.dll" || { fail "cannot copy $sample"; continue; }
  size=$(stat -c %s "$sample")
  crc=$(crc_of "$sample")
  got=$(run pack "m$n.dll" | tr -d '\r') || fail "pack $sample exited $?"
  [ "$got" = "m$n.dll: $size bytes, CRC-32 $crc" ] || fail "pack said '$got'"
  [ -f "m$n.ppk" ] || fail "pack $sample made no m$n.ppk beside the module"
  run unpack "m$n.ppk" "out$n.dll" || fail "unpack $sample exited $?"
  cmp -s "$sample" "out$n.dll" || fail "unpack of $sample differs from the original"
  mv "m$n.dll" "orig$n.dll"
  run unpack "m$n.ppk" || fail "unpack with the default module name exited $?"
  cmp -s "$sample" "m$n.dll" || fail "default-name unpack of $sample differs"
  expected="m$n.ppk: $size bytes, CRC-32 $crc"
  got=$(run verify "m$n.ppk" | tr -d '\r')
  [ "$got" = "$expected" ] || fail "verify said '$got', expected '$expected'"
  run verify "m$n.ppk" --size "$size" --crc "$crc" >/dev/null || fail "verify against its own figures exited $?"
  run verify "m$n.ppk" --size "$((size + 1))" --crc "$crc" >/dev/null 2>&1
  [ $? -eq 1 ] || fail "verify against a wrong size did not exit 1"
  run verify "m$n.ppk" --size "$size" --crc "$(printf %08X $((0x$crc ^ 1)))" >/dev/null 2>&1
  [ $? -eq 1 ] || fail "verify against a wrong CRC did not exit 1"
  echo "ok: $sample ($size bytes, package $(stat -c %s "m$n.ppk") bytes)"
done

# A damaged package: exit 1, the decoder's message, no module under the name.
head -c 1000 m1.ppk >bad.ppk
run unpack bad.ppk bad.dll 2>err.txt
rc=$?
[ $rc -eq 1 ] || fail "damaged package: exit $rc, expected 1"
grep -q 'Damaged or incomplete compressed data in bad.ppk\.' err.txt ||
  fail "damaged package: stderr was '$(cat err.txt)'"
ls bad.dll* >/dev/null 2>&1 && fail "damaged package left $(ls bad.dll*)"
run verify bad.ppk >/dev/null 2>&1
rc=$?
[ $rc -eq 1 ] || fail "verify of a damaged package: exit $rc, expected 1"
run inspect bad.ppk >/dev/null 2>err.txt
rc=$?
[ $rc -eq 1 ] || fail "inspect of a damaged package: exit $rc, expected 1"
grep -q 'Damaged or incomplete compressed data in bad.ppk\.' err.txt || fail "inspect of a damaged package: stderr was '$(cat err.txt)'"

# ppk inspect FILE EXIT: the exit code, and what it prints, which must be
# standard input.
check_inspect() {
  run inspect "$1" >out.txt 2>err.txt
  local rc=$?
  [ $rc -eq "$2" ] || fail "inspect $1: exit $rc, expected $2 ($(cat err.txt))"
  tr -d '\r' <out.txt >said.txt
  cmp -s - said.txt || fail "inspect $1 printed: $(cat said.txt)"
}
if [ -n "${PPK_MODULES:-}" ]; then
  cp "$PPK_COMPONENT" p0046.dll && run pack p0046.dll >/dev/null || fail "cannot pack $PPK_COMPONENT"
  for m in longname missingname unknowntype wrongblocks; do cp "$PPK_MODULES/$m.dll" . || fail "no module $m"; done
  for file in p0046.dll p0046.ppk; do
    check_inspect $file 0 <<'EOF'
kind: plant (type code 1)
HKLM\SOFTWARE\Lumora\Verdanelle\plants\p0046 = "Rosa Hibiscus" (REG_SZ)
HKLM\SOFTWARE\Lumora\Verdanelle\seeds\p0046 = 3 (REG_DWORD)
EOF
  done
  check_inspect wrongblocks.dll 0 <<'EOF'
kind: animation (type code 2)
HKLM\SOFTWARE\Lumora\Verdanelle\animations\wrongblocks = "Wrong Blocks" (REG_SZ)
HKLM\SOFTWARE\Lumora\Verdanelle\aniint\wrongblocks-0 = 1E 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 (REG_BINARY)
warning: record 434 (first block of entry 0, id 30) is 9 bytes, not 10: bytes 2-11 of aniint\wrongblocks-0 are zeros
warning: record 435 (second block of entry 0, id 30) is 11 bytes, not 10: bytes 12-21 of aniint\wrongblocks-0 are zeros
warning: record 436 (last block of entry 0, id 30) is 2 bytes, not 4: bytes 22-25 of aniint\wrongblocks-0 are zeros
EOF
  check_inspect missingname.dll 1 <<'EOF'
refused: Das Paket enthält keine verwendbare Komponente.
why: string 9 (display name) is empty or missing
EOF
  # The reason is the installer's own text.
  grep -qF "$(sed -n 's/^refused: //p' said.txt | iconv -f UTF-8 -t CP1252)" "$PPK_INSTALLER_RC" ||
    fail "'$(head -1 said.txt)' is not the installer's text"
  check_inspect unknowntype.dll 1 <<'EOF'
refused: Das Paket enthält keine verwendbare Komponente.
why: record 400 (type code) is 5, not a type code 1 to 4
EOF
  check_inspect longname.dll 0 <<EOF
kind: plant (type code 1)
HKLM\SOFTWARE\Lumora\Verdanelle\plants\longname = "Schöner ?$(printf 'x%.0s' $(seq 290))" (REG_SZ)
warning: the display name is 310 characters long: the installer writes its first 299
warning: the display name's U+4E2D is not in Windows-1252: the installer writes a stand-in for it (shown as ?)
warning: record 404 (seed count) is missing: no seed count is written
EOF
  cp wrongblocks.dll bad-name.dll
  check_inspect bad-name.dll 1 <<'EOF'
refused: Der Name der Komponente ist nicht zulässig.
why: the base name "bad-name" is not letters and digits only
EOF
  # A module is held in memory up to 64 MiB, also one decoded from a
  # package (raw deflate: gzip's stream without its header and trailer).
  for size in 67108864 67108865; do
    head -c $size /dev/zero | gzip -9 -n | tail -c +11 | head -c -8 >big.ppk
    run inspect big.ppk >out.txt 2>err.txt
    rc=$?
    if [ $size = 67108864 ]; then
      grep -q '^why: not a module: no MZ header' out.txt || fail "a module of 64 MiB is not read: $(cat err.txt)"
    else
      grep -q "big.ppk holds a module of more than 67108864 bytes" err.txt && [ $rc -eq 1 ] || fail "past 64 MiB: exit $rc, $(cat err.txt)"
    fi
  done
  printf 'no module' >text.dll
  check_inspect text.dll 1 <<'EOF'
refused: Das Paket enthält keine verwendbare Komponente.
why: not a module: no MZ header
EOF
else
  echo "skip: no test modules for ppk inspect"
fi

# A full volume (PPK_FULL_DIR, when it is a small mounted one): exit 1, a
# message that says so, nothing left behind.
full=${PPK_FULL_DIR:-}
if [ -n "$full" ] && mountpoint -q "$full"; then
  mkdir -p "$full/ppk"
  head -c 1M /dev/zero >"$full/ppk/filler" 2>/dev/null
  run unpack m1.ppk "$full/ppk/m1.dll" 2>err.txt
  rc=$?
  [ $rc -eq 1 ] || fail "full volume: exit $rc, expected 1"
  grep -q 'errno = 28 (No space left on device)' err.txt || fail "full volume: stderr was '$(cat err.txt)'"
  [ "$(ls "$full/ppk")" = filler ] || fail "full volume: left $(ls "$full/ppk" | tr '\n' ' ')"
  rm -rf "$full/ppk"
else
  echo "skip: no small volume at '$full'"
fi

# Bad arguments: one line of usage, exit 2. --help: usage, exit 0.
# For verify: a count other than 3 or 7, flags other than --size then --crc,
# numbers that are negative, not decimal / hexadecimal, or past 32 bits (CRC).
for args in "" "pack" "frobnicate x" "verify a b" "pack a b c" "unpack a b c" "verify a --size 1" "verify a --size 1 --crc 1 x" \
  "verify a -s 1 --crc 1" "verify a --size 1 -c 1" "verify a --size -1 --crc 1" "verify a --size 1a --crc 1" \
  "verify a --size 1 --crc xyz" "verify a --size 1 --crc 100000000" "inspect" "inspect a b"; do
  # shellcheck disable=SC2086
  run $args >/dev/null 2>err.txt
  rc=$?
  [ $rc -eq 2 ] || fail "'ppk $args': exit $rc, expected 2"
  [ "$(wc -l <err.txt)" -eq 1 ] || fail "'ppk $args': usage is not one line: $(cat err.txt)"
done
run --help >out.txt 2>&1 || fail "--help exited $?"
grep -q '^usage: ppk pack' out.txt || fail "--help printed '$(cat out.txt)'"

echo "$n passed samples, $failures failures"
[ $failures -eq 0 ]
