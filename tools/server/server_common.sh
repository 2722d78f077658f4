# Sourced by the server scripts (apache.sh, nginx.sh, caddy.sh, mini_httpd.sh, webfs.sh, h2o.sh, tomcat.sh,
# squid.sh), which set $pidfile before calling these.

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

# wait_ready NAME URL DIR CA [SECONDS]: polls URL until the server answers (20 s, or SECONDS, at
# most); on time-out shows DIR/error.log, stops the server and exits 1.
# Then empties DIR/access.log: the readiness probe is not a test's request. A server writes the
# probe's line after its answer, so the log is emptied once that line is there (5 s at most).
wait_ready() {
    local name="$1" url="$2" dir="$3" ca="$4"
    local deadline=$((SECONDS + ${5:-20}))
    until curl -s -o /dev/null --cacert "$ca" "$url"; do
        if [ $SECONDS -ge $deadline ]; then
            echo "$name did not answer at $url" >&2
            cat "$dir/error.log" >&2 2>/dev/null || true
            stop_server
            exit 1
        fi
        sleep 0.1
    done
    deadline=$((SECONDS + 5))
    until [ -s "$dir/access.log" ] || [ $SECONDS -ge $deadline ]; do sleep 0.05; done
    : >"$dir/access.log"
}

# served_root NAME DOCROOT USER DIR: prints the folder to serve DOCROOT from, for a server whose workers
# run as USER (a server started by root hands its workers to another user). That is DOCROOT itself
# wherever USER can read it. A clone inside a folder only its owner may enter (root's home, mktemp -d)
# cannot be read by anyone else, and its permissions are the user's, not ours to change: then a copy in
# a new folder of /tmp is served, as DOCROOT is at the start, each file with its own mode (DIR/staged
# names it; the stop removes it).
served_root() {
    local name="$1" docroot="$2" user="$3" dir="$4"
    drop_staged "$dir"
    if [ "$(id -u)" -ne 0 ] || runuser -u "$user" -- test -r "$docroot" -a -x "$docroot"; then
        echo "$docroot"
        return
    fi
    local staged
    staged="$(mktemp -d /tmp/zunor-docroot.XXXXXX)"
    echo "$staged" >"$dir/staged"
    # Modes kept: what USER may not read in DOCROOT (a test's refused file), it may not read here either.
    cp -a "$docroot/." "$staged/"
    chmod 755 "$staged"
    runuser -u "$user" -- test -r "$staged" -a -x "$staged" ||
        { echo "$name: $user cannot read $staged either" >&2; exit 1; }
    echo "$name: $user cannot enter a folder above $docroot; serving a copy of it from $staged" >&2
    echo "$staged"
}

# drop_staged DIR: removes the copy served_root made for the server of DIR, if any.
drop_staged() {
    local dir="$1" staged
    [ -f "$dir/staged" ] || return 0
    staged="$(cat "$dir/staged")"
    case "$staged" in
    /tmp/zunor-docroot.*) rm -rf "$staged" ;;
    esac
    rm -f "$dir/staged"
}
