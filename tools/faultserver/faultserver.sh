#!/usr/bin/env bash
# faultserver.sh start|stop BUILD_DIR PORT [faultserver.py options]: runs faultserver.py in the background
# with the build tree's test PKI (pid and log in BUILD_DIR/faultserver-PORT/) and waits until it
# listens.
set -euo pipefail
action="$1"; build="$2"; port="$3"; shift 3
dir="$build/faultserver-$port"
pidfile="$dir/pid"
case "$action" in
start)
    if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then exit 0; fi
    [ -f "$build/pki/server.crt" ] || { echo "test PKI missing in $build/pki (the pki fixture makes it)" >&2; exit 1; }
    mkdir -p "$dir"
    rm -f "$dir/port"
    # setsid and redirected output: ctest must not wait for the server's pipes.
    setsid python3 "$(dirname "$0")/faultserver.py" --pki "$build/pki" --port "$port" --port-file "$dir/port" "$@" \
        </dev/null >"$dir/log" 2>&1 &
    echo $! >"$pidfile"
    deadline=$((SECONDS + 15))
    until [ -s "$dir/port" ]; do
        if ! kill -0 "$(cat "$pidfile")" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
            echo "fault server did not start on port $port:" >&2; cat "$dir/log" >&2; exit 1
        fi
        sleep 0.1
    done
    ;;
stop)
    if [ -f "$pidfile" ]; then
        pid="$(cat "$pidfile")"
        kill "$pid" 2>/dev/null || true
        # A zombie (no one reaps it at once in a container) counts as gone.
        for _ in $(seq 50); do
            state="$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null || echo gone)"
            [ "$state" = gone ] || [ "$state" = Z ] && break
            sleep 0.1
        done
        rm -f "$pidfile"
    fi
    ;;
*) echo "usage: faultserver.sh start|stop BUILD_DIR PORT [--cert untrusted] [--root DIR --rate N ...]" >&2; exit 2 ;;
esac
