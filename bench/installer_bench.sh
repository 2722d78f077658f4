#!/usr/bin/env bash
# installer_bench.sh [BUILD_DIR] [PORT]: the whole installer against its floors, in one run.
#
# Generates a product (400 small files of 1-64 KiB, 20 of 5 MiB, one of 256 MiB, and the built
# sample's SUPORT and TEMPLATE) in BUILD_DIR/bench-installer/htdocs, serves it with the local Apache on
# PORT (default 19210) and, 40 ms further away, through tools/latency/latency_proxy.py (on a free port),
# and on one Wine prefix of its own (BUILD_DIR/bench-installer/wineprefix, test CA imported) measures:
#   1. ZunorSetup.exe /S with its default of 4 connections, and with /CONNECTIONS=1;
#   2. bench/wininet_floor.exe: the same URLs, in the same order, through one plain WinINet session, on
#      one connection and on four;
#   3. curl over one connection, and wget -r -np of the three folders;
#   4. the installer pair of 1. again, with 40 ms added before every answer;
#   5. an update: right after 1., one small program file changed on a second server (PORT+1) and the
#      installer run again over the installed tree (what is in place as SHA256SUMS lists it stays), with
#      the bytes that server sent; and a full install of the same product without any SHA256SUMS (PORT+2);
# each BENCH_ROUNDS times (default 5), the measures taking turns, and prints the medians (and the
# spread), the ratios (the median of each round's ratio), the installer's own cost per file, the
# peak working sets (the installer's from its /LOG= memory line) against an idle Win32 process's, and
# the listing parser's speed (listing_speed of the native tree), each against its target. With
# BENCH_BEFORE=<an earlier ZunorSetup.exe> that one is measured in every round too, for a before/after
# row. BUILD_DIR
# defaults to the Win32 tree this host runs (tools/wine/host.sh: win32, or the 64-bit twin win64 where
# no 32-bit x86 code runs). Needs that tree built (ZunorSetup, wininet_floor, certimport) with its test
# PKI (the pki fixture, or tools/server/pki.sh BUILD_DIR/pki). Not a ctest test.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${1:-}" ]; then
    . "$source_dir/tools/wine/host.sh"
    zunor_choose_tree
    echo "bench: the $ZUNOR_TREE tree: $ZUNOR_TREE_WHY"
fi
build="$(realpath "${1:-$source_dir/build/$ZUNOR_TREE}")"
port="${2:-19210}"
rounds="${BENCH_ROUNDS:-5}"
before_setup="${BENCH_BEFORE:-}"
latency_ms=40
root="$build/bench-installer"
docroot="$root/htdocs"
product="$docroot/zunor"
sample="$build/server/htdocs/zunor"
setup="$build/ZunorSetup.exe"
floor="$build/bench/wininet_floor.exe"
native="$(sed -n 's/^ZUNOR_NATIVE_BUILD:PATH=//p' "$build/CMakeCache.txt")"
for f in "$setup" "$floor" "$build/tools/certimport.exe" "$build/pki/ca.crt" "$sample/SUPORT" "$native/bench/listing_speed"; do
    [ -e "$f" ] || { echo "missing $f: build the native tree and this Win32 tree (and the pki fixture) first" >&2; exit 1; }
done
command -v wget >/dev/null || { echo "wget is not installed (run tools/setup.sh as root)" >&2; exit 1; }

# --- the product -------------------------------------------------------------------------------------
if [ ! -f "$product/.complete" ]; then
    echo "generating the product in $product"
    rm -rf "$docroot"
    mkdir -p "$product"
    python3 - "$product" <<'PY'
import os, random, sys
folder = sys.argv[1]
rng = random.Random(2021)
for i in range(400):
    with open(os.path.join(folder, "mali%03d.dat" % i), "wb") as f:
        f.write(rng.randbytes(rng.randint(1024, 64 * 1024)))
for i in range(20):
    with open(os.path.join(folder, "srednji%02d.dat" % i), "wb") as f:
        f.write(rng.randbytes(5 << 20))
with open(os.path.join(folder, "veliki.dat"), "wb") as f:
    for _ in range(256):
        f.write(rng.randbytes(1 << 20))
