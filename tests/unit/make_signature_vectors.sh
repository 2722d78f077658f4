#!/usr/bin/env bash
# make_signature_vectors.sh DIR: signatures by openssl for the tests of the publisher's signature
# (native: the key and signature forms; Win32: CNG's verdict). Two fresh P-256 keys; a message and
# openssl's DER signatures over it; the same message with one byte changed; a signature cut short and
# one that is not DER; and what openssl itself says the raw forms are (key.xy, good.rs: hex).
set -euo pipefail
dir="$1"
rm -rf "$dir.tmp"
mkdir -p "$dir.tmp"
cd "$dir.tmp"
for key in key other; do
    openssl ecparam -name prime256v1 -genkey -noout -out $key.pem 2>/dev/null
    openssl ec -in $key.pem -pubout -out $key.pub 2>/dev/null
done
printf 'e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855  Zunor2021VK.exe\n' >message
sed 's/Zunor/Zunoq/' message >changed
openssl dgst -sha256 -sign key.pem -out good.sig message
openssl dgst -sha256 -sign other.pem -out other.sig message
head -c 40 good.sig >truncated.sig
# A PEM block where DER belongs.
openssl base64 -in good.sig -out notder.sig
# openssl's own reading: the point after the 04 of the uncompressed form, and r and s as integers.
openssl ec -pubin -in key.pub -outform DER 2>/dev/null | tail -c 64 | od -An -tx1 | tr -d ' \n' >key.xy
openssl asn1parse -inform DER -in good.sig | sed -n 's/.*INTEGER *:\([0-9A-F]*\).*/\1/p' >good.rs
# Both scalars, each padded to 32 bytes.
awk '{ s = $0; while (length(s) < 64) s = "0" s; printf "%s", tolower(s) }' good.rs >good.rs.tmp && mv good.rs.tmp good.rs
openssl dgst -sha256 -verify key.pub -signature good.sig message >/dev/null
cd ..
rm -rf "$dir"
mv "$dir.tmp" "$dir"
