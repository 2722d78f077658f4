#!/usr/bin/env bash
# pki.sh DIR: a test CA and a server certificate for localhost/127.0.0.1 signed by it (also naming
# zunor-download.test, a host only the test proxy resolves), plus, for the
# bad-certificate tests, a second CA that nobody trusts with a certificate of its own, and two more
# certificates of the test CA: one for localhost that expired in 2021 and one for another host name;
# a code-signing certificate of the test CA (codesign.p12, password in codesign.pass) that signs
# test releases (tools/release/release.sh), a timestamping one for the tests' RFC 3161 server, and the
# publisher key that signs the sample product's SHA256SUMS (publisher_key.sh; configuring makes it first).
# Made fresh at test time; nothing here is ever added to the host's trust store.
set -euo pipefail
dir="$1"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bash "$here/publisher_key.sh" "$dir" >/dev/null
mkdir -p "$dir"
cd "$dir"
# A server certificate of an earlier version lacks the proxied name: it is made again.
proxied=zunor-download.test
if [ -f server.crt ] && ! openssl x509 -in server.crt -noout -ext subjectAltName 2>/dev/null | grep -q "$proxied"; then
    rm -f server.crt server.key
fi
if [ -f ca.crt ] && [ -f server.crt ] && [ -f untrusted.crt ] && [ -f expired.crt ] && [ -f otherhost.crt ] \
    && [ -f codesign.p12 ] && [ -f tsa.crt ]; then
    exit 0
fi
command -v openssl >/dev/null || { echo "openssl is not installed" >&2; exit 1; }
cat >san.cnf <<'CNF'
subjectAltName = DNS:localhost, DNS:zunor-download.test, IP:127.0.0.1
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
# A certificate that was valid once: openssl ca is what takes a start and an end date.
make_expired() { # ca name
    cat >expired-ca.cnf <<'CNF'
[ca]
default_ca = test
[test]
dir = .
database = expired-index.txt
new_certs_dir = .
serial = expired-serial.txt
default_md = sha256
policy = any
[any]
commonName = supplied
CNF
    : >expired-index.txt
    echo 1000 >expired-serial.txt
    openssl req -newkey rsa:2048 -nodes -keyout "$2.key" -out "$2.csr" -subj "/CN=localhost" 2>/dev/null
    openssl ca -batch -notext -config expired-ca.cnf -cert "$1.crt" -keyfile "$1.key" -in "$2.csr" -out "$2.crt" \
        -startdate 20200101000000Z -enddate 20210101000000Z -extfile san.cnf 2>/dev/null
    rm -f "$2.csr" 1000.pem expired-index.txt* expired-serial.txt* expired-ca.cnf
}
make_otherhost() { # ca name
    sed 's/^subjectAltName = .*/subjectAltName = DNS:zunor.example/' san.cnf >"$2.cnf"
    openssl req -newkey rsa:2048 -nodes -keyout "$2.key" -out "$2.csr" -subj "/CN=zunor.example" 2>/dev/null
    openssl x509 -req -in "$2.csr" -CA "$1.crt" -CAkey "$1.key" -CAcreateserial -out "$2.crt" -days 825 -sha256 \
        -extfile "$2.cnf" 2>/dev/null
    rm -f "$2.csr" "$2.cnf"
}
# Its subject says what it is, since Windows shows the subject as the publisher.
make_codesign() { # ca name
    cat >"$2.cnf" <<'CNF'
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
CNF
    openssl req -newkey rsa:3072 -nodes -keyout "$2.key" -out "$2.csr" \
        -subj "/O=Brantovik TEST/CN=Zunor 2021 TEST signature - not for distribution" 2>/dev/null
    openssl x509 -req -in "$2.csr" -CA "$1.crt" -CAkey "$1.key" -CAcreateserial -out "$2.crt" -days 825 -sha256 \
        -extfile "$2.cnf" 2>/dev/null
    openssl rand -hex 12 | tr -d "\n" >"$2.pass"
    openssl pkcs12 -export -in "$2.crt" -inkey "$2.key" -certfile "$1.crt" -name "$2" \
        -passout "file:$2.pass" -out "$2.p12"
    rm -f "$2.csr" "$2.cnf"
}
make_tsa() { # ca name
    printf 'basicConstraints = CA:FALSE\nkeyUsage = critical, digitalSignature\nextendedKeyUsage = critical, timeStamping\n' \
        >"$2.cnf"
    openssl req -newkey rsa:2048 -nodes -keyout "$2.key" -out "$2.csr" -subj "/CN=Zunor Test Timestamps" 2>/dev/null
    openssl x509 -req -in "$2.csr" -CA "$1.crt" -CAkey "$1.key" -CAcreateserial -out "$2.crt" -days 825 -sha256 \
        -extfile "$2.cnf" 2>/dev/null
    rm -f "$2.csr" "$2.cnf"
}
# What is there stays: a Wine prefix (the demo's) may trust this CA already.
[ -f ca.crt ] || { make_ca ca "/CN=Zunor Test CA"; rm -f server.crt expired.crt otherhost.crt codesign.p12 tsa.crt; }
[ -f server.crt ] || make_leaf ca server
[ -f untrusted.crt ] || { make_ca untrusted-ca "/CN=Untrusted Test CA"; make_leaf untrusted-ca untrusted; }
[ -f expired.crt ] || make_expired ca expired
[ -f otherhost.crt ] || make_otherhost ca otherhost
[ -f codesign.p12 ] || make_codesign ca codesign
[ -f tsa.crt ] || make_tsa ca tsa
echo "pki: made in $dir"