PY
    cp -r "$sample/SUPORT" "$sample/TEMPLATE" "$product/"
    cp "$sample/Zunor2021VK.exe" "$sample/updater.exe" "$product/"
    python3 "$source_dir/tools/sample/make_sums.py" "$product"
    touch "$product/.complete"
fi
# The same product with one small program file changed (and its line in SHA256SUMS), and without any
# SHA256SUMS: hard links, so the 371 MiB are there once. A file that differs is a new one, never
# written through a link.
changed=mali000.dat
if [ ! -f "$root/htdocs-v2/.complete" ]; then
    rm -rf "$root/htdocs-v2" "$root/htdocs-plain"
    cp -al "$docroot" "$root/htdocs-v2"
    cp -al "$docroot" "$root/htdocs-plain"
    rm "$root/htdocs-v2/zunor/$changed" "$root/htdocs-v2/zunor/SHA256SUMS" "$root/htdocs-v2/zunor/.complete"
    head -c "$(stat -c %s "$product/$changed")" /dev/urandom >"$root/htdocs-v2/zunor/$changed"
    python3 "$source_dir/tools/sample/make_sums.py" "$root/htdocs-v2/zunor"
    find "$root/htdocs-plain" -name SHA256SUMS -delete
    touch "$root/htdocs-v2/.complete"
fi
# The large file alone: a product of just that file (the installer needs the three folders, which
# hold only the sample's few small files).
if [ ! -f "$root/htdocs-big/.complete" ]; then
    rm -rf "$root/htdocs-big"
    mkdir -p "$root/htdocs-big/zunor"
    ln "$product/veliki.dat" "$root/htdocs-big/zunor/veliki.dat"
    cp -r "$sample/SUPORT" "$sample/TEMPLATE" "$root/htdocs-big/zunor/"
    python3 "$source_dir/tools/sample/make_sums.py" "$root/htdocs-big/zunor"
    touch "$root/htdocs-big/.complete"
fi
files=$(find "$product" -type f ! -name .complete ! -name SHA256SUMS | wc -l)
bytes=$(find "$product" -type f ! -name .complete ! -name SHA256SUMS -printf '%s\n' | awk '{s+=$1} END {print s}')

# --- servers and prefix --------------------------------------------------------------------------------
export ZUNOR_BUILD="$build" ZUNOR_WINEPREFIX="$root/wineprefix"
if [ ! -f "$root/wineprefix/.ready" ]; then
    echo "making the bench's Wine prefix"
    "$source_dir/tools/wine/prefix.sh" create "$build" >/dev/null
    touch "$root/wineprefix/.ready"
fi
# shellcheck source=../tools/wine/env.sh
. "$source_dir/tools/wine/env.sh"
"$source_dir/tools/server/apache.sh" start "$build" "$port" "$docroot"
"$source_dir/tools/server/apache.sh" start "$build" "$((port + 1))" "$root/htdocs-v2"
"$source_dir/tools/server/apache.sh" start "$build" "$((port + 2))" "$root/htdocs-plain"
"$source_dir/tools/server/apache.sh" start "$build" "$((port + 3))" "$root/htdocs-big"
out="$root/out"
proxy_pid=""
cleanup() {
    [ -z "$proxy_pid" ] || kill "$proxy_pid" 2>/dev/null || true
    for p in "$port" "$((port + 1))" "$((port + 2))" "$((port + 3))"; do "$source_dir/tools/server/apache.sh" stop "$build" "$p" || true; done
    wineserver -k 2>/dev/null || true
    rm -rf "$out" "$WINEPREFIX/drive_c/bench"
}
trap cleanup EXIT
rm -f "$root/proxy.port"
python3 "$source_dir/tools/latency/latency_proxy.py" --target "$port" --latency-ms "$latency_ms" \
    --port-file "$root/proxy.port" >"$root/proxy.log" 2>&1 &
