#!/usr/bin/env bash
# release.sh INSTALLER RELEASE_DIR PKI_DIR ARCH VERSION SOURCE_DIR
# Signs the built installer with Authenticode (SHA-256) into RELEASE_DIR/ZunorSetup.exe and writes
# RELEASE_DIR/SHA256SUMS for it. The build's `release` target runs it; see docs/release.md.
#
#   ZUNOR_SIGN_PKCS12         the PKCS#12 file with the code-signing certificate and its key
#   ZUNOR_SIGN_PASSWORD       that file's password (empty when unset)
#   ZUNOR_SIGN_TIMESTAMP_URL  an RFC 3161 timestamp server, used when set
#   ZUNOR_SIGN_CAFILE         the roots the finished signature and its timestamp are checked against
#                             (default: the system's)
#
# Without ZUNOR_SIGN_PKCS12 it signs with the test code-signing certificate of the tests' own CA
# (PKI_DIR, made by tools/server/pki.sh), and the output and the signature's description say so.
set -euo pipefail

if [ $# -ne 6 ]; then
    echo "usage: $0 INSTALLER RELEASE_DIR PKI_DIR ARCH VERSION SOURCE_DIR" >&2
    exit 2
fi
installer=$1 out=$2 pki=$3 arch=$4 version=$5 source=$6
say() { echo "release: $*"; }
fail() { echo "release: $*" >&2; exit 1; }

command -v osslsigncode >/dev/null || fail "osslsigncode is not installed (run tools/setup.sh as root)"
[ -f "$installer" ] || fail "$installer is not built"

commit=unknown
if git -C "$source" rev-parse --git-dir >/dev/null 2>&1; then
    commit=$(git -C "$source" rev-parse HEAD)
    if ! git -C "$source" diff --quiet HEAD --; then
        dirty=1
    fi
fi

description="Zunor 2021 - instalacija"
if [ -n "${ZUNOR_SIGN_PKCS12:-}" ]; then
    test_release=0
    # The 64-bit tree only tests the sources on hosts without 32-bit x86; it is never shipped.
    [ "$arch" = win32 ] || fail "the $arch tree is a test twin and is never released; use the win32 preset"
    # What goes out must be rebuildable from its commit.
    [ "$commit" != unknown ] || fail "a real release is made from a git checkout, so that it names its commit"
    [ -z "${dirty:-}" ] || fail "the work tree has uncommitted changes: commit them, then release"
    p12=$ZUNOR_SIGN_PKCS12
    [ -r "$p12" ] || fail "ZUNOR_SIGN_PKCS12 names $p12, which cannot be read"
    password=${ZUNOR_SIGN_PASSWORD:-}
    cafile=${ZUNOR_SIGN_CAFILE:-}
else
    # A password without its certificate is a mistake, not a request for a test release.
    [ -z "${ZUNOR_SIGN_PASSWORD:-}" ] || fail "ZUNOR_SIGN_PASSWORD is set but ZUNOR_SIGN_PKCS12 is not"
    test_release=1
    bash "$source/tools/server/pki.sh" "$pki" >/dev/null
    p12=$pki/codesign.p12
    password=$(cat "$pki/codesign.pass")
    cafile=$pki/ca.crt
    description="$description (TEST signature of the tests' own CA: not for distribution)"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The password goes through a file of this user's only, never on a command line others can read.
(umask 077 && printf '%s' "$password" >"$work/pass")

sign=(osslsigncode sign -pkcs12 "$p12" -readpass "$work/pass" -h sha256 -n "$description")
[ -z "${ZUNOR_SIGN_TIMESTAMP_URL:-}" ] || sign+=(-ts "$ZUNOR_SIGN_TIMESTAMP_URL")
"${sign[@]}" -in "$installer" -out "$work/ZunorSetup.exe" >"$work/sign.log" 2>&1 ||
    { cat "$work/sign.log" >&2; fail "signing failed"; }

verify=(osslsigncode verify -in "$work/ZunorSetup.exe")
[ -z "$cafile" ] || verify+=(-CAfile "$cafile" -TSA-CAfile "$cafile")
"${verify[@]}" >"$work/verify.log" 2>&1 || { cat "$work/verify.log" >&2; fail "the signed installer does not verify"; }

mkdir -p "$out"
rm -f "$out/ZunorSetup.exe" "$out/SHA256SUMS"
mv "$work/ZunorSetup.exe" "$out/ZunorSetup.exe"
(cd "$out" && sha256sum ZunorSetup.exe >SHA256SUMS)

say "ZunorSetup.exe $version, commit $commit${dirty:+ with uncommitted changes (not rebuildable from it)}"
# The signer is the first certificate the check names; then whether and when it was timestamped.
awk '/Subject:|Issuer :/ && n < 2 { sub(/^[ \t]+/, ""); print "release:   " $0; n++ }
     /Text description|Timestamp time|Timestamp is not|Timestamp Server Signature|^Signature verification/ {
         sub(/^[ \t]+/, ""); print "release:   " $0 }' "$work/verify.log"
if [ "$test_release" -eq 1 ]; then
    say "*** TEST SIGNATURE, NOT FOR DISTRIBUTION: signed with the test certificate of the tests' own CA"
    say "*** ($cafile), which no Windows trusts. Set ZUNOR_SIGN_PKCS12 for a real release."
fi
say "$out/ZunorSetup.exe"
say "$out/SHA256SUMS: $(cat "$out/SHA256SUMS")"
