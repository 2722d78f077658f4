#!/usr/bin/env bash
# sign_product.sh PRODUCT_FOLDER [PRIVATE_KEY]
# Writes SHA256SUMS (as sha256sum writes it, sorted by name) and SHA256SUMS.sig (the publisher's
# ECDSA P-256 / SHA-256 signature of its exact bytes, DER, as `openssl dgst -sha256 -sign` writes it)
# into zunor/, zunor/SUPORT/ and zunor/TEMPLATE/ of a served tree (PRODUCT_FOLDER holds zunor/; the
# zunor folder itself is taken too). The installer carries the public key and checks each folder.
# PRIVATE_KEY: the publisher's key (PEM); by default the tests' publisher key of the tree this host
# tests (build/<tree>/pki/publisher.key). A folder whose sums did not change keeps its signature.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 PRODUCT_FOLDER [PRIVATE_KEY]" >&2
    exit 2
fi
fail() { echo "sign_product: $*" >&2; exit 1; }
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
product=$1
if [ -d "$product/zunor" ]; then
    product=$product/zunor
fi
[ -d "$product/SUPORT" ] && [ -d "$product/TEMPLATE" ] || fail "$1 holds no zunor/ with SUPORT/ and TEMPLATE/"
if [ $# -eq 2 ]; then
    key=$2
else
    . "$source_dir/tools/wine/host.sh"
    zunor_choose_tree
    key=$source_dir/build/$ZUNOR_TREE/pki/publisher.key
fi
[ -r "$key" ] || fail "the private key $key cannot be read"
command -v openssl >/dev/null || fail "openssl is not installed"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl ec -in "$key" -pubout -out "$work/publisher.pub" 2>/dev/null || fail "$key is not an EC private key"

for folder in "$product" "$product/SUPORT" "$product/TEMPLATE"; do
    (
        cd "$folder"
        : >"$work/sums"
        while IFS= read -r -d '' name; do
            name=${name#./}
            case $name in SHA256SUMS | SHA256SUMS.sig | *.tmp) continue ;; esac
            sha256sum -- "$name" >>"$work/sums"
        done < <(find . -maxdepth 1 -type f -print0 | LC_ALL=C sort -z)
        if cmp -s "$work/sums" SHA256SUMS && [ -f SHA256SUMS.sig ] &&
            openssl dgst -sha256 -verify "$work/publisher.pub" -signature SHA256SUMS.sig SHA256SUMS >/dev/null 2>&1; then
            exit 0
        fi
        openssl dgst -sha256 -sign "$key" -out "$work/sig" "$work/sums" || fail "signing $folder/SHA256SUMS failed"
        openssl dgst -sha256 -verify "$work/publisher.pub" -signature "$work/sig" "$work/sums" >/dev/null ||
            fail "the signature of $folder/SHA256SUMS does not verify"
        cp "$work/sums" SHA256SUMS.tmp && mv SHA256SUMS.tmp SHA256SUMS
        cp "$work/sig" SHA256SUMS.sig.tmp && mv SHA256SUMS.sig.tmp SHA256SUMS.sig
    )
done