proxy_pid=$!
for _ in $(seq 100); do [ -s "$root/proxy.port" ] && break; sleep 0.1; done
[ -s "$root/proxy.port" ] || { echo "the latency proxy did not start:" >&2; cat "$root/proxy.log" >&2; exit 1; }
base="https://localhost:$port"
updated="https://localhost:$((port + 1))"
plain="https://localhost:$((port + 2))"
big="https://localhost:$((port + 3))"
far="https://localhost:$(cat "$root/proxy.port")"
now() { date +%s.%N; }
since() { python3 -c "import sys; print(float(sys.argv[2]) - float(sys.argv[1]))" "$1" "$(now)"; }
results="$root/results.txt"
: >"$results"
record() { echo "$*" >>"$results"; }
# Every measure starts with the previous one's writes on disk: the installer flushes each file, the
# floor and curl do not, and writeback left over from one measure would otherwise land on the next.
settle() { sync; }
# Seconds between the first and the last line of an installer log (its own time, without Wine's
# process start and end).
log_span() {
    tr -d '\r' <"$1" | python3 -c "
import datetime, sys
lines = [l for l in sys.stdin.read().splitlines() if l[:4].isdigit()]
t = [datetime.datetime.strptime(l[:23], '%Y-%m-%d %H:%M:%S.%f') for l in (lines[0], lines[-1])]
print((t[1] - t[0]).total_seconds())"
}

# One installer run: its seconds and its peak working set (KiB) go into the results as name. EXE names
# another installer than the tree's; KEEP=1 leaves what it installed for the next run (an update) and
# starts from what the one before left.
installer() { # name server [switch]
    local name="$1" server="$2" log="$root/$1.log"
    shift 2
    [ -n "${KEEP:-}" ] || rm -rf "$WINEPREFIX/drive_c/bench"
    rm -f "$log"
    settle
    local t0
    t0=$(now)
    wine "${EXE:-$setup}" /S "/SERVER=$server" "/LOG=$(winepath -w "$log")" /NODESKTOP /NOGROUP "$@" '/D=C:\bench\' \
        >"$root/$name.out" 2>&1 || { echo "the installer failed ($name):" >&2; cat "$root/$name.out" >&2; exit 1; }
    record "$name $(since "$t0")"
    record "$name.peak $(tr -d '\r' <"$log" | sed -n 's/.* memory peak working set \([0-9]*\) KiB$/\1/p' | tail -1)"
    record "$name.span $(log_span "$log")"
    [ "$name" != default ] || installed=$(find "$WINEPREFIX/drive_c/bench/zunor2021" -type f | wc -l)
    [ -n "${KEEP:-}" ] || rm -rf "$WINEPREFIX/drive_c/bench"
}

# The update from the second server over what the full install left: its seconds, and the body bytes
# that server sent, in all and for what it must send (the listings, the SHA256SUMS, the changed file).
update() {
    : >"$build/apache-$((port + 1))/access.log"
    KEEP=1 installer update "$updated"
    awk -v changed="/zunor/$changed" '$1 == "GET" {
            url = $NF; gsub(/"/, "", url); all += $3
            if (url ~ /^\/zunor(\/(SUPORT|TEMPLATE))?\/?$/ || url ~ /SHA256SUMS$/ || url == changed) needed += $3
        } END { print "update.bytes " all + 0; print "update.needed " needed + 0 }' \
        "$build/apache-$((port + 1))/access.log" >>"$results"
    rm -rf "$WINEPREFIX/drive_c/bench"
}

# The floor on n connections: its seconds and its peak working set (MiB).
wininet_floor() { # name connections [url list]
    mkdir -p "$out/floor"
    settle
    local t0
    t0=$(now)
    wine "$floor" "$(winepath -w "${3:-$root/urls.txt}")" "$(winepath -w "$out/floor")" "$2" >"$root/$1.txt"
    record "$1 $(since "$t0")"
    record "$1.peak $(tr -d '\r' <"$root/$1.txt" | sed -n 's/.*peak working set \([0-9.]*\) MiB$/\1/p')"
    record "$1.span $(tr -d '\r' <"$root/$1.txt" | sed -n 's/.* bytes in \([0-9.]*\) s,.*/\1/p')"
    rm -rf "$out/floor"
}

