#!/usr/bin/env bash
# The release target of a build tree, as an administrator would check what it made: the signature
# verifies against the tests' CA and nothing else, one changed byte breaks it, the checksum matches,
# the signature comes off to give back exactly the built installer, and the test signature says what
# it is. Then the signing variables of a real release, and the mistakes the script refuses.
#   release_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
for tool in osslsigncode sha256sum git cmake python3 openssl; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (run tools/setup.sh as root)"; exit 1; }
done
failures=0
check() { # what command...
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
refused() { ! "$@"; }
work=$(mktemp -d)
trap '[ -z "${tsa:-}" ] || kill "$tsa" 2>/dev/null; rm -rf "$work"' EXIT
pki=$build/pki
release=$build/release
verify() { osslsigncode verify -in "$1" -CAfile "$2"; }

# The test release: made the one way docs/release.md names, with none of the signing variables set.
env -u ZUNOR_SIGN_PKCS12 -u ZUNOR_SIGN_PASSWORD -u ZUNOR_SIGN_TIMESTAMP_URL -u ZUNOR_SIGN_CAFILE \
    cmake --build "$build" --target release >"$work/release.log" 2>&1 || { cat "$work/release.log"; exit 1; }
cat "$work/release.log"
check "the output says it is a test signature" grep -q "TEST SIGNATURE.*NOT FOR DISTRIBUTION" "$work/release.log"
sums() { [ "$(cut -d' ' -f3 SHA256SUMS)" = ZunorSetup.exe ] && sha256sum -c --strict SHA256SUMS; }
check "SHA256SUMS names the signed installer and matches it" eval "(cd '$release' && sums)"
verify "$release/ZunorSetup.exe" "$pki/ca.crt" >"$work/verify.log" 2>&1 || true
cat "$work/verify.log"
check "the signature verifies against the tests' CA" verify "$release/ZunorSetup.exe" "$pki/ca.crt"
check "its digest is SHA-256" grep -q "^Message digest algorithm *: SHA256" "$work/verify.log"
check "its description says it is a test signature" grep -q "Text description: .*TEST signature" "$work/verify.log"
check "it does not verify against another CA" refused verify "$release/ZunorSetup.exe" "$pki/untrusted-ca.crt"

# One byte of the code changed: the digest no longer matches.
cp "$release/ZunorSetup.exe" "$work/tampered.exe"
printf '\xcc' | dd of="$work/tampered.exe" bs=1 seek=4100 conv=notrunc status=none
check "the tampered copy differs in one byte" test "$(cmp -l "$release/ZunorSetup.exe" "$work/tampered.exe" | wc -l)" = 1
verify "$work/tampered.exe" "$pki/ca.crt" >"$work/tampered.log" 2>&1 || true
echo "--- the tampered copy:"
grep -E "digest|verification|Failed|Succeeded" "$work/tampered.log" || true
check "the tampered copy fails verification" refused verify "$work/tampered.exe" "$pki/ca.crt"

# The signature is all that was added: without it, the installer the tree built, byte for byte.
osslsigncode remove-signature -in "$release/ZunorSetup.exe" -out "$work/unsigned.exe" >/dev/null
check "without its signature the release is the built installer" cmp "$work/unsigned.exe" "$build/ZunorSetup.exe"

# What would make two builds of one commit differ: the link time, and the tree's own paths.
stamp=$(od -An -tu4 -j "$(($(od -An -tu4 -j 60 -N4 "$build/ZunorSetup.exe") + 8))" -N4 "$build/ZunorSetup.exe")
check "the PE header carries no link time" test "$stamp" -eq 0
check "no path of the source tree in the installer" refused grep -Fqa "$(realpath "$source")" "$build/ZunorSetup.exe"
check "no path of the build tree in the installer" refused grep -Fqa "$(realpath "$build")" "$build/ZunorSetup.exe"

# A real release reads its certificate from the variables. The tests' certificate stands in for a
# bought one; a clean checkout of one commit stands in for the source tree.
mkdir "$work/clean"
git -C "$work/clean" init -q
echo one >"$work/clean/file"
git -C "$work/clean" add file
git -C "$work/clean" -c user.name=t -c user.email=t@t commit -qm one
real() { # arch release_dir
    ZUNOR_SIGN_PKCS12=$pki/codesign.p12 ZUNOR_SIGN_PASSWORD=$(cat "$pki/codesign.pass") ZUNOR_SIGN_CAFILE=$pki/ca.crt \
        bash "$source/tools/release/release.sh" "$build/ZunorSetup.exe" "$2" "$work/no-pki" "$1" 1.0 "$work/clean"
}
# With a timestamp server named: a local one that answers with the test PKI's timestamping certificate.
mkdir "$work/tsa"
python3 "$(dirname "$0")/timestamp_server.py" "$pki" "$work/tsa/port" &
tsa=$!
for _ in $(seq 100); do [ -s "$work/tsa/port" ] || [ ! -d "/proc/$tsa" ] || sleep 0.1; done
[ -s "$work/tsa/port" ] || { echo "FAIL: the timestamp server did not start"; exit 1; }
ZUNOR_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat "$work/tsa/port") real win32 "$work/real" >"$work/real.log" 2>&1 || true
kill "$tsa" && tsa=
cat "$work/real.log"
osslsigncode verify -in "$work/real/ZunorSetup.exe" -CAfile "$pki/ca.crt" -TSA-CAfile "$pki/ca.crt" \
    >"$work/real-verify.log" 2>&1 || true
check "a real release is signed with the named certificate" grep -q "^Signature verification: ok" "$work/real-verify.log"
check "and timestamped by the named server" test "$(cat "$work/tsa/port.count" 2>/dev/null)" = 1
check "with a timestamp that verifies" grep -q "^Timestamp Server Signature verification: ok" "$work/real-verify.log"
check "and carries no test mark" refused grep -q "TEST SIGNATURE" "$work/real.log"
check "nor a test description" grep -qx "[[:space:]]*Text description: Zunor 2021 - instalacija" "$work/real-verify.log"
check "the wrong password fails" refused env ZUNOR_SIGN_PKCS12="$pki/codesign.p12" ZUNOR_SIGN_PASSWORD=wrong \
    bash "$source/tools/release/release.sh" "$build/ZunorSetup.exe" "$work/wrong" "$work/no-pki" win32 1.0 "$work/clean"
check "a password without its certificate is refused" refused env -u ZUNOR_SIGN_PKCS12 ZUNOR_SIGN_PASSWORD=x \
    bash "$source/tools/release/release.sh" "$build/ZunorSetup.exe" "$work/alone" "$pki" win32 1.0 "$work/clean"
check "the 64-bit test twin is never released" refused real win64 "$work/twin"
echo two >"$work/clean/file"
check "uncommitted changes are never released" refused real win32 "$work/dirty"
check "no refused release left a file behind" test ! -e "$work/wrong" -a ! -e "$work/alone" -a ! -e "$work/twin" -a ! -e "$work/dirty"

echo "release test: $failures failed"
[ "$failures" -eq 0 ]
