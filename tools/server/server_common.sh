# Sourced by the server scripts (apache.sh, nginx.sh), which set $pidfile before calling these.

# running: the server of $pidfile is alive. stop_server: ends it (TERM, then KILL after 15 s).
running() { [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; }

stop_server() {
    running || { rm -f "$pidfile"; return 0; }
    local pid; pid="$(cat "$pidfile")"
    kill -TERM "$pid" 2>/dev/null || true
    local deadline=$((SECONDS + 15))
    while kill -0 "$pid" 2>/dev/null; do
        [ $SECONDS -lt $deadline ] || { kill -KILL "$pid" 2>/dev/null || true; break; }
        sleep 0.1
    done
    rm -f "$pidfile"
}

# wait_ready NAME URL DIR CA: polls URL until the server answers (20 s
# at most); on time-out shows DIR/error.log, stops the server and exits 1.
# Then empties DIR/access.log: the readiness probe is not a test's request.
wait_ready() {
    local name="$1" url="$2" dir="$3" ca="$4"
    local deadline=$((SECONDS + 20))
    until curl -s -o /dev/null --cacert "$ca" "$url"; do
        if [ $SECONDS -ge $deadline ]; then
            echo "$name did not answer at $url" >&2
            cat "$dir/error.log" >&2 2>/dev/null || true
            stop_server
            exit 1
        fi
        sleep 0.1
    done
    : >"$dir/access.log"
}