# One wineserver for the whole run (killed at the end): no run waits for a new one and its services.
wineserver -p </dev/null >/dev/null 2>&1
wine "$floor" --idle >"$root/idle.txt"
# The URLs the installer requests, in its order, for the floors and curl.
installer probe "$base" /CONNECTIONS=1
grep -oE ' (listing|checksums|file) https://[^ ]+' "$root/probe.log" | awk '{print $2}' >"$root/urls.txt"
urls=$(wc -l <"$root/urls.txt")
awk -v d="$out/curl" '{printf "url = \"%s\"\noutput = \"%s/%d\"\n", $0, d, NR}' "$root/urls.txt" >"$root/curl.cfg"
echo "$big/zunor/veliki.dat" >"$root/big-urls.txt"
: >"$results"

for round in $(seq "$rounds"); do
    echo "round $round of $rounds"
    KEEP=1 installer default "$base"
    update
    installer plain "$plain"
    installer one "$base" /CONNECTIONS=1
    [ -z "$before_setup" ] || EXE="$before_setup" installer before "$base"
    wininet_floor floor1 1
    wininet_floor floor4 4
    mkdir -p "$out/curl"
    settle
    t0=$(now)
    curl -s -L --cacert "$build/pki/ca.crt" -K "$root/curl.cfg"
    record "curl $(since "$t0")"
    rm -rf "$out/curl"
    settle
    t0=$(now)
    wget -q -r -np -nH -P "$out/wget" --ca-certificate="$build/pki/ca.crt" --reject-regex '\?C=' "$base/zunor/"
    record "wget $(since "$t0")"
    rm -rf "$out/wget"
    installer default_far "$far"
    installer one_far "$far" /CONNECTIONS=1
    installer big "$big"
    wininet_floor floor_big 4 "$root/big-urls.txt"
done

# --- figures ----------------------------------------------------------------------------------------------
idle_mib=$(tr -d '\r' <"$root/idle.txt" | sed -n 's/^idle peak working set \([0-9.]*\) MiB.*/\1/p')
listing=$("$native/bench/listing_speed" | sed -n 's/^index page *\([0-9]*\) MB\/s.*/\1/p')

python3 - "$results" "$files" "$installed" "$urls" "$bytes" "$idle_mib" "$listing" "$latency_ms" <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    name, value = line.split()
    runs.setdefault(name, []).append(float(value))
files, installed, urls, size = map(int, sys.argv[2:6])
idle, listing, latency = float(sys.argv[6]), float(sys.argv[7]), int(sys.argv[8])
med = {name: statistics.median(values) for name, values in runs.items()}
rounds = len(runs["default"])


def ratio(a, b):
    """The median of the rounds' own ratios: a round's runs shared the machine's load."""
    return statistics.median(x / y for x, y in zip(runs[a], runs[b]))


def verdict(ok, miss):
    return "met" if ok else "MISSED: " + miss


def row(label, name, unit="s"):
    values = runs[name]
    spread = f"({min(values):.2f}-{max(values):.2f})" if len(values) > 1 else ""
    print(f"{label:50} {med[name]:8.2f} {unit:3} {spread}")


print(f"product: {files} files, {size / 2**20:.0f} MiB ({installed} installed, {urls} requests); "
      f"median of {rounds} rounds (lowest-highest)")
print(f"{'measure':50} {'value':>12}  target")
row("(1) installer /S, 4 connections (the default)", "default")
row("(2) installer /S /CONNECTIONS=1", "one")
if "before" in runs:
    row("(0) installer as built before (BENCH_BEFORE)", "before")
row("(3) WinINet floor, same URLs, one connection", "floor1")
row("(4) WinINet floor, same URLs, 4 connections", "floor4")
row("(5) curl, same URLs, one connection", "curl")
row("(6) wget -r -np of the three folders", "wget")
row(f"(7) installer, 4 connections, {latency} ms per request", "default_far")
row(f"(8) installer /CONNECTIONS=1, {latency} ms per request", "one_far")
row("(9) update over (1), one small file changed", "update")
row("(10) installer /S, the product without SHA256SUMS", "plain")
row("(11) installer /S, the 256 MiB file alone", "big")
row("(12) WinINet floor, 4 connections, that file alone", "floor_big")
r = ratio("default", "floor1")
print(f"{'(1)/(3)':50} {r:8.2f} x   <= 0.70: " + verdict(r <= 0.70, f"by {(r - 0.70) * 100 / 0.70:.0f}%"))
r = ratio("default", "floor4")
print(f"{'(1)/(4)':50} {r:8.2f} x   <= 0.90: " + verdict(r <= 0.90, f"by {(r - 0.90) * 100 / 0.90:.0f}%"))
print(f"{'(11)/(12), the large file alone':50} {ratio('big', 'floor_big'):8.2f} x")
r = ratio("one", "floor1")
print(f"{'(2)/(3)':50} {r:8.2f} x   <= 1.15: " + verdict(r <= 1.15, f"by {(r - 1.15) * 100 / 1.15:.0f}%"))
own = statistics.median((x - y) * 1000.0 / files for x, y in zip(runs["one"], runs["floor1"]))
print(f"{'installer own cost per file ((2)-(3))/files':50} {own:8.2f} ms  <= 2 ms: " +
      verdict(own <= 2, f"by {own - 2:.2f} ms a file"))
