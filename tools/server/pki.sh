#!/usr/bin/env bash
# pki.sh DIR: a test CA and a server certificate for localhost/127.0.0.1 signed by it, plus a second
# CA that nobody trusts and a certificate of its own, for the bad-certificate tests. Made fresh at
# test time; nothing here is ever added to the host's trust store.
set -euo pipefail
dir="$1"
mkdir -p "$dir"
cd "$dir"
if [ -f ca.crt ] && [ -f server.crt ] && [ -f untrusted.crt ]; then exit 0; fi
command -v openssl >/dev/null || { echo "openssl is not installed" >&2; exit 1; }
cat >san.cnf <<'CNF'
subjectAltName = DNS:localhost, IP:127.0.0.1
basicConstraints = CA:FALSE
keyUsage = digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
CNF
make_ca() { # name subject
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.crt" -days 3650 \
        -subj "$2" -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
make_leaf() { # ca name
    openssl req -newkey rsa:2048 -nodes -keyout "$2.key" -out "$2.csr" -subj "/CN=localhost" 2>/dev/null
    openssl x509 -req -in "$2.csr" -CA "$1.crt" -CAkey "$1.key" -CAcreateserial -out "$2.crt" \
        -days 825 -sha256 -extfile san.cnf 2>/dev/null
    rm -f "$2.csr"
}
make_ca ca "/CN=Zunor Test CA"
make_leaf ca server
make_ca untrusted-ca "/CN=Untrusted Test CA"
make_leaf untrusted-ca untrusted
echo "pki: made in $dir"
