#!/usr/bin/env bash
# mini_httpd.sh start|stop BUILD_DIR PORT [DOCROOT]
# A small download server: Debian's mini_httpd, HTTPS on 127.0.0.1:PORT with the test PKI's server
# certificate, its state in BUILD_DIR/mini_httpd-PORT/. Its index links "." and "..", and sub-folders
# without their slash ("SUPORT"); a folder asked for without its slash gets a 302 to the one with it,
# and every answer closes the connection. DOCROOT defaults to BUILD_DIR/server/htdocs. Started as root
# it serves as "nobody", from a readable copy where nobody cannot read DOCROOT (served_root).
set -euo pipefail
. "$(dirname "$0")/server_common.sh"
usage() { echo "usage: mini_httpd.sh start|stop BUILD_DIR PORT [DOCROOT]" >&2; exit 2; }
[ $# -ge 3 ] || usage
action="$1"; build="$(realpath -m "$2")"; port="$3"
docroot="$(realpath -m "${4:-$build/server/htdocs}")"
dir="$build/mini_httpd-$port"
pidfile="$dir/mini_httpd.pid"
user=nobody

case "$action" in
start)
    command -v mini_httpd >/dev/null || { echo "mini_httpd is not installed (run tools/setup.sh as root)" >&2; exit 1; }
    [ -f "$build/pki/server.crt" ] || { echo "test PKI missing in $build/pki (the pki fixture makes it)" >&2; exit 1; }
    [ -d "$docroot" ] || { echo "document root $docroot does not exist" >&2; exit 1; }
    mkdir -p "$dir"
    stop_server
    rm -f "$dir/access.log" "$dir/error.log"
    docroot="$(served_root mini_httpd "$docroot" "$user" "$dir")"
    # One file holds the key and the certificate; it is read before the server gives up root.
    (umask 077; cat "$build/pki/server.key" "$build/pki/server.crt" >"$dir/server.pem")
    user_args=()
    [ "$(id -u)" -ne 0 ] || user_args=(-u "$user")
    mini_httpd -S -E "$dir/server.pem" -h 127.0.0.1 -p "$port" -d "$docroot" "${user_args[@]}" \
        -i "$pidfile" -l "$dir/access.log" -T utf-8 2>"$dir/error.log" || { cat "$dir/error.log" >&2; exit 1; }
    wait_ready mini_httpd "https://localhost:$port/" "$dir" "$build/pki/ca.crt"
    ;;
stop)
    stop_server
    drop_staged "$dir"
    ;;
*) usage ;;
esac