own_in = statistics.median((x - y) * 1000.0 / files for x, y in zip(runs["one.span"], runs["floor1.span"]))
print(f"{'  the same, each in its own time (log, floor clock)':50} {own_in:8.2f} ms  <= 2 ms: " +
      verdict(own_in <= 2, f"by {own_in - 2:.2f} ms a file"))
if "before" in runs:
    r = ratio("before", "floor1")
    own_before = statistics.median((x - y) * 1000.0 / files for x, y in zip(runs["before"], runs["floor1"]))
    print(f"{'(0)/(3), before':50} {r:8.2f} x   own cost per file {own_before:.2f} ms")
r = ratio("default_far", "one_far")
print(f"{'(7)/(8)':50} {r:8.2f} x   <= 0.40: " + verdict(r <= 0.40, f"by {(r - 0.40) * 100 / 0.40:.0f}%"))
print(f"{'(1)/(5) curl':50} {ratio('default', 'curl'):8.2f} x   (Wine's TLS and WinINet against the host's)")
r = ratio("update", "default")
print(f"{'(9)/(1), the update against the full install':50} {r:8.2f} x   <= 0.10: " +
      verdict(r <= 0.10, f"by {(r - 0.10) * 100 / 0.10:.0f}%"))
r = ratio("update.span", "default.span")
print(f"{'  the same, each in its own time (log)':50} {r:8.2f} x   <= 0.10: " +
      verdict(r <= 0.10, f"by {(r - 0.10) * 100 / 0.10:.0f}%"))
sent, needed = med["update.bytes"] / 1024.0, med["update.needed"] / 1024.0
print(f"{'  bytes the server sent for the update':50} {sent:8.1f} KiB <= 1.10 x {needed:.1f} KiB (listings, "
      "SHA256SUMS, the changed file): " + verdict(sent <= 1.10 * needed, f"by {sent - 1.10 * needed:.1f} KiB"))
r = ratio("default", "plain")
print(f"{'(1)/(10), SHA256SUMS against none':50} {r:8.2f} x   <= 1.05: " +
      verdict(r <= 1.05, f"by {(r - 1.05) * 100 / 1.05:.0f}%"))
peak = {name: med[name + ".peak"] / 1024.0 for name in ("default", "one", "default_far")}
print(f"{'peak working set, installer, 4 connections':50} {peak['default']:8.1f} MiB")
print(f"{'peak working set, installer, one connection':50} {peak['one']:8.1f} MiB")
if "before" in runs:
    print(f"{'peak working set, installer as built before':50} {med['before.peak'] / 1024.0:8.1f} MiB")
print(f"{'peak working set, WinINet floor, one connection':50} {med['floor1.peak']:8.1f} MiB")
print(f"{'peak working set, WinINet floor, 4 connections':50} {med['floor4.peak']:8.1f} MiB")
print(f"{'peak working set, idle Win32 process':50} {idle:8.1f} MiB")
above = peak["default"] - idle
print(f"{'installer, 4 connections, above idle':50} {above:8.2f} MiB <= 12 MiB: " +
      verdict(above <= 12, f"by {above - 12:.2f} MiB"))
print(f"{'listing parser, 10 MB page (native)':50} {listing:8.0f} MB/s >= 100 MB/s: " +
      verdict(listing >= 100, f"by {100 - listing:.0f} MB/s"))
PY
