#!/usr/bin/env bash
# installer_bench.sh [BUILD_DIR] [PORT]: the whole installer against its floors, in one run.
#
# Generates a product (400 small files of 1-64 KiB, 20 of 5 MiB, one of 256 MiB, and the built
# sample's SUPORT and TEMPLATE) in BUILD_DIR/bench-installer/htdocs, serves it with the local Apache on
# PORT (default 19210), and on one Wine prefix of its own (BUILD_DIR/bench-installer/wineprefix, test CA
# imported) measures:
#   1. ZunorSetup.exe /S, the whole run;
#   2. bench/wininet_floor.exe: the same URLs, in the same order, through one plain WinINet session;
#   3. curl over one connection, and wget -r -np of the three folders;
# then prints the ratios, the installer's own cost per file, its peak working set (from its /LOG=)
# against an idle Win32 process's, and the listing parser's speed (listing_speed of the native tree),
# each against its target. BUILD_DIR defaults to the Win32 tree this host runs (tools/wine/host.sh:
# win32, or the 64-bit twin win64 where no 32-bit x86 code runs). Needs that tree built (ZunorSetup,
# wininet_floor, certimport) with its test PKI (the pki fixture, or tools/server/pki.sh BUILD_DIR/pki).
# Not a ctest test.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${1:-}" ]; then
    . "$source_dir/tools/wine/host.sh"
    zunor_choose_tree
    echo "bench: the $ZUNOR_TREE tree: $ZUNOR_TREE_WHY"
fi
build="$(realpath "${1:-$source_dir/build/$ZUNOR_TREE}")"
port="${2:-19210}"
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
files=$(find "$product" -type f ! -name .complete ! -name SHA256SUMS | wc -l)
bytes=$(find "$product" -type f ! -name .complete ! -name SHA256SUMS -printf '%s\n' | awk '{s+=$1} END {print s}')

# --- server and prefix ---------------------------------------------------------------------------------
export ZUNOR_BUILD="$build" ZUNOR_WINEPREFIX="$root/wineprefix"
if [ ! -f "$root/wineprefix/.ready" ]; then
    echo "making the bench's Wine prefix"
    "$source_dir/tools/wine/prefix.sh" create "$build" >/dev/null
    touch "$root/wineprefix/.ready"
fi
# shellcheck source=../tools/wine/env.sh
. "$source_dir/tools/wine/env.sh"
"$source_dir/tools/server/apache.sh" start "$build" "$port" "$docroot"
out="$root/out"
cleanup() {
    "$source_dir/tools/server/apache.sh" stop "$build" "$port" || true
    rm -rf "$out" "$WINEPREFIX/drive_c/bench"
}
trap cleanup EXIT
base="https://localhost:$port"
now() { date +%s.%N; }

# --- 1. the installer --------------------------------------------------------------------------------
rm -rf "$WINEPREFIX/drive_c/bench" "$out"
mkdir -p "$out"
log="$root/setup.log"
rm -f "$log"
wine "$floor" --idle >"$root/idle.txt"  # also starts the wineserver, which every run below then shares
t0=$(now)
wine "$setup" /S "/SERVER=$base" "/LOG=$(winepath -w "$log")" /NODESKTOP /NOGROUP '/D=C:\bench\' >"$root/setup.out" 2>&1 ||
    { echo "the installer failed:" >&2; cat "$root/setup.out" >&2; exit 1; }
t1=$(now)
installer=$(python3 -c "print($t1 - $t0)")
installed=$(find "$WINEPREFIX/drive_c/bench/zunor2021" -type f | wc -l)
rm -rf "$WINEPREFIX/drive_c/bench"

# --- 2. the WinINet floor: the URLs the installer requested, in its order -----------------------------------
grep -oE ' (listing|checksums|file) https://[^ ]+' "$log" | awk '{print $2}' >"$root/urls.txt"
urls=$(wc -l <"$root/urls.txt")
mkdir -p "$out/floor"
t0=$(now)
wine "$floor" "$(winepath -w "$root/urls.txt")" "$(winepath -w "$out/floor")" >"$root/floor.txt"
t1=$(now)
floor_s=$(python3 -c "print($t1 - $t0)")
rm -rf "$out/floor"

