#!/usr/bin/env bash
# publisher_key.sh DIR: the tests' publisher key, an ECDSA P-256 pair that signs the sample product's
# SHA256SUMS (tools/release/sign_product.sh): DIR/publisher.key (private) and DIR/publisher.pub (PEM).
# Made once and kept: the installer built in this tree carries publisher.pub, so configuring the
# tree makes it (before anything is built), and pki.sh, the tests' fixture, finds it there.
set -euo pipefail
dir="$1"
mkdir -p "$dir"
cd "$dir"
if [ -s publisher.key ] && [ -s publisher.pub ]; then
    exit 0
fi
command -v openssl >/dev/null || { echo "openssl is not installed" >&2; exit 1; }
(umask 077 && openssl ecparam -name prime256v1 -genkey -noout -out publisher.key.tmp 2>/dev/null)
openssl ec -in publisher.key.tmp -pubout -out publisher.pub.tmp 2>/dev/null
mv publisher.key.tmp publisher.key
mv publisher.pub.tmp publisher.pub
echo "publisher key: made in $dir"
