#!/usr/bin/env bash
# The signed release: a throw-away code-signing certificate is made, the
# release step signs with it, the installer in dist/ carries a valid SHA-256
# signature by that certificate, SHA256SUMS lists the signed bytes, and the
# signed installer, started from a copy of dist/, shows its main dialog and
# installs the packages that lie beside it.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

work=$(mktemp -d)
src=$work/src
state=$src/build/release/wine
cleanup() {
  stop_wine "$state"
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "signed: $*" >&2; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Verdanelle release test" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null

copy_sources "$src"
cd "$src"
{
  cmake --preset release -DADDON_SIGN_CERT="$work/cert.pem" -DADDON_SIGN_KEY="$work/key.pem" &&
    cmake --build --preset release &&
    cmake --build --preset release --target installer_demo_driver
} >"$work/log" 2>&1 || { cat "$work/log"; fail "the signed release failed"; }

# One version: project(VERSION) names the installer and is its version text.
version=$(sed -n 's/^project(.* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
setup=dist/addon-setup-$version.exe
[ -f "$setup" ] || fail "no $setup in dist/: $(ls dist)"
strings -a -el "$setup" | grep -qx "$version" || fail "$setup does not carry version $version"
osslsigncode verify -CAfile "$work/cert.pem" -in "$setup" >"$work/verify" 2>&1 ||
  { cat "$work/verify"; fail "$setup has no valid signature by the test certificate"; }
grep -q "Message digest algorithm *: SHA256" "$work/verify" ||
  { cat "$work/verify"; fail "$setup is not signed with SHA-256"; }
(cd dist && sha256sum --check --quiet SHA256SUMS) || fail "SHA256SUMS does not match the signed release"

# A customer's machine: the screensaver installed, the release downloaded.
wine_run() { "$src/cmake/wine-run.sh" "$state" "$@"; }
wine_run reg add 'HKLM\SOFTWARE\Lumora\Verdanelle\general' /v dir /t REG_SZ \
  /d 'C:\Verdanelle' /f /reg:32 >/dev/null 2>&1 ||
  fail "cannot register the screensaver in the Wine prefix"
mkdir -p "$state/prefix/drive_c/Verdanelle" "$state/prefix/drive_c/Download"
cp dist/* "$state/prefix/drive_c/Download/"
status=0
wine_run build/release/tools/installer_demo_driver.exe "C:\\Download\\${setup#dist/}" 'C:\Download' \
  "Z:${work//\//\\}" >"$work/run" 2>&1 || status=$?
grep -q "^shown: main dialog" "$work/run" || { cat "$work/run"; fail "the signed installer showed no main dialog"; }
grep -q '^installed: C:\\Verdanelle\\p0046.dll' "$work/run" && [ $status -eq 0 ] ||
  { cat "$work/run"; fail "the signed installer did not install from dist/ (exit code $status)"; }
sed -n 's/^\(shown\|installed\): /signed: \1: /p' "$work/run"
echo "signed: passed"