# --- 3. curl over one connection, wget -r -np ----------------------------------------------------------------
mkdir -p "$out/curl"
awk -v d="$out/curl" '{printf "url = \"%s\"\noutput = \"%s/%d\"\n", $0, d, NR}' "$root/urls.txt" >"$root/curl.cfg"
t0=$(now)
curl -s -L --cacert "$build/pki/ca.crt" -K "$root/curl.cfg"
t1=$(now)
curl_s=$(python3 -c "print($t1 - $t0)")
rm -rf "$out/curl"
t0=$(now)
wget -q -r -np -nH -P "$out/wget" --ca-certificate="$build/pki/ca.crt" --reject-regex '\?C=' "$base/zunor/"
t1=$(now)
wget_s=$(python3 -c "print($t1 - $t0)")
rm -rf "$out/wget"

# --- 4. figures ----------------------------------------------------------------------------------------------
peak_kib=$(tr -d '\r' <"$log" | sed -n 's/.* memory peak working set \([0-9]*\) KiB$/\1/p' | tail -1)
idle_mib=$(tr -d '\r' <"$root/idle.txt" | sed -n 's/^idle peak working set \([0-9.]*\) MiB.*/\1/p')
floor_peak=$(tr -d '\r' <"$root/floor.txt" | sed -n 's/.*peak working set \([0-9.]*\) MiB$/\1/p')
listing=$("$native/bench/listing_speed" | sed -n 's/^index page *\([0-9]*\) MB\/s.*/\1/p')

python3 - "$installer" "$floor_s" "$curl_s" "$wget_s" "$files" "$installed" "$urls" "$bytes" "$peak_kib" "$idle_mib" \
    "$floor_peak" "$listing" <<'PY'
import sys
inst, floor, curl, wget = map(float, sys.argv[1:5])
files, installed, urls, size = map(int, sys.argv[5:9])
peak = int(sys.argv[9]) / 1024.0
idle, floor_peak, listing = float(sys.argv[10]), float(sys.argv[11]), float(sys.argv[12])
own_ms = (inst - floor) * 1000.0 / files
rows = []


def verdict(ok, miss):
    return "met" if ok else "MISSED: " + miss


print(f"product: {files} files, {size / 2**20:.0f} MiB ({installed} installed, {urls} requests)")
print(f"{'measure':44} {'value':>12}  target")
print(f"{'(1) installer /S, whole run':44} {inst:10.2f} s")
print(f"{'(2) WinINet floor, same URLs, one session':44} {floor:10.2f} s")
print(f"{'(3) curl, same URLs, one connection':44} {curl:10.2f} s")
print(f"{'(3) wget -r -np of the three folders':44} {wget:10.2f} s")
r = inst / floor
print(f"{'(1)/(2)':44} {r:11.2f}x  <= 1.15x: " +
      verdict(r <= 1.15, f"by {(r - 1.15) * 100 / 1.15:.0f}% ({inst - floor:.2f} s over the floor)"))
print(f"{'(1)/(3) curl':44} {inst / curl:11.2f}x  (Wine's TLS and WinINet against the host's)")
print(f"{'(1)/(3) wget':44} {inst / wget:11.2f}x")
print(f"{'installer own cost per file ((1)-(2))/files':44} {own_ms:9.2f} ms  < 2 ms: " +
      verdict(own_ms < 2, f"by {own_ms - 2:.2f} ms a file"))
print(f"{'installer peak working set':44} {peak:8.1f} MiB")
print(f"{'idle Win32 process peak working set':44} {idle:8.1f} MiB")
print(f"{'WinINet floor peak working set':44} {floor_peak:8.1f} MiB")
print(f"{'installer above idle':44} {peak - idle:8.2f} MiB  <= 16 MiB: " +
      verdict(peak - idle <= 16, f"by {peak - idle - 16:.2f} MiB"))
print(f"{'listing parser, 10 MB page (native)':44} {listing:7.0f} MB/s  >= 100 MB/s: " +
      verdict(listing >= 100, f"by {100 - listing:.0f} MB/s"))
if r > 1.15 or own_ms >= 2:
    print("why the installer is above its floor: per file it purges the URL cache and lets the window run,")
    print("  streams into a temporary file that is flushed and moved over the destination (about 0.6 ms")
    print("  more than a plain write under Wine), hashes the body against SHA256SUMS, and reads only the")
    print("  bytes that have arrived (InternetQueryDataAvailable, the guard against a dripping server: Wine's")
    print("  InternetReadFile otherwise waits for a full 64 KiB), which costs about a fifth on a large file.")
if peak - idle > 16:
    print(f"why the working set is above the idle process's: WinINet with Wine's TLS alone adds "
          f"{floor_peak - idle:.1f} MiB (the floor);")
    print("  the rest are the shell, COM and the self-registered components loaded into the process. It stays")
    print("  flat with the file size: bodies pass through one 64 KiB buffer (bench/download_bench.sh).")
PY
