#!/usr/bin/env bash
# download_bench.sh BUILD_DIR [PORT]: fetches a 512 MiB file from the local Apache once with
# DownloadFile (under Wine) and once with curl, and prints time and DownloadFile's peak working set.
# Needs a Win32 build tree (win32 or win64) with download_bench.exe, its test PKI and its Wine prefix (run the
# win tests once, or the pki and wineprefix fixtures). Not a ctest test.
set -euo pipefail
build="$(realpath "$1")"; port="${2:-18743}"
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
exe="$build/bench/download_bench.exe"
[ -x "$exe" ] || { echo "build the target download_bench first ($exe missing)" >&2; exit 1; }

root="$build/bench-server"
docroot="$root/htdocs"
out="$root/out"
mkdir -p "$docroot" "$out"
# Sparse: the file costs no disk until someone writes it out.
[ "$(stat -c %s "$docroot/big.bin" 2>/dev/null || echo 0)" -eq $((512 * 1024 * 1024)) ] ||
    truncate -s 512M "$docroot/big.bin"

"$source_dir/tools/server/apache.sh" start "$build" "$port" "$docroot"
trap '"$source_dir/tools/server/apache.sh" stop "$build" "$port"; rm -f "$out/wininet.bin" "$out/curl.bin"' EXIT

url="https://localhost:$port/big.bin"
windows_out="Z:$(echo "$out/wininet.bin" | tr / '\\')"
echo "== DownloadFile (WinINet under Wine)"
"$source_dir/tools/wine/run.sh" "$build" "$exe" "$url" "$windows_out"
[ "$(stat -c %s "$out/wininet.bin")" -eq $((512 * 1024 * 1024)) ] || { echo "size differs" >&2; exit 1; }
cmp -s "$out/wininet.bin" "$docroot/big.bin" || { echo "content differs" >&2; exit 1; }

echo "== curl"
curl -s --cacert "$build/pki/ca.crt" -o "$out/curl.bin" \
    -w 'curl: %{size_download} bytes in %{time_total} s (%{speed_download} bytes/s)\n' "$url"
