#!/usr/bin/env bash
# webfs.sh start|stop BUILD_DIR PORT [DOCROOT]
# A server that sends a folder asked for without its slash to plain http: Debian's webfsd, HTTPS on
# 127.0.0.1:PORT with the test PKI's server certificate, answering "/zunor" with a 302 to
# "http://localhost:PORT/zunor/". Its state is in BUILD_DIR/webfs-PORT/; DOCROOT defaults to
# BUILD_DIR/server/htdocs. It keeps the user it is started as.
set -euo pipefail
. "$(dirname "$0")/server_common.sh"
usage() { echo "usage: webfs.sh start|stop BUILD_DIR PORT [DOCROOT]" >&2; exit 2; }
[ $# -ge 3 ] || usage
action="$1"; build="$(realpath -m "$2")"; port="$3"
docroot="$(realpath -m "${4:-$build/server/htdocs}")"
dir="$build/webfs-$port"
pidfile="$dir/webfsd.pid"

case "$action" in
start)
    command -v webfsd >/dev/null || { echo "webfsd is not installed (run tools/setup.sh as root)" >&2; exit 1; }
    [ -f "$build/pki/server.crt" ] || { echo "test PKI missing in $build/pki (the pki fixture makes it)" >&2; exit 1; }
    [ -d "$docroot" ] || { echo "document root $docroot does not exist" >&2; exit 1; }
    mkdir -p "$dir"
    stop_server
    rm -f "$dir/access.log" "$dir/error.log"
    webfsd -4 -i 127.0.0.1 -p "$port" -n localhost -r "$docroot" -S -C "$build/pki/server.crt" \
        -K "$build/pki/server.key" -k "$pidfile" -L "$dir/access.log" 2>"$dir/error.log" ||
        { cat "$dir/error.log" >&2; exit 1; }
    wait_ready webfs "https://localhost:$port/" "$dir" "$build/pki/ca.crt"
    ;;
stop)
    stop_server
    ;;
*) usage ;;
esac
