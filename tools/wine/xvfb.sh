#!/usr/bin/env bash
# xvfb.sh start|stop BUILD_DIR: a private X display for the GUI tests; its number goes to
# BUILD_DIR/xvfb.display.
set -euo pipefail
action="$1"; build="$2"
pidfile="$build/xvfb.pid"; dispfile="$build/xvfb.display"
case "$action" in
start)
    if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then exit 0; fi
    command -v Xvfb >/dev/null || { echo "Xvfb is not installed (run tools/setup.sh as root)" >&2; exit 1; }
    exec 3>"$dispfile.tmp"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    echo $! >"$pidfile"
    exec 3>&-
    for _ in $(seq 100); do
        [ -s "$dispfile.tmp" ] && break
        sleep 0.1
    done
    [ -s "$dispfile.tmp" ] || { echo "Xvfb did not start" >&2; exit 1; }
    tr -d '\n' <"$dispfile.tmp" >"$dispfile"; rm -f "$dispfile.tmp"
    ;;
stop)
    if [ -f "$pidfile" ]; then kill "$(cat "$pidfile")" 2>/dev/null || true; rm -f "$pidfile"; fi
    rm -f "$dispfile"
    ;;
*) echo "usage: xvfb.sh start|stop BUILD_DIR" >&2; exit 2 ;;
esac
